#include "app/cli/Command.h"
#include "operations/OptionsOperations.h"

namespace zendrel::cli {

namespace {

class SettingsList final : public Command {
public:
    QString name() const override { return QStringLiteral("settings list"); }
    QString summary() const override { return QStringLiteral("list every setting with its value, in name order"); }
    QString usage() const override { return QStringLiteral("settings list"); }
    QString description() const override {
        return QStringLiteral("\"list\" prints one setting per line, its name, a tab and its value, in name order.");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("settings list takes no arguments")};
        }
        for (const auto& [name, value] : OptionsOperations(c.store()).allSettings()) {
            c.out() << str(listed(name)) << '\t' << str(listed(value)) << '\n';
        }
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeSettingsList() {
    return std::make_unique<SettingsList>();
}

} // namespace zendrel::cli
