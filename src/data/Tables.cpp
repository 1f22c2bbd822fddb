#include "data/Records.h"
#include "data/Schema.h"

#include <stdexcept>

namespace zendrel {

int TableDef::fieldIndex(const QString& name) const {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TableDef::keyIndex(const QString& name) const {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].name.compare(name, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const KeyDef& TableDef::key(const QString& name) const {
    const int i = keyIndex(name);
    if (i < 0) {
        throw std::logic_error("unknown key " + name.toStdString());
    }
    return keys[static_cast<size_t>(i)];
}

QString TableDef::displayName() const {
    return sharedFile ? fileName + QStringLiteral("\\!") + tableName : fileName;
}

namespace tables {

namespace {

FieldDef str(const char* name, int width) {
    const QString n = QString::fromLatin1(name);
    return {n, n.mid(n.indexOf(':') + 1), FieldType::String, width};
}
FieldDef lng(const char* name) {
    const QString n = QString::fromLatin1(name);
    return {n, n.mid(n.indexOf(':') + 1), FieldType::Long, 0};
}
FieldDef byt(const char* name) {
    const QString n = QString::fromLatin1(name);
    return {n, n.mid(n.indexOf(':') + 1), FieldType::Byte, 0};
}
FieldDef memo(const char* name, int width) {
    const QString n = QString::fromLatin1(name);
    return {n, n.mid(n.indexOf(':') + 1), FieldType::Memo, width};
}
FieldDef blob(const char* name) {
    const QString n = QString::fromLatin1(name);
    return {n, n.mid(n.indexOf(':') + 1), FieldType::Blob, 0};
}

KeyDef key(const TableDef& t, const char* name, std::initializer_list<const char*> fields, KeyKind kind,
           const char* description, bool includeEmpty = false) {
    KeyDef k;
    k.name = QString::fromLatin1(name);
    k.description = QString::fromLatin1(description);
    k.kind = kind;
    k.includeEmpty = includeEmpty;
    for (const char* f : fields) {
        const int i = t.fieldIndex(QString::fromLatin1(f));
        if (i < 0) {
            throw std::logic_error(std::string("unknown key field ") + f);
        }
        k.fields.push_back(i);
    }
    return k;
}

// The entry fields shared by Passwords and SyncFile, after P_:User.
void entryFields(TableDef& t, const char* p) {
    auto n = [p](const char* f) {
        static thread_local std::string s;
        s = std::string(p) + ":" + f;
        return s.c_str();
    };
    t.fields.push_back(str(n("Service"), width::kService));
    t.fields.push_back(str(n("URL"), width::kUrl));
    t.fields.push_back(str(n("Name"), width::kName));
    t.fields.push_back(str(n("Password"), width::kPassword));
    t.fields.push_back(str(n("ConfirmPassword"), width::kPassword));
    t.fields.push_back(lng(n("ExpiryDate")));
    t.fields.push_back(lng(n("ExpiryInterval")));
    t.fields.push_back(lng(n("LastChangeDate")));
    t.fields.push_back(lng(n("LastChangeTime")));
    t.fields.push_back(lng(n("Level")));
    t.fields.push_back(byt(n("Monitor")));
    t.fields.push_back(byt(n("SecondsToWait")));
    t.fields.push_back(str(n("WindowTitleToLocate"), width::kWindowTitle));
    t.fields.push_back(str(n("WindowContents"), width::kWindowContents));
    t.fields.push_back(lng(n("DoNotRepeatSeconds")));
    t.fields.push_back(str(n("Paste"), width::kPaste));
    t.fields.push_back(byt(n("DirectSend")));
    t.fields.push_back(str(n("StartType"), width::kStartType));
    t.fields.push_back(str(n("Filename"), width::kFilename));
    t.fields.push_back(str(n("EncryptedFilename"), width::kFilename));
    t.fields.push_back(memo(n("Notes"), width::kNotes));
    t.fields.push_back(memo(n("MoreNotes"), width::kNotes));
    t.fields.push_back(blob(n("EncryptedFile")));
}

void entryKeys(TableDef& t, const char* p, bool sync) {
    auto n = [p](const char* f) { return std::string(p) + ":" + f; };
    const std::string user = n("User"), service = n("Service"), name = n("Name"), url = n("URL"),
                      password = n("Password"), monitor = n("Monitor"), date = n("LastChangeDate"),
                      time = n("LastChangeTime"), expiry = n("ExpiryDate");
    const std::string kService = n("KeyService"), kName = n("KeyName"), kUrl = n("KeyURL"),
                      kPassword = n("KeyPassword"), kMonitor = n("KeyMonitor"), kDate = n("KeyDateChanged"),
                      kExpiry = n("KeyExpiryDate");
    t.keys.push_back(key(t, kService.c_str(), {user.c_str(), service.c_str(), name.c_str()}, KeyKind::Unique, "Service"));
    t.keys.push_back(key(t, kName.c_str(), {user.c_str(), name.c_str(), service.c_str()}, KeyKind::Unique, "Name"));
    t.keys.push_back(key(t, kUrl.c_str(), {user.c_str(), url.c_str(), name.c_str()}, KeyKind::Multiple, "URL", true));
    t.keys.push_back(
        key(t, kPassword.c_str(), {password.c_str(), name.c_str(), service.c_str()}, KeyKind::Multiple, "Password"));
    t.keys.push_back(key(t, kMonitor.c_str(), {user.c_str(), monitor.c_str(), service.c_str()}, KeyKind::Multiple,
                         sync ? "SF_:KeyMonitor" : "Monitor"));
    t.keys.push_back(key(t, kDate.c_str(), {user.c_str(), date.c_str(), time.c_str(), service.c_str()},
                         KeyKind::Multiple, sync ? "SF_:KeyDateChanged" : "Last Changed"));
    t.keys.push_back(
        key(t, kExpiry.c_str(), {user.c_str(), expiry.c_str(), service.c_str()}, KeyKind::Multiple, "Expiry Date"));
}

TableDef makeUsers() {
    TableDef t;
    t.prefix = "U_";
    t.label = "Users";
    t.fileName = "ZD_DATA";
    t.tableName = "Users";
    t.sharedFile = true;
    t.fields = {str("U_:Name", width::kUserName),        str("U_:Password", width::kPassword),          str("U_:ConfirmPassword", width::kPassword),
                lng("U_:LastDateChanged"),  lng("U_:LastTimeChanged"),        lng("U_:Level"),
                str("U_:Notes", width::kUserNotes),      byt("U_:ShowPasswords"),          lng("U_:PasswordSize"),
                str("U_:PasswordType", width::kPasswordType), str("U_:ConcatenationType", width::kPasswordType), str("U_:LastNameUsed", width::kLastNameUsed)};
    t.keys.push_back(key(t, "U_:KeyName", {"U_:Name"}, KeyKind::Unique, "Name"));
    t.keys.push_back(key(t, "U_:KeyLevel", {"U_:Level", "U_:Name"}, KeyKind::Multiple, "Level"));
    t.levelField = t.fieldIndex("U_:Level");
    return t;
}

TableDef makePasswords() {
    TableDef t;
    t.prefix = "P_";
    t.label = "Passwords";
    t.fileName = "ZD_DATA";
    t.tableName = "Pwd";
    t.sharedFile = true;
    t.fields = {lng("P_:ID"), str("P_:User", width::kUserName)};
    entryFields(t, "P_");
    t.keys.push_back(key(t, "P_:KeyID", {"P_:ID"}, KeyKind::Primary, "Unique ID"));
    entryKeys(t, "P_", false);
    // The level key is not per user.
    t.keys.push_back(key(t, "P_:KeyLevel", {"P_:Level", "P_:Service"}, KeyKind::Multiple, "Level"));
    t.rowIdField = 0;
    t.autoNumber = true;
    t.levelField = t.fieldIndex("P_:Level");
    t.ranges.push_back({t.fieldIndex("P_:SecondsToWait"), 0, 199, "Seconds before start of automatic send to",
                        "0 and 199"});
    return t;
}

TableDef makeConfiguration() {
    TableDef t;
    t.prefix = "CF";
    t.label = "Configuration";
    t.fileName = "ZD_DATA";
    t.tableName = "Settings";
    t.sharedFile = true;
    t.fields = {str("CF:DataType", width::kSettingName), str("CF:DataValue", width::kSettingValue), lng("CF:DateAdded")};
    t.keys.push_back(key(t, "CF:KeyDataType", {"CF:DataType"}, KeyKind::Unique, "Data Type"));
    t.dateAddedField = 2;
    return t;
}

TableDef makeLevels() {
    TableDef t;
    t.prefix = "LEV";
    t.label = "Levels";
    t.fileName = "QRTXDATA";
    t.tableName = "Levels";
    t.sharedFile = true;
    t.fields = {lng("LEV:Level"), str("LEV:LevelDescription", 40)};
    t.keys.push_back(key(t, "LEV:K_Level", {"LEV:Level"}, KeyKind::Primary, "Level"));
    t.keys.push_back(key(t, "LEV:K_Description", {"LEV:LevelDescription"}, KeyKind::Unique, "Description"));
    t.ranges.push_back({0, 1, 10000, "Level", "1 and 10000"});
    return t;
}

TableDef makeTips() {
    TableDef t;
    t.prefix = "TIP";
    t.label = "TipOfTheDay";
    t.fileName = "ZNDRL_T";
    t.tableName = "TipOfTheDay";
    t.owner = OwnerPassword::None;
    t.fields = {{"TIP:TipID", "TipID", FieldType::Decimal, 0}, memo("TIP:TipDesc", 1000)};
    t.keys.push_back(key(t, "TIP:KeyTipID", {"TIP:TipID"}, KeyKind::Primary, "Tip"));
    t.rowIdField = 0;
    t.autoNumber = true;
    return t;
}

TableDef makeWords() {
    TableDef t;
    t.prefix = "W_";
    t.label = "Words";
    t.fileName = "zndrl_w.tps";
    t.tableName = "Words";
    t.owner = OwnerPassword::WordPassword;
    t.fields = {str("W_:Word", width::kPasswordType)};
    t.keys.push_back(key(t, "W_:KeyWord", {"W_:Word"}, KeyKind::Unique, "W_:KeyWord"));
    return t;
}

TableDef makeScriptPaste() {
    TableDef t;
    t.prefix = "SP_";
    t.label = "ScriptPaste";
    t.fileName = "ZNDRL_S";
    t.tableName = "ScriptPaste";
    // Send texts may hold secrets, so this file is enciphered like the main data.
    t.owner = OwnerPassword::RuntimeKey;
    t.fields = {str("SP_:Paste", width::kScript)};
    t.keys.push_back(key(t, "SP_:KeyPaste", {"SP_:Paste"}, KeyKind::Primary, "Text to Send"));
    return t;
}

TableDef makeSyncFile() {
    TableDef t;
    t.prefix = "SF_";
    t.label = "SyncFile";
    t.fileName = "zendrel.syn";
    t.tableName = "SyncFile";
    t.owner = OwnerPassword::ExchangeKey;
    t.fields = {str("SF_:User", width::kUserName)};
    entryFields(t, "SF_");
    entryKeys(t, "SF_", true);
    t.levelField = t.fieldIndex("SF_:Level");
    t.ranges.push_back({t.levelField, 1, 10000, "Level", "1 and 10000"});
    t.ranges.push_back({t.fieldIndex("SF_:SecondsToWait"), 0, 199, "Seconds before start of automatic send to",
                        "0 and 199"});
    return t;
}

TableDef makePreviousUsers() {
    TableDef t;
    t.prefix = "U_002";
    t.label = "Previous Users";
    t.fileName = "ZDDATA";
    t.tableName = "US";
    t.sharedFile = true;
    t.owner = OwnerPassword::PreviousVersion;
    t.fields = {str("U_002:Name", 30),    str("U_002:Password", 25), str("U_002:ConfirmPassword", 25),
                lng("U_002:LastDateChanged"), lng("U_002:LastTimeChanged"), byt("U_002:Flag1"),
                byt("U_002:Flag2"),       str("U_002:Other1", 20),   str("U_002:Other2", 20),
                str("U_002:Notes", 255)};
    t.keys.push_back(key(t, "U_002:KeyName", {"U_002:Name"}, KeyKind::Unique, "Name"));
    return t;
}

TableDef makePreviousPasswords() {
    TableDef t;
    t.prefix = "P_002";
    t.label = "Previous Passwords";
    t.fileName = "ZDDATA";
    t.tableName = "PW";
    t.sharedFile = true;
    t.owner = OwnerPassword::PreviousVersion;
    t.fields = {str("P_002:User", 30),          str("P_002:Service", 30),         str("P_002:URL", 90),
                str("P_002:Name", 30),          str("P_002:Password", 30),        str("P_002:ConfirmPassword", 30),
                lng("P_002:LastChangeDate"),    lng("P_002:LastChangeTime"),      str("P_002:OtherData", 20),
                str("P_002:OtherData2", 20),    byt("P_002:Flag1"),               byt("P_002:Flag2"),
                byt("P_002:Flag3"),             byt("P_002:Monitor"),             str("P_002:TypeOfService", 20),
                byt("P_002:SecondsToWait"),     str("P_002:WindowTitleToLocate", 100),
                lng("P_002:DoNotRepeatSeconds"), str("P_002:Paste", 255),         str("P_002:Other1", 20),
                str("P_002:Other2", 20),        byt("P_002:APFlag1"),             byt("P_002:APFlag2"),
                byt("P_002:APFlag3"),           memo("P_002:Notes", 10000),       memo("P_002:MoreNotes", 5000)};
    t.keys.push_back(
        key(t, "P_002:KeyService", {"P_002:User", "P_002:Service", "P_002:Name"}, KeyKind::Unique, "Service"));
    t.keys.push_back(key(t, "P_002:KeyName", {"P_002:User", "P_002:Name", "P_002:Service"}, KeyKind::Unique, "Name"));
    t.keys.push_back(
        key(t, "P_002:KeyURL", {"P_002:User", "P_002:URL", "P_002:Name"}, KeyKind::Multiple, "URL", true));
    t.keys.push_back(key(t, "P_002:KeyPassword", {"P_002:Password", "P_002:Name", "P_002:Service"},
                         KeyKind::Multiple, "Password"));
    t.keys.push_back(
        key(t, "P_002:KeyMonitor", {"P_002:User", "P_002:Monitor", "P_002:Service"}, KeyKind::Multiple, "Monitor"));
    t.keys.push_back(key(t, "P_002:KeyDateChanged",
                         {"P_002:User", "P_002:LastChangeDate", "P_002:LastChangeTime", "P_002:Service"},
                         KeyKind::Multiple, "Last Changed"));
    return t;
}

} // namespace

const TableDef& previousUsers() {
    static const TableDef t = makePreviousUsers();
    return t;
}
const TableDef& previousPasswords() {
    static const TableDef t = makePreviousPasswords();
    return t;
}

const TableDef& users() {
    static const TableDef t = makeUsers();
    return t;
}
const TableDef& passwords() {
    static const TableDef t = makePasswords();
    return t;
}
const TableDef& configuration() {
    static const TableDef t = makeConfiguration();
    return t;
}
const TableDef& levels() {
    static const TableDef t = makeLevels();
    return t;
}
const TableDef& tips() {
    static const TableDef t = makeTips();
    return t;
}
const TableDef& words() {
    static const TableDef t = makeWords();
    return t;
}
const TableDef& scriptPaste() {
    static const TableDef t = makeScriptPaste();
    return t;
}
const TableDef& syncFile() {
    static const TableDef t = makeSyncFile();
    return t;
}

const std::vector<const TableDef*>& all() {
    static const std::vector<const TableDef*> list = {&configuration(), &passwords(), &scriptPaste(), &syncFile(),
                                                      &tips(),          &users(),     &words(),       &levels()};
    return list;
}

const std::vector<RelationDef>& relations() {
    static const std::vector<RelationDef> list = {
        {&users(), users().fieldIndex("U_:Name"), &passwords(), passwords().fieldIndex("P_:User"),
         RelationAction::Cascade, RelationAction::Cascade},
        {&levels(), levels().fieldIndex("LEV:Level"), &users(), users().fieldIndex("U_:Level"),
         RelationAction::Cascade, RelationAction::Restrict},
        // Passwords to ScriptPaste is a lookup only: nothing happens on change or delete.
    };
    return list;
}

} // namespace tables
} // namespace zendrel
