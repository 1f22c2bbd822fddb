#include "shell/SyncWindows.h"

#include "framework/ProgressWindow.h"
#include "framework/WindowPlacement.h"
#include "operations/SyncOperations.h"
#include "session/LoginWindows.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

namespace {

const QString kFilter = QStringLiteral("Synchronization Files|*.SYN");

// Counts the messages that are not the summary, for the exit status of a synchronization from the
// command line.
class CountingMessages final : public MessageService {
public:
    explicit CountingMessages(MessageService& inner) : m_inner(inner) {}
    Answer show(const Message& m) override {
        if (m.title != QLatin1String("Done")) {
            ++failures;
        }
        return m_inner.show(m);
    }
    int failures = 0;

private:
    MessageService& m_inner;
};

} // namespace

std::optional<QString> SyncWindows::chooseFile(bool sending) {
    // The dialog may wander; the program's working directory is its data directory and stays so.
    const QString cwd = QDir::currentPath();
    const auto chosen = sending ? m_dialogs.saveFile(QStringLiteral("File to Send to..."), kFilter, m_path)
                                : m_dialogs.openFile(QStringLiteral("File to Receive from..."), kFilter, m_path);
    QDir::setCurrent(cwd);
    if (chosen && !chosen->trimmed().isEmpty()) {
        m_path = chosen->left(255);
        return m_path;
    }
    return std::nullopt;
}

void SyncWindows::send() {
    const auto path = chooseFile(true);
    if (!path) {
        return;
    }
    const auto user = SelectUsers::choose(m_store, m_messages, m_positions, LoginVariant::Main, m_parent);
    if (!user) {
        return;
    }
    run(true, *user, *path);
}

void SyncWindows::receive() {
    const auto path = chooseFile(false);
    if (!path) {
        return;
    }
    const auto user = SelectUsers::choose(m_store, m_messages, m_positions, LoginVariant::Main, m_parent);
    if (!user) {
        return;
    }
    run(false, *user, *path);
}

void SyncWindows::run(bool sending, const UserRecord& user, const QString& path) {
    SyncOperations sync(m_store, m_messages);
    auto pass = sending ? sync.send(user, path) : sync.receive(user, path);
    if (!pass) {
        return;
    }
    const QString procedure = sending ? QStringLiteral("SyncSend") : QStringLiteral("SyncReceive");
    ProgressWindow progress(
        [&pass](ProgressWindow& w) {
            const bool more = pass->slice();
            w.setProgress(pass->done(), pass->total());
            const qint64 percent = pass->total() > 0 ? pass->done() * 100 / pass->total() : 100;
            w.setLines(pass->upperLine(), QStringLiteral("%1% Completed").arg(percent));
            return more;
        },
        m_parent);
    progress.setWindowTitle(QStringLiteral("Processing Records"));
    progress.setLines(pass->upperLine(), QStringLiteral("0% Completed"));
    progress.setProgress(0, pass->total());
    if (m_positions) {
        restorePlacement(&progress, *m_positions, procedure);
    }
    if (progress.run() != QDialog::Accepted) {
        pass->cancel();
    }
    if (m_positions) {
        savePlacement(&progress, *m_positions, procedure);
    }
    pass->finish();
}

bool SyncWindows::fromCommandLine(const QStringList& arguments, bool* failed) {
    const SyncOperations::CommandLine line = SyncOperations::parseCommandLine(arguments);
    if (!line.requested()) {
        return false;
    }
    CountingMessages counting(m_messages);
    SyncOperations sync(m_store, counting);
    if (const auto user = sync.commandLineUser(line)) {
        SyncWindows passes(m_store, counting, m_dialogs, m_positions, m_parent);
        passes.run(line.direction == QLatin1Char('O'), *user, line.file);
    }
    if (failed) {
        *failed = counting.failures > 0;
    }
    return true;
}

const QStringList& Synchronize::textLines() {
    static const QStringList lines = {"This option allows to securely synchronize two",
                                      "Zendrel databases.  You can write to or read",
                                      "from an encrypted file that can be located on a floppy",
                                      "disk or other removable media.  This is ideal for users",
                                      "who wish to keep a copy of their passwords both at",
                                      "home and at work."};
    return lines;
}

Synchronize::Synchronize(SyncWindows& passes, WindowPositions* positions, QWidget* parent)
    : QDialog(parent), m_positions(positions) {
    setWindowTitle(QStringLiteral("Synchronize"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Synchronize"));
    auto* layout = new QVBoxLayout(this);
    for (const QString& line : textLines()) {
        layout->addWidget(new QLabel(line, this));
    }
    auto* buttons = new QHBoxLayout;
    for (const char* caption : {"&Receive", "&Send", "E&xit"}) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        const QString c = b->text();
        connect(b, &QPushButton::clicked, this, [this, &passes, c] {
            if (c == QLatin1String("&Receive")) {
                passes.receive();
            } else if (c == QLatin1String("&Send")) {
                passes.send();
            }
            accept();
        });
    }
    layout->addLayout(buttons);
    if (m_positions) {
        restorePlacement(this, *m_positions, QStringLiteral("Synchronize"));
    }
}

Synchronize::~Synchronize() {
    if (m_positions) {
        savePlacement(this, *m_positions, QStringLiteral("Synchronize"));
    }
}

} // namespace zendrel
