#include "app/cli/Command.h"
#include "session/ConfigStore.h"

namespace zendrel::cli {

namespace {

class SettingsGet final : public Command {
public:
    QString name() const override { return QStringLiteral("settings get"); }
    QString synopsis() const override { return QStringLiteral("settings get NAME"); }
    QString summary() const override { return QStringLiteral("print a setting"); }
    QString usage() const override { return QStringLiteral("settings get NAME"); }
    bool parsesOptions() const override { return false; }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (positional.size() != 1) {
            throw UsageError{QStringLiteral("settings get NAME | settings set NAME VALUE")};
        }
        c.out() << str(ConfigStore(c.store()).read(positional.first())) << '\n';
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeSettingsGet() {
    return std::make_unique<SettingsGet>();
}

} // namespace zendrel::cli
