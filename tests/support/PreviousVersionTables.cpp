#include "support/PreviousVersionTables.h"

#include "data/Database.h"
#include "session/OwnerKeys.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVariant>

namespace zendrel::test {

namespace {

// The layouts of version 2.1, column by column: a column name and whether it holds text.
const QList<QPair<const char*, bool>> kUserColumns = {{"Name", true},
                                                      {"Password", true},
                                                      {"ConfirmPassword", true},
                                                      {"LastDateChanged", false},
                                                      {"LastTimeChanged", false},
                                                      {"Flag1", false},
                                                      {"Flag2", false},
                                                      {"Other1", true},
                                                      {"Other2", true},
                                                      {"Notes", true}};

const QList<QPair<const char*, bool>> kEntryColumns = {{"User", true},
                                                       {"Service", true},
                                                       {"URL", true},
                                                       {"Name", true},
                                                       {"Password", true},
                                                       {"ConfirmPassword", true},
                                                       {"LastChangeDate", false},
                                                       {"LastChangeTime", false},
                                                       {"OtherData", true},
                                                       {"OtherData2", true},
                                                       {"Flag1", false},
                                                       {"Flag2", false},
                                                       {"Flag3", false},
                                                       {"Monitor", false},
                                                       {"TypeOfService", true},
                                                       {"SecondsToWait", false},
                                                       {"WindowTitleToLocate", true},
                                                       {"DoNotRepeatSeconds", false},
                                                       {"Paste", true},
                                                       {"Other1", true},
                                                       {"Other2", true},
                                                       {"APFlag1", false},
                                                       {"APFlag2", false},
                                                       {"APFlag3", false},
                                                       {"Notes", true},
                                                       {"MoreNotes", true}};

QString createTable(const char* name, const QList<QPair<const char*, bool>>& columns) {
    QStringList cols;
    for (const auto& [column, text] : columns) {
        cols << QStringLiteral("\"%1\" %2")
                    .arg(QLatin1String(column), text ? QStringLiteral("TEXT NOT NULL DEFAULT ''")
                                                     : QStringLiteral("INTEGER NOT NULL DEFAULT 0"));
    }
    return QStringLiteral("CREATE TABLE \"%1\" (%2);\n").arg(QLatin1String(name), cols.join(QStringLiteral(", ")));
}

QString literal(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) {
        return QLatin1Char('\'') + v.toString().replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    }
    return QString::number(v.toLongLong());
}

QString insert(const char* table, const QList<QPair<QString, QVariant>>& fields) {
    QStringList cols;
    QStringList values;
    for (const auto& [name, value] : fields) {
        cols << QLatin1Char('"') + name + QLatin1Char('"');
        values << literal(value);
    }
    return QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3);\n")
        .arg(QLatin1String(table), cols.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
}

} // namespace

PreviousVersionTables::PreviousVersionTables(const QString& directory, const QString& password)
    : m_path(QDir(directory).filePath(QStringLiteral("ZDDATA"))) {
    const QString owner = password.isEmpty() ? ownerKeys().previousVersionPassword : password;
    m_keyPragma = QStringLiteral("PRAGMA key = \"%1\";\n").arg(QString::fromLatin1(keyLiteral(deriveRawKey(owner))));
}

bool PreviousVersionTables::run(const QString& statements, QString* output, QString* error) const {
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), QStringLiteral("-bail"), m_path});
    if (!shell.waitForStarted(10000)) {
        if (error) {
            *error = QStringLiteral("the sqlcipher shell does not start");
        }
        return false;
    }
    shell.write((m_keyPragma + statements).toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(120000);
    const QString err = QString::fromUtf8(shell.readAllStandardError());
    if (output) {
        *output = QString::fromUtf8(shell.readAllStandardOutput());
    }
    if (error) {
        *error = err;
    }
    return shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0 && err.isEmpty();
}

bool PreviousVersionTables::create(bool users, bool entries) const {
    // The keys as plain indexes: a file of that version may hold what its keys should have refused (two users
    // differing only in case), and the conversion has to cope with it.
    QString sql = QStringLiteral("BEGIN;\n");
    if (users) {
        sql += createTable("US", kUserColumns);
        sql += QStringLiteral("CREATE INDEX \"US_KeyName\" ON \"US\" (\"Name\" COLLATE NOCASE);\n");
    }
    if (entries) {
        sql += createTable("PW", kEntryColumns);
        for (const char* key :
             {"KeyService (\"User\" COLLATE NOCASE, \"Service\" COLLATE NOCASE, \"Name\" COLLATE NOCASE)",
              "KeyName (\"User\" COLLATE NOCASE, \"Name\" COLLATE NOCASE, \"Service\" COLLATE NOCASE)",
              "KeyURL (\"User\" COLLATE NOCASE, \"URL\" COLLATE NOCASE, \"Name\" COLLATE NOCASE)",
              "KeyPassword (\"Password\" COLLATE NOCASE, \"Name\" COLLATE NOCASE, \"Service\" COLLATE NOCASE)",
              "KeyMonitor (\"User\" COLLATE NOCASE, \"Monitor\", \"Service\" COLLATE NOCASE)",
              "KeyDateChanged (\"User\" COLLATE NOCASE, \"LastChangeDate\", \"LastChangeTime\", "
              "\"Service\" COLLATE NOCASE)"}) {
            const QString k = QString::fromLatin1(key);
            const qsizetype space = k.indexOf(QLatin1Char(' '));
            sql += QStringLiteral("CREATE INDEX \"PW_%1\" ON \"PW\" %2;\n").arg(k.left(space), k.mid(space + 1));
        }
    }
    sql += QStringLiteral("COMMIT;\n");
    return run(sql);
}

bool PreviousVersionTables::addUser(const QList<QPair<QString, QVariant>>& fields) const {
    return run(insert("US", fields));
}

bool PreviousVersionTables::addEntry(const QList<QPair<QString, QVariant>>& fields) const {
    return run(insert("PW", fields));
}

bool PreviousVersionTables::addEntries(const QString& user, int n) const {
    QString u = user;
    u.replace(QLatin1Char('\''), QStringLiteral("''"));
    return run(QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1)\n"
                              "INSERT INTO \"PW\" (\"User\", \"Service\", \"Name\", \"Password\", \"ConfirmPassword\", "
                              "\"LastChangeDate\", \"LastChangeTime\", \"Paste\", \"Notes\")\n"
                              "SELECT '%2', printf('Service %05d', i), 'name' || i, 'pw' || i, 'pw' || i, 80000 + i, "
                              "i, '[Name][Tab][Password][Enter]', 'notes of ' || i FROM c;\n")
                   .arg(n)
                   .arg(u));
}

int PreviousVersionTables::count(const QString& table) const {
    QString out;
    if (!QFile::exists(m_path) || !run(QStringLiteral("SELECT count(*) FROM \"%1\";\n").arg(table), &out)) {
        return -1;
    }
    bool ok = false;
    const int n = out.trimmed().toInt(&ok);
    return ok ? n : -1;
}

QStringList PreviousVersionTables::column(const QString& table, const QString& column) const {
    QString out;
    if (!run(QStringLiteral("SELECT \"%1\" FROM \"%2\" ORDER BY rowid;\n").arg(column, table), &out)) {
        return {};
    }
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool PreviousVersionTables::copyTo(const QString& directory) const {
    return QFile::copy(m_path, QDir(directory).filePath(QStringLiteral("ZDDATA")));
}

} // namespace zendrel::test
