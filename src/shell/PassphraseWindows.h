#pragma once

#include "data/DataStore.h"
#include "data/Passphrase.h"
#include "framework/WindowPlacement.h"

#include <QDialog>
#include <QString>

#include <optional>

class QLineEdit;

namespace zendrel {

class PassphraseOperations;

// The question for the data directory's passphrase, asked before any table opens; the check and its
// message are the operation's.
class PassphraseDialog : public QDialog {
    Q_OBJECT
public:
    explicit PassphraseDialog(QWidget* parent = nullptr);
    QString passphrase() const;

private:
    QLineEdit* m_field = nullptr;
};

// "Data Directory Passphrase": sets the passphrase of a directory without one, or changes or removes the
// present one. The checks, the switch of the files and the messages are the operation's; after a refusal the
// window stays, so that the user may type again.
class PassphraseSetup : public PlacedDialog {
    Q_OBJECT
public:
    PassphraseSetup(PassphraseOperations& operations, WindowPositions* positions, QWidget* parent = nullptr);

private:
    enum class Kind { Set, Change, Remove };
    void apply(Kind kind);

    PassphraseOperations& m_operations;
    QLineEdit* m_current = nullptr;
    QLineEdit* m_new = nullptr;
    QLineEdit* m_confirm = nullptr;
};

// Asks the data directory's passphrase; nothing when cancelled.
std::optional<QString> askPassphrase(QWidget* parent = nullptr);
// The owner keys of a windowed program's data directory, after the passphrase window where it has one;
// nothing when cancelled or refused (the program ends). `lock` is held for the program's run.
std::optional<OwnerKeys> openDataDirectory(const QString& directory, DirectoryLock& lock, MessageService& messages);

} // namespace zendrel
