#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace zendrel::test {

// Version 2.1's users and entries as that version left them in a data directory: the tables "US" and "PW"
// of the file ZDDATA, under the fixed previous-version password. Made with the sqlcipher shell and SQL of
// its own, written from the record layouts alone, never with the program's table code.
class PreviousVersionTables {
public:
    // The file in `directory`, keyed with the previous-version password, or with `password` when given.
    explicit PreviousVersionTables(const QString& directory, const QString& password = {});

    QString path() const { return m_path; }
    // Runs statements through the shell on the file; false (with the shell's words in `error`) on failure.
    bool run(const QString& statements, QString* output = nullptr, QString* error = nullptr) const;
    // Both tables with their layouts and keys (the user table alone, or the entry table alone, when asked).
    bool create(bool users = true, bool entries = true) const;
    // A record: the named columns (documented names without the prefix) with their values, the others left
    // blank or zero. Text values are written exactly, trailing blanks included.
    bool addUser(const QList<QPair<QString, QVariant>>& fields) const;
    bool addEntry(const QList<QPair<QString, QVariant>>& fields) const;
    // `n` entries of one user, "Service 00001" up to n, each with a name, a password and notes.
    bool addEntries(const QString& user, int n) const;
    // Records in a table; -1 when it cannot be read (no file, no table).
    int count(const QString& table) const;
    // The texts of one column in physical order.
    QStringList column(const QString& table, const QString& column) const;

    // Copies the file elsewhere under the same name.
    bool copyTo(const QString& directory) const;

private:
    QString m_path;
    QString m_keyPragma;
};

} // namespace zendrel::test
