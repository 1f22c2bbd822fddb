#include "shell/PassphraseWindows.h"

#include "operations/PassphraseOperations.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

namespace {

const QString kProtected = QStringLiteral("This data directory is protected by a passphrase.");

// A hidden field for a passphrase, one character longer than allowed so that a longer one pasted in is refused
// rather than cut.
QLineEdit* passphraseField(QWidget* parent, QFormLayout* form, const QString& label, const QString& name) {
    auto* field = new QLineEdit(parent);
    field->setEchoMode(QLineEdit::Password);
    field->setObjectName(name);
    field->setAccessibleName(name);
    field->setMaxLength(PassphraseOperations::kMaxLength + 1);
    form->addRow(label, field);
    return field;
}

} // namespace

PassphraseDialog::PassphraseDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Passphrase"));
    setWindowTitle(QStringLiteral("Passphrase"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(kProtected, this));
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_field = passphraseField(this, form, QStringLiteral("&Passphrase:"), QStringLiteral("Passphrase"));
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

PassphraseSetup::PassphraseSetup(PassphraseOperations& operations, WindowPositions* positions, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("Passphrase Setup"), parent), m_operations(operations) {
    setWindowTitle(QStringLiteral("Data Directory Passphrase"));
    const bool isProtected = operations.isProtected();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(isProtected ? kProtected
                                             : QStringLiteral("Without a passphrase, anyone who copies this data "
                                                              "directory and has Zendrel can open it."),
                                 this));
    auto* form = new QFormLayout;
    layout->addLayout(form);
    if (isProtected) {
        m_current = passphraseField(this, form, QStringLiteral("C&urrent passphrase:"),
                                    QStringLiteral("Current passphrase"));
    }
    m_new = passphraseField(this, form, QStringLiteral("&New passphrase:"), QStringLiteral("New passphrase"));
    m_confirm = passphraseField(this, form, QStringLiteral("C&onfirm new passphrase:"),
                                QStringLiteral("Confirm new passphrase"));
    auto* buttons = new QDialogButtonBox(this);
    auto add = [&](const QString& text, Kind kind) {
        QPushButton* b = buttons->addButton(text, QDialogButtonBox::ActionRole);
        connect(b, &QPushButton::clicked, this, [this, kind] { apply(kind); });
        return b;
    };
    if (isProtected) {
        add(QStringLiteral("&Change"), Kind::Change)->setDefault(true);
        add(QStringLiteral("&Remove"), Kind::Remove);
    } else {
        add(QStringLiteral("&Set"), Kind::Set)->setDefault(true);
    }
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    place();
}

void PassphraseSetup::apply(Kind kind) {
    bool done = false;
    switch (kind) {
    case Kind::Set:
        done = m_operations.set(m_new->text(), m_confirm->text());
        break;
    case Kind::Change:
        done = m_operations.change(m_current->text(), m_new->text(), m_confirm->text());
        break;
    case Kind::Remove:
        done = m_operations.remove(m_current->text());
        break;
    }
    if (done) {
        accept();
    }
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
