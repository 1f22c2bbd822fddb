// The conversion of version 2.1's entries beside the sqlcipher shell moving the same rows: previous version
// tables of ENTRIES entries of one user are made twice by the shell; Zendrel converts one copy in the slices
// its progress window runs (each entry inserted with its keys checked, then deleted from the old table), and
// the shell moves the other with one INSERT ... SELECT and one DELETE into a table of the same layout and keys
// (NOCASE in place of Zendrel's case folding), both files under their keys, write-ahead log, synchronous NORMAL.
//   bench_conversion [ENTRIES]
#include "BenchData.h"
#include "data/Database.h"
#include "operations/ConversionOperations.h"
#include "support/PreviousVersionTables.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>

using namespace zendrel;

namespace {

QString textColumns(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names) {
        out << QStringLiteral("\"%1\"").arg(QLatin1String(n));
    }
    return out.join(QStringLiteral(", "));
}

// The entry table of the main data file, as the shell can hold it: every column of the layout, the keys as
// indexes with the shell's own case-insensitive collation.
QString shellTarget() {
    QString sql = QStringLiteral(
        "CREATE TABLE z.\"Pwd\" (\"ID\" INTEGER PRIMARY KEY, \"User\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, "
        "\"Service\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"URL\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, "
        "\"Name\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"Password\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, "
        "\"ConfirmPassword\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"ExpiryDate\" INTEGER NOT NULL DEFAULT 0, "
        "\"ExpiryInterval\" INTEGER NOT NULL DEFAULT 0, \"LastChangeDate\" INTEGER NOT NULL DEFAULT 0, "
        "\"LastChangeTime\" INTEGER NOT NULL DEFAULT 0, \"Level\" INTEGER NOT NULL DEFAULT 0, "
        "\"Monitor\" INTEGER NOT NULL DEFAULT 0, \"SecondsToWait\" INTEGER NOT NULL DEFAULT 0, "
        "\"WindowTitleToLocate\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, "
        "\"WindowContents\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"DoNotRepeatSeconds\" INTEGER NOT NULL "
        "DEFAULT 0, \"Paste\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"DirectSend\" INTEGER NOT NULL DEFAULT 0, "
        "\"StartType\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"Filename\" TEXT NOT NULL DEFAULT '' COLLATE "
        "NOCASE, \"EncryptedFilename\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"Notes\" TEXT NOT NULL DEFAULT '' "
        "COLLATE NOCASE, \"MoreNotes\" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, \"EncryptedFile\" BLOB NOT NULL "
        "DEFAULT x'');\n");
    const char* keys[][2] = {
        {"UNIQUE INDEX z.\"Pwd_KeyService\"", "\"User\", \"Service\", \"Name\""},
        {"UNIQUE INDEX z.\"Pwd_KeyName\"", "\"User\", \"Name\", \"Service\""},
        {"INDEX z.\"Pwd_KeyURL\"", "\"User\", \"URL\", \"Name\""},
        {"INDEX z.\"Pwd_KeyPassword\"", "\"Password\", \"Name\", \"Service\""},
        {"INDEX z.\"Pwd_KeyMonitor\"", "\"User\", \"Monitor\", \"Service\""},
        {"INDEX z.\"Pwd_KeyDateChanged\"", "\"User\", \"LastChangeDate\", \"LastChangeTime\", \"Service\""},
        {"INDEX z.\"Pwd_KeyExpiryDate\"", "\"User\", \"ExpiryDate\", \"Service\""},
        {"INDEX z.\"Pwd_KeyLevel\"", "\"Level\", \"Service\""},
    };
    for (const auto& k : keys) {
        sql += QStringLiteral("CREATE %1 ON \"Pwd\" (%2);\n").arg(QLatin1String(k[0]), QLatin1String(k[1]));
    }
    return sql;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    QTemporaryDir zendrelDir;
    QTemporaryDir shellDir;
    test::PreviousVersionTables fixture(zendrelDir.path());
    if (!fixture.create() ||
        !fixture.addUser({{"Name", "Bench User"}, {"Password", "bench"}, {"ConfirmPassword", "bench"}}) ||
        !fixture.addEntries(QStringLiteral("Bench User"), count) || !fixture.copyTo(shellDir.path())) {
        std::fprintf(stderr, "the previous version tables could not be made\n");
        return 1;
    }

    // Zendrel, as the first start runs it: the users, then the entries in the progress window's slices.
    bench::SliceFigures zendrel;
    {
        DataStore store({zendrelDir.path(), ownerKeys(), &bench::quietMessages(), {}, &bench::benchClock()});
        ConversionOperations conversion(store, bench::quietMessages());
        auto users = conversion.pass(ConversionOperations::Source::Users);
        if (users->open()) {
            bench::driveSlices(*users);
        }
        users->finish();
        auto entries = conversion.pass(ConversionOperations::Source::Entries);
        if (!entries->open()) {
            std::fprintf(stderr, "the entries could not be opened\n");
            return 1;
        }
        zendrel = bench::driveSlices(*entries);
        entries->finish();
        if (Table<PasswordRecord>(store).count() != count || QFile::exists(fixture.path())) {
            std::fprintf(stderr, "the conversion did not move every entry\n");
            return 1;
        }
    }

    // The shell: the same rows moved between the same two files with one INSERT ... SELECT and one DELETE.
    test::PreviousVersionTables shellCopy(shellDir.path());
    const QString target = QDir(shellDir.path()).filePath(QStringLiteral("ZD_DATA"));
    const QString attach = QStringLiteral("PRAGMA journal_mode = WAL;\nPRAGMA synchronous = NORMAL;\n"
                                          "ATTACH DATABASE '%1' AS z KEY \"%2\";\nPRAGMA z.journal_mode = WAL;\n"
                                          "PRAGMA z.synchronous = NORMAL;\n")
                               .arg(target, QString::fromLatin1(keyLiteral(deriveRawKey(ownerKeys().runtimeKey))));
    if (!shellCopy.run(attach + shellTarget())) {
        std::fprintf(stderr, "the shell's target table could not be made\n");
        return 1;
    }
    const QString columns = textColumns({"User", "Service", "URL", "Name", "Password", "ConfirmPassword", "Notes",
                                         "MoreNotes", "LastChangeDate", "LastChangeTime", "Monitor", "SecondsToWait",
                                         "WindowTitleToLocate", "DoNotRepeatSeconds", "Paste"});
    QElapsedTimer shellTime;
    shellTime.start();
    QString error;
    const bool moved = shellCopy.run(attach + QStringLiteral("BEGIN;\nINSERT INTO z.\"Pwd\" (%1) SELECT %1 FROM "
                                                             "\"PW\";\nDELETE FROM \"PW\";\nCOMMIT;\n")
                                                  .arg(columns),
                                     nullptr, &error);
    const double shellSeconds = static_cast<double>(shellTime.nsecsElapsed()) / 1e9;
    if (!moved || shellCopy.count(QStringLiteral("PW")) != 0) {
        std::fprintf(stderr, "the shell did not move the rows: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("entries                         %d\n", count);
    std::printf("Zendrel conversion              %.2f s (%lld slices, longest %lld ms)\n", zendrel.seconds,
                static_cast<long long>(zendrel.slices), static_cast<long long>(zendrel.longestMs));
    std::printf("sqlcipher INSERT ... SELECT     %.2f s\n", shellSeconds);
    std::printf("ratio Zendrel / shell           %.2f\n", zendrel.seconds / shellSeconds);
    return 0;
}
