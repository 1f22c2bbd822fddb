#pragma once

#include "base/FileDialogs.h"
#include "data/DataStore.h"
#include "framework/WindowPositions.h"

#include <QDialog>
#include <QStringList>

namespace zendrel {

// The two synchronization passes as the main program runs them: the file dialog on the exchange path (kept
// for the run), "Select User" and the progress window that drives the pass's slices; or, from the command
// line, the values given there without any dialog.
class SyncWindows {
public:
    SyncWindows(DataStore& store, MessageService& messages, FileDialogs& dialogs, WindowPositions* positions,
                QWidget* parent = nullptr)
        : m_store(store), m_messages(messages), m_dialogs(dialogs), m_positions(positions), m_parent(parent) {}

    // "SyncSend" and "SyncReceive" from the window: nothing happens when a choice is cancelled.
    void send();
    void receive();
    // The pass with its progress window ("Processing Records"), then the summary.
    void run(bool sending, const UserRecord& user, const QString& path);
    // SyncFromCommandLine: false when the arguments (after the program name) ask for no synchronization;
    // true when they did, whatever came of it, with `failed` set when a message other than the summary
    // was shown.
    bool fromCommandLine(const QStringList& arguments, bool* failed = nullptr);

    QString path() const { return m_path; }

private:
    std::optional<QString> chooseFile(bool sending);

    DataStore& m_store;
    MessageService& m_messages;
    FileDialogs& m_dialogs;
    WindowPositions* m_positions;
    QWidget* m_parent;
    QString m_path = QStringLiteral("zendrel.syn");
};

// "Synchronize": six lines of text, "&Receive", "&Send" and "E&xit"; it closes when either pass returns.
class Synchronize : public QDialog {
public:
    Synchronize(SyncWindows& passes, WindowPositions* positions, QWidget* parent = nullptr);
    ~Synchronize() override;
    static const QStringList& textLines();

private:
    WindowPositions* m_positions;
};

} // namespace zendrel
