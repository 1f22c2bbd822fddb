#include "app/cli/Command.h"
#include "operations/ConversionOperations.h"

#include <QDir>
#include <QFileInfo>

namespace zendrel::cli {

namespace {

class Convert final : public Command {
public:
    // A start killed before it made the tables leaves only the old file; a directory with neither is refused.
    bool createsData() const override { return true; }
    QString name() const override { return QStringLiteral("convert"); }
    QString summary() const override { return QStringLiteral("convert what the tables of version 2.1 still hold"); }
    QString usage() const override { return QStringLiteral("convert"); }
    QString description() const override {
        return QStringLiteral(
            "Runs the conversion of the first start again over the users and entries that the file ZDDATA of\n"
            "version 2.1 still holds: those kept after a refusal or left by an interrupted start. A record\n"
            "whose copy already stands among the users or entries is removed from ZDDATA without a question;\n"
            "a refused one is named on standard error and kept. Prints the counts.");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("convert takes no arguments")};
        }
        const QDir dir(c.directory());
        if (!QFileInfo::exists(dir.filePath(QStringLiteral("ZD_DATA"))) &&
            !QFileInfo::exists(dir.filePath(QStringLiteral("ZDDATA")))) {
            throw Refusal{QStringLiteral("no Zendrel data in %1; `zendrel-cli init` prepares one").arg(c.directory())};
        }
        const QStringList lines = ConversionOperations(c.store(), c.messages()).convertAll();
        if (lines.isEmpty()) {
            c.out() << "No tables of version 2.1 to convert.\n";
        }
        for (const QString& line : lines) {
            c.out() << str(line) << '\n';
        }
        return c.messagesShown() == 0 ? kDone : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeConvert() {
    return std::make_unique<Convert>();
}

} // namespace zendrel::cli
