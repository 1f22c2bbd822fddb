#include "shell/PassphraseWindows.h"

#include "operations/PassphraseOperations.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

PassphraseDialog::PassphraseDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Passphrase"));
    setWindowTitle(QStringLiteral("Passphrase"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("This data directory is protected by a passphrase."), this));
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_field = new QLineEdit(this);
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setObjectName(QStringLiteral("Passphrase"));
    m_field->setAccessibleName(QStringLiteral("Passphrase"));
    m_field->setMaxLength(PassphraseOperations::kMaxLength + 1);  // one more, so a pasted longer one is refused
    form->addRow(QStringLiteral("&Passphrase:"), m_field);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString PassphraseDialog::passphrase() const {
    return m_field->text();
}

std::optional<QString> askPassphrase(QWidget* parent) {
    PassphraseDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.passphrase();
}

std::optional<OwnerKeys> openDataDirectory(const QString& directory, DirectoryLock& lock, MessageService& messages) {
    return PassphraseOperations(directory, messages).open(lock, [](bool) { return askPassphrase(); });
}

} // namespace zendrel
