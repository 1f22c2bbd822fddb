#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <variant>
#include <vector>

namespace zendrel {

// Field types of the record layouts. Text fields have a width in characters; numbers are integers.
enum class FieldType { String, Long, Byte, Decimal, Memo, Blob };

struct FieldDef {
    QString name;    // documented name, "P_:Service"
    QString column;  // column in the store, "Service"
    FieldType type;
    int width = 0;   // characters for String and Memo, 0 for numbers and Blob
    bool isText() const { return type == FieldType::String || type == FieldType::Memo; }
    bool isNumber() const { return type == FieldType::Long || type == FieldType::Byte || type == FieldType::Decimal; }
};

enum class KeyKind { Primary, Unique, Multiple };

struct KeyDef {
    QString name;         // "P_:KeyService"
    QString description;  // what the duplicate-key message names
    std::vector<int> fields;
    KeyKind kind = KeyKind::Multiple;
    bool includeEmpty = false;  // only the address keys hold records whose components are all blank
    bool unique() const { return kind != KeyKind::Multiple; }
};

struct RangeCheck {
    int field;
    int64_t low;
    int64_t high;
    QString label;  // %Field
    QString range;  // %Message
};

// Which owner password enciphers a table's file.
// ExchangeKey is the run-time key itself, kept for exchange files even where a passphrase keys the data files,
// so that another installation can read them.
enum class OwnerPassword { None, RuntimeKey, WordPassword, PreviousVersion, ExchangeKey };

struct TableDef {
    QString prefix;      // "P_"
    QString label;       // "Passwords"
    QString fileName;    // "ZD_DATA"
    QString tableName;   // "Pwd"
    bool sharedFile = false;  // several tables live in the file, so messages name it "FILE\\!TABLE"
    OwnerPassword owner = OwnerPassword::RuntimeKey;
    std::vector<FieldDef> fields;
    std::vector<KeyDef> keys;
    int rowIdField = -1;       // an integer field that is the record's identity (and its automatic number)
    bool autoNumber = false;   // the identity field is the next number above the highest in use
    int levelField = -1;       // gets 4000 in a new record
    int dateAddedField = -1;   // gets today in a new record
    std::vector<RangeCheck> ranges;

    int fieldIndex(const QString& name) const;
    int keyIndex(const QString& name) const;
    const KeyDef& key(const QString& name) const;
    // "ZD_DATA\!Users" for a table inside a shared file, the file name otherwise.
    QString displayName() const;
};

enum class RelationAction { None, Cascade, Restrict };

struct RelationDef {
    const TableDef* parent;
    int parentField;
    const TableDef* child;
    int childField;
    RelationAction onChange;
    RelationAction onDelete;
};

// A field's value as the store holds it.
using Value = std::variant<int64_t, QString, QByteArray>;
using Row = std::vector<Value>;

namespace tables {
const TableDef& users();
const TableDef& passwords();
const TableDef& configuration();
const TableDef& levels();
const TableDef& tips();
const TableDef& words();
const TableDef& scriptPaste();
const TableDef& syncFile();
const TableDef& previousUsers();
const TableDef& previousPasswords();
// Every table the main program declares, in declaration order.
const std::vector<const TableDef*>& all();
const std::vector<RelationDef>& relations();
} // namespace tables

} // namespace zendrel
