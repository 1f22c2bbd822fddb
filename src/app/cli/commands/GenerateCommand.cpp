#include "app/cli/Command.h"
#include "entries/PasswordGenerator.h"
#include "platform/Random.h"
#include "session/ConfigStore.h"

namespace zendrel::cli {

namespace {

class Generate final : public Command {
public:
    QString name() const override { return QStringLiteral("generate"); }
    QString summary() const override { return QStringLiteral("print a password made by the password generator"); }
    QString usage() const override {
        return QStringLiteral("generate [--user NAME] [--type TYPE] [--size N]\n"
                              "                                          [--joint plus|hyphen|number]");
    }
    QString description() const override {
        return QStringLiteral(
            "Prints one password made by the password generator's rules and saves nothing. TYPE is one of\n"
            "\"Word\", \"Concatenated Words\", \"Alphabet Only\", \"Alphanumeric\", \"All Characters\". What is not "
            "given\n"
            "is taken as the generator window takes it for the user when it opens (his preferences, then his\n"
            "saved settings), or a random size of 6 to 12 and \"Alphanumeric\" without a user.");
    }
    void declare(QCommandLineParser& p) const override {
        p.addOption(valued(QStringLiteral("user"), QStringLiteral("the user"), QStringLiteral("NAME")));
        p.addOption(valued(QStringLiteral("type"), QStringLiteral("the kind of password"), QStringLiteral("TYPE")));
        p.addOption(valued(QStringLiteral("size"), QStringLiteral("the length"), QStringLiteral("N")));
        p.addOption(valued(QStringLiteral("joint"), QStringLiteral("what joins words"), QStringLiteral("JOINT")));
    }
    int run(Context& c, const QCommandLineParser& o, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{QStringLiteral("generate takes only options")};
        }
        const QString type = o.value(QStringLiteral("type"));
        if (o.isSet(QStringLiteral("type")) && !PasswordGenerator::types().contains(type)) {
            throw UsageError{QStringLiteral("--type is one of \"%1\"")
                                 .arg(PasswordGenerator::types().join(QStringLiteral("\", \"")))};
        }
        const QMap<QString, QString> joints = {{"plus", "Plus Sign"}, {"hyphen", "Hyphen"}, {"number", "Number"}};
        const QString joint = o.value(QStringLiteral("joint")).toLower();
        if (o.isSet(QStringLiteral("joint")) && !joints.contains(joint)) {
            throw UsageError{QStringLiteral("--joint is one of plus, hyphen, number")};
        }
        SystemRandom random;
        PasswordGenerator generator(c.store(), random, c.messages());
        ConfigStore config(c.store());
        UserRecord user;
        if (o.isSet(QStringLiteral("user"))) {
            user = c.login(o.value(QStringLiteral("user")));
        }
        GeneratorChoice choice = generator.initialChoice(user, config);
        if (o.isSet(QStringLiteral("size"))) {
            choice.size = integerOption(o, QStringLiteral("size"), 3, 128);
        }
        if (o.isSet(QStringLiteral("type"))) {
            choice.type = type;
        }
        if (o.isSet(QStringLiteral("joint"))) {
            choice.joint = joints.value(joint);
        }
        if (PasswordGenerator::drawsWords(choice.type)) {
            ensureWords(c.store());
        }
        const auto password = generator.generate(choice);
        if (!password) {
            return kRefused;
        }
        c.out() << str(*password) << '\n';
        return kDone;
    }
};

} // namespace

std::unique_ptr<Command> makeGenerate() {
    return std::make_unique<Generate>();
}

} // namespace zendrel::cli
