#pragma once

#include "data/DataStore.h"
#include "data/Passphrase.h"

#include <QDialog>
#include <QString>

#include <optional>

class QLineEdit;

namespace zendrel {

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

// Asks the data directory's passphrase; nothing when cancelled.
std::optional<QString> askPassphrase(QWidget* parent = nullptr);
// The owner keys of a windowed program's data directory, after the passphrase window where it has one;
// nothing when cancelled or refused (the program ends). `lock` is held for the program's run.
std::optional<OwnerKeys> openDataDirectory(const QString& directory, DirectoryLock& lock, MessageService& messages);

} // namespace zendrel
