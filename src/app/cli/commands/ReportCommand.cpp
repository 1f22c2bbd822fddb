#include "app/cli/Command.h"
#include "operations/ReportOperations.h"
#include "operations/ReportPainter.h"

#include <QGuiApplication>

namespace zendrel::cli {

namespace {

// `report`: one of the five reports of the main program's "&Print" menu, laid out the same way, into a PDF file
// instead of onto a printer; no questions.
class ReportCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("report"); }
    QString synopsis() const override { return QStringLiteral("report --kind KIND --user NAME --pdf FILE"); }
    QString summary() const override { return QStringLiteral("print a report of the user's entries into a PDF file"); }
    QString usage() const override { return synopsis(); }
    QString description() const override {
        return QStringLiteral(
            "KIND is service, url or name (the entries with their passwords and notes in that order), date\n"
            "(by last date changed) or master (every field of every entry). The file is written with mode 0600,\n"
            "since it holds passwords, and the number of pages printed. A user without entries is refused with\n"
            "\"Nothing to Print.\".");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("kind"), QStringLiteral("the report"), QStringLiteral("KIND")));
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("pdf"), QStringLiteral("the PDF file written"), QStringLiteral("FILE")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{name() + QStringLiteral(" takes no arguments")};
        }
        const auto kind = ReportOperations::kindNamed(requiredOption(o, QStringLiteral("kind")));
        if (!kind) {
            throw UsageError{
                QStringLiteral("--kind is one of %1").arg(ReportOperations::kindNames().join(QStringLiteral(", ")))};
        }
        const QString userName = requiredOption(o, QStringLiteral("user"));
        const QString path = requiredOption(o, QStringLiteral("pdf"));
        // Text is laid out in the fonts of the system, which only a GUI application (offscreen) can reach.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            throw Refusal{QStringLiteral("reports need the system's fonts, which this process cannot reach")};
        }
        const UserRecord user = c.login(userName);
        ConfigStore config(c.store());
        const ReportOptions options = ReportOptions::read(config);
        const ReportStrings strings = ReportStrings::load(c.store());
        ReportOperations reports(c.store(), c.messages());
        auto pass = reports.start(*kind, user, options, c.clock().today(), c.clock().clock());
        if (!pass) {
            return kRefused;
        }
        const auto pages = printReportToPdf(*pass, path, c.store(), c.messages(), strings);
        if (!pages) {
            return kRefused;
        }
        c.out() << "Pages: " << *pages << '\n';
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeReport() {
    return std::make_unique<ReportCommand>();
}

} // namespace zendrel::cli
