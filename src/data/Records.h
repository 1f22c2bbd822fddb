#pragma once

#include "data/Schema.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace zendrel {

// Widths of the text fields in characters, as the tables declare them: every cut to a field's width
// takes it from here.
namespace width {
constexpr int kUserName = 128;       // U_:Name, P_:User, SF_:User
constexpr int kPassword = 128;       // U_:Password, P_:Password and their confirmations
constexpr int kUserNotes = 2048;     // U_:Notes
constexpr int kPasswordType = 20;    // U_:PasswordType, U_:ConcatenationType, W_:Word
constexpr int kLastNameUsed = 60;    // U_:LastNameUsed
constexpr int kService = 128;        // P_:Service
constexpr int kUrl = 255;            // P_:URL
constexpr int kName = 128;           // P_:Name
constexpr int kWindowTitle = 100;    // P_:WindowTitleToLocate
constexpr int kWindowContents = 40;  // P_:WindowContents
constexpr int kPaste = 255;          // P_:Paste
constexpr int kStartType = 20;       // P_:StartType
constexpr int kFilename = 255;       // P_:Filename, P_:EncryptedFilename
constexpr int kNotes = 10000;        // P_:Notes, P_:MoreNotes
constexpr int kSettingName = 40;     // CF:DataType
constexpr int kSettingValue = 255;   // CF:DataValue
constexpr int kScript = 512;         // SP_:Paste
} // namespace width

// Record buffers of the tables. Members follow the documented field order; fields() visits them in that
// order so the generic table code can move a record to and from the store. rowId is the record's identity
// in the store (0 for a record not yet stored).

struct UserRecord {
    QString name;
    QString password;
    QString confirmPassword;
    int32_t lastDateChanged = 0;
    int32_t lastTimeChanged = 0;
    int32_t level = 0;
    QString notes;
    uint8_t showPasswords = 0;
    int32_t passwordSize = 0;
    QString passwordType;
    QString concatenationType;
    QString lastNameUsed;
    int64_t rowId = 0;

    static const TableDef& table() { return tables::users(); }
    template <class R, class V> static void fields(R& r, V&& v) {
        v(r.name), v(r.password), v(r.confirmPassword), v(r.lastDateChanged), v(r.lastTimeChanged), v(r.level),
            v(r.notes), v(r.showPasswords), v(r.passwordSize), v(r.passwordType), v(r.concatenationType),
            v(r.lastNameUsed);
    }
};

// The fields that Passwords and SyncFile records share, in their order after the owner.
#define ZENDREL_ENTRY_MEMBERS                                                                                          \
    QString service;                                                                                                   \
    QString url;                                                                                                       \
    QString name;                                                                                                      \
    QString password;                                                                                                  \
    QString confirmPassword;                                                                                           \
    int32_t expiryDate = 0;                                                                                            \
    int32_t expiryInterval = 0;                                                                                        \
    int32_t lastChangeDate = 0;                                                                                        \
    int32_t lastChangeTime = 0;                                                                                        \
    int32_t level = 0;                                                                                                 \
    uint8_t monitor = 0;                                                                                               \
    uint8_t secondsToWait = 0;                                                                                         \
    QString windowTitleToLocate;                                                                                       \
    QString windowContents;                                                                                            \
    int32_t doNotRepeatSeconds = 0;                                                                                    \
    QString paste;                                                                                                     \
    uint8_t directSend = 0;                                                                                            \
    QString startType;                                                                                                 \
    QString filename;                                                                                                  \
    QString encryptedFilename;                                                                                         \
    QString notes;                                                                                                     \
    QString moreNotes;                                                                                                 \
    QByteArray encryptedFile;

#define ZENDREL_ENTRY_VISIT(r, v)                                                                                      \
    v(r.service), v(r.url), v(r.name), v(r.password), v(r.confirmPassword), v(r.expiryDate), v(r.expiryInterval),      \
        v(r.lastChangeDate), v(r.lastChangeTime), v(r.level), v(r.monitor), v(r.secondsToWait),                        \
        v(r.windowTitleToLocate), v(r.windowContents), v(r.doNotRepeatSeconds), v(r.paste), v(r.directSend),           \
        v(r.startType), v(r.filename), v(r.encryptedFilename), v(r.notes), v(r.moreNotes), v(r.encryptedFile)

struct PasswordRecord {
    int32_t id = 0;
    QString user;
    ZENDREL_ENTRY_MEMBERS
    int64_t rowId = 0;

    static const TableDef& table() { return tables::passwords(); }
    template <class R, class V> static void fields(R& r, V&& v) {
        v(r.id), v(r.user);
        ZENDREL_ENTRY_VISIT(r, v);
    }
};

struct SyncFileRecord {
    QString user;
    ZENDREL_ENTRY_MEMBERS
    int64_t rowId = 0;

    static const TableDef& table() { return tables::syncFile(); }
    template <class R, class V> static void fields(R& r, V&& v) {
        v(r.user);
        ZENDREL_ENTRY_VISIT(r, v);
    }
};

#undef ZENDREL_ENTRY_MEMBERS
#undef ZENDREL_ENTRY_VISIT

struct ConfigRecord {
    QString dataType;
    QString dataValue;
    int32_t dateAdded = 0;
    int64_t rowId = 0;

    static const TableDef& table() { return tables::configuration(); }
    template <class R, class V> static void fields(R& r, V&& v) { v(r.dataType), v(r.dataValue), v(r.dateAdded); }
};

struct LevelRecord {
    int32_t level = 0;
    QString levelDescription;
    int64_t rowId = 0;

    static const TableDef& table() { return tables::levels(); }
    template <class R, class V> static void fields(R& r, V&& v) { v(r.level), v(r.levelDescription); }
};

struct TipRecord {
    int64_t tipId = 0;
    QString tipDesc;
    int64_t rowId = 0;

    static const TableDef& table() { return tables::tips(); }
    template <class R, class V> static void fields(R& r, V&& v) { v(r.tipId), v(r.tipDesc); }
};

struct WordRecord {
    QString word;
    int64_t rowId = 0;

    static const TableDef& table() { return tables::words(); }
    template <class R, class V> static void fields(R& r, V&& v) { v(r.word); }
};

struct ScriptPasteRecord {
    QString paste;
    int64_t rowId = 0;

    static const TableDef& table() { return tables::scriptPaste(); }
    template <class R, class V> static void fields(R& r, V&& v) { v(r.paste); }
};

namespace detail {

struct ToValue {
    Row& row;
    void operator()(const QString& s) const { row.emplace_back(s); }
    void operator()(const QByteArray& b) const { row.emplace_back(b); }
    void operator()(int32_t n) const { row.emplace_back(int64_t{n}); }
    void operator()(int64_t n) const { row.emplace_back(n); }
    void operator()(uint8_t n) const { row.emplace_back(int64_t{n}); }
};

struct FromValue {
    const Row& row;
    size_t i = 0;
    void operator()(QString& s) { s = std::get<QString>(row[i++]); }
    void operator()(QByteArray& b) { b = std::get<QByteArray>(row[i++]); }
    void operator()(int32_t& n) { n = static_cast<int32_t>(std::get<int64_t>(row[i++])); }
    void operator()(int64_t& n) { n = std::get<int64_t>(row[i++]); }
    void operator()(uint8_t& n) { n = static_cast<uint8_t>(std::get<int64_t>(row[i++])); }
};

} // namespace detail

template <class R> Row toRow(const R& r) {
    Row row;
    row.reserve(R::table().fields.size());
    R::fields(r, detail::ToValue{row});
    return row;
}

template <class R> R fromRow(const Row& row, int64_t rowId) {
    R r;
    detail::FromValue v{row};
    R::fields(r, v);
    r.rowId = rowId;
    return r;
}

} // namespace zendrel
