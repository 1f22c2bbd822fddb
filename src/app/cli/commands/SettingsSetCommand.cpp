#include "app/cli/Command.h"
#include "session/ConfigStore.h"

namespace zendrel::cli {

namespace {

class SettingsSet final : public Command {
public:
    bool createsData() const override { return true; }
    QString name() const override { return QStringLiteral("settings set"); }
    QString synopsis() const override { return QStringLiteral("settings set NAME VALUE"); }
    QString summary() const override { return QStringLiteral("change a setting"); }
    QString usage() const override { return QStringLiteral("settings set NAME VALUE"); }
    bool parsesOptions() const override { return false; }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (positional.size() != 2) {
            throw UsageError{QStringLiteral("settings get NAME | settings set NAME VALUE")};
        }
        if (ConfigStore::settingName(positional[0]).isEmpty()) {
            throw UsageError{QStringLiteral("a setting needs a name")};
        }
        if (const auto range = settingTypeRange(positional[0])) {
            bool ok = false;
            const int64_t v = positional[1].trimmed().toLongLong(&ok);
            if (!ok || v < range->first || v > range->second) {
                throw Refusal{QStringLiteral("%1 is a whole number from %2 to %3.")
                                  .arg(ConfigStore::settingName(positional[0]))
                                  .arg(range->first)
                                  .arg(range->second)};
            }
        }
        ConfigStore config(c.store());
        // A first setting written here must not stand in for the main program's first run.
        if (config.count() == 0) {
            initialiseSettings(c.store(), config);
        }
        return config.write(positional[0], positional[1]) ? kDone : kRefused;
    }
};

} // namespace

std::unique_ptr<Command> makeSettingsSet() {
    return std::make_unique<SettingsSet>();
}

} // namespace zendrel::cli
