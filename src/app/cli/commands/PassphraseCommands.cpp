#include "app/cli/Command.h"
#include "operations/PassphraseOperations.h"

#include <QDir>
#include <QFileInfo>

namespace zendrel::cli {

namespace {

// set, change and remove: thin callers of the passphrase operations, which take the directory alone.
class PassphraseCommand : public Command {
public:
    enum class Kind { Set, Change, Remove };
    explicit PassphraseCommand(Kind kind) : m_kind(kind) {}

    QString name() const override {
        switch (m_kind) {
        case Kind::Set:
            return QStringLiteral("passphrase set");
        case Kind::Change:
            return QStringLiteral("passphrase change");
        case Kind::Remove:
            break;
        }
        return QStringLiteral("passphrase remove");
    }
    QString summary() const override {
        switch (m_kind) {
        case Kind::Set:
            return QStringLiteral("protect the data directory with a passphrase");
        case Kind::Change:
            return QStringLiteral("change the data directory's passphrase");
        case Kind::Remove:
            break;
        }
        return QStringLiteral("remove the data directory's passphrase");
    }
    QString usage() const override { return name(); }
    QString description() const override {
        if (m_kind != Kind::Set) {
            return {};
        }
        return QStringLiteral(
            "A passphrase keys every data file in place of the built-in key; exchange files of synchronization\n"
            "keep the built-in key so that another installation can receive them. The current passphrase comes\n"
            "from --passphrase-fd or the terminal; a new one is typed twice on a terminal, or given as a line\n"
            "of standard input. Refused while another program has the data directory open.");
    }
    int run(Context& c, const QCommandLineParser&, const QStringList& positional) const override {
        if (!positional.isEmpty()) {
            throw UsageError{name() + QStringLiteral(" takes no arguments")};
        }
        c.checkDirectory();
        const QString directory = QFileInfo(c.directory()).absoluteFilePath();
        PassphraseOperations ops(directory, c.messages());
        QString current;
        if (m_kind == Kind::Set && ops.isProtected()) {
            return ops.set({}, {}) ? kDone : kRefused;  // refused, before anything is asked
        }
        if (m_kind != Kind::Set) {
            if (!ops.isProtected()) {
                // Said by the operation, before anything is asked.
                return ops.remove(QString()) ? kDone : kRefused;
            }
            current = c.passphrase("Current passphrase: ", false).value_or(QString());
        }
        bool done = false;
        if (m_kind == Kind::Remove) {
            done = ops.remove(current);
        } else {
            const QString typed = c.readSecret("New passphrase: ", "The new passphrase");
            const QString confirmed =
                c.io().terminal ? c.readSecret("Confirm new passphrase: ", "The confirmation") : typed;
            done = m_kind == Kind::Set ? ops.set(typed, confirmed) : ops.change(current, typed, confirmed);
        }
        return done ? kDone : kRefused;
    }

private:
    Kind m_kind;
};

} // namespace

std::unique_ptr<Command> makePassphraseSet() {
    return std::make_unique<PassphraseCommand>(PassphraseCommand::Kind::Set);
}

std::unique_ptr<Command> makePassphraseChange() {
    return std::make_unique<PassphraseCommand>(PassphraseCommand::Kind::Change);
}

std::unique_ptr<Command> makePassphraseRemove() {
    return std::make_unique<PassphraseCommand>(PassphraseCommand::Kind::Remove);
}

} // namespace zendrel::cli
