// Inserts 100,000 entries of one user through Zendrel's data layer; the same rows into the same schema
// (same columns, same indexes, same key, same pragmas) with the sqlcipher shell, and by a bare prepared C
// loop over the SQLite API, the figure to beat; in one run, printing the rates and the ratios.
#define SQLITE_HAS_CODEC 1
#include "BenchData.h"

#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace zendrel;

namespace {

QString sqlQuote(const QString& s) {
    return QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    bench::QuietMessages messages;
    SystemClock clock;

    std::vector<Row> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        rows.push_back(toRow(bench::benchEntry(i)));
    }

    double zendrelSeconds = 0;
    {
        DataStore store({dir.path(), ownerKeys(), &messages, {}, &clock});
        Table<PasswordRecord>(store).count();  // the file exists before timing starts
        QElapsedTimer t;
        t.start();
        if (!store.insertMany(tables::passwords(), rows)) {
            std::fprintf(stderr, "insert failed\n");
            return 1;
        }
        zendrelSeconds = t.nsecsElapsed() / 1e9;
    }

    // The same schema for the shell: Zendrel's own table and index statements, with the shell's built-in
    // case-insensitive collation in place of Zendrel's.
    const QByteArray key = keyLiteral(deriveRawKey(buildRuntimeKey()));
    QString schema;
    {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(dir.filePath("ZD_DATA")).constData(), &db);
        sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
        registerCollation(db);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE tbl_name = 'Pwd' AND sql IS NOT NULL ORDER BY type DESC",
                           -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            schema += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + ";\n";
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    schema.replace(QStringLiteral("ZFOLD"), QStringLiteral("NOCASE"));

    const QString shellDb = dir.filePath("shell.db");
    QFile script(dir.filePath("insert.sql"));
    script.open(QIODevice::WriteOnly);
    // The pragmas Zendrel's connections use, so that the shell is not handicapped by its small default cache.
    script.write("PRAGMA key = \"" + key + "\";\nPRAGMA cipher_compatibility = 3;\nPRAGMA journal_mode = WAL;\n"
                 "PRAGMA synchronous = NORMAL;\nPRAGMA cache_size = -32768;\n");
    script.write(schema.toUtf8());
    script.write("BEGIN IMMEDIATE;\n");
    for (const Row& row : rows) {
        QStringList values;
        for (size_t i = 0; i < row.size(); ++i) {
            if (const auto* n = std::get_if<int64_t>(&row[i])) {
                values << QString::number(*n);
            } else if (const auto* s = std::get_if<QString>(&row[i])) {
                values << sqlQuote(*s);
            } else {
                values << QStringLiteral("x''");
            }
        }
        script.write("INSERT INTO Pwd VALUES (" + values.join(QLatin1Char(',')).toUtf8() + ");\n");
    }
    script.write("COMMIT;\n");
    script.close();

    QProcess shell;
    shell.setStandardInputFile(script.fileName());
    QElapsedTimer t;
    t.start();
    shell.start(QStringLiteral("sqlcipher"), {shellDb});
    shell.waitForFinished(-1);
    const double shellSeconds = t.nsecsElapsed() / 1e9;
    if (shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlcipher shell failed: %s\n", shell.readAllStandardError().constData());
        return 1;
    }

    // The bare loop: one prepared INSERT bound and stepped per row, Zendrel's own collation, in one transaction.
    double rawSeconds = 0;
    {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(dir.filePath("raw.db")).constData(), &db);
        sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
        registerCollation(db);
        for (const char* pragma : {"PRAGMA cipher_compatibility = 3", "PRAGMA journal_mode = WAL",
                                   "PRAGMA synchronous = NORMAL", "PRAGMA cache_size = -32768"}) {
            sqlite3_exec(db, pragma, nullptr, nullptr, nullptr);
        }
        QString ownSchema = schema;
        ownSchema.replace(QStringLiteral("NOCASE"), QStringLiteral("ZFOLD"));
        sqlite3_exec(db, ownSchema.toUtf8().constData(), nullptr, nullptr, nullptr);
        QStringList marks;
        for (size_t i = 0; i < rows.front().size(); ++i) {
            marks << QStringLiteral("?");
        }
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, ("INSERT INTO Pwd VALUES (" + marks.join(QLatin1Char(',')) + ")").toUtf8().constData(), -1,
                           &st, nullptr);
        QElapsedTimer raw;
        raw.start();
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (const Row& row : rows) {
            for (size_t i = 0; i < row.size(); ++i) {
                const int n = static_cast<int>(i) + 1;
                if (const auto* v = std::get_if<int64_t>(&row[i])) {
                    sqlite3_bind_int64(st, n, *v);
                } else if (const auto* s = std::get_if<QString>(&row[i])) {
                    const QByteArray u = s->toUtf8();
                    sqlite3_bind_text(st, n, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
                } else {
                    sqlite3_bind_zeroblob(st, n, 0);
                }
            }
            if (sqlite3_step(st) != SQLITE_DONE) {
                std::fprintf(stderr, "raw insert failed: %s\n", sqlite3_errmsg(db));
                return 1;
            }
            sqlite3_reset(st);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        rawSeconds = raw.nsecsElapsed() / 1e9;
        sqlite3_finalize(st);
        sqlite3_close(db);
    }

    std::printf("entries: %d\n", count);
    std::printf("zendrel data layer: %.3f s, %.0f entries/s\n", zendrelSeconds, count / zendrelSeconds);
    std::printf("sqlcipher shell:    %.3f s, %.0f entries/s\n", shellSeconds, count / shellSeconds);
    std::printf("bare C loop:        %.3f s, %.0f entries/s\n", rawSeconds, count / rawSeconds);
    std::printf("ratio (shell time / zendrel time): %.2f\n", shellSeconds / zendrelSeconds);
    std::printf("ratio (zendrel time / bare C loop time): %.2f\n", zendrelSeconds / rawSeconds);
    return 0;
}
