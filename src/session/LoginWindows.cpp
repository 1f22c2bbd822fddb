#include "session/LoginWindows.h"

#include "base/Secrets.h"
#include "base/StepLocator.h"
#include "framework/SecretField.h"
#include "framework/WindowPositions.h"
#include "session/Login.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zendrel {

ConfirmPassword::ConfirmPassword(UserRecord& buffer, MessageService& messages, WindowPositions* positions,
                                 LoginVariant variant, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("ConfirmPassword"), parent), m_buffer(buffer), m_messages(messages),
      m_positions(positions) {
    setWindowTitle(QStringLiteral("Security Check"));
    auto* prompt = new QLabel(QStringLiteral("Confirm Password:"), this);
    m_password = new QLineEdit(this);
    m_password->setMaxLength(width::kPassword);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(QStringLiteral("Confirm Password"));
    m_password->setMinimumWidth(m_password->fontMetrics().averageCharWidth() * 24);
    prompt->setBuddy(m_password);
    auto* okButton =
        new QPushButton(variant == LoginVariant::Monitor ? QStringLiteral("&OK") : QStringLiteral("&Ok"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    okButton->setDefault(true);
    // Whose password is asked for: the check also comes before changing or deleting another user.
    auto* whose = new QLabel(QStringLiteral("User:"), this);
    auto* name = new QLabel(fitText(m_buffer.name, width::kUserName), this);
    name->setTextFormat(Qt::PlainText);
    name->setObjectName(QStringLiteral("user"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* rows = new QGridLayout;
    rows->addWidget(whose, 0, 0);
    rows->addWidget(name, 0, 1);
    rows->addWidget(prompt, 1, 0);
    rows->addWidget(m_password, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &ConfirmPassword::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // The confirmation field receives what is typed; it starts empty.
    m_buffer.confirmPassword.clear();
    place();
}

void ConfirmPassword::ok() {
    QString typed = secretText(m_password);
    clearSecretField(m_password);
    const Login::Check check = Login::confirm(m_buffer, typed, m_messages);
    wipe(typed);
    if (check == Login::Check::Accepted) {
        accept();
    } else {
        reject(); // one attempt per window
    }
}

bool ConfirmPassword::check(UserRecord& buffer, MessageService& messages, WindowPositions* positions,
                            LoginVariant variant, QWidget* parent) {
    const QString stored = buffer.confirmPassword;
    ConfirmPassword w(buffer, messages, positions, variant, parent);
    const bool ok = w.exec() == QDialog::Accepted &&
                    fitText(buffer.password, width::kPassword) == fitText(buffer.confirmPassword, width::kPassword);
    if (!ok) {
        // Cancelled or refused: the buffer is a consistent record again.
        buffer.confirmPassword = buffer.password.isEmpty() ? stored : buffer.password;
    }
    return ok;
}

SelectUsers::SelectUsers(DataStore& store, MessageService& messages, WindowPositions* positions, LoginVariant variant,
                         QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("SelectUsers"), parent), m_store(store), m_messages(messages),
      m_positions(positions), m_variant(variant) {
    setWindowTitle(QStringLiteral("Select User"));
    auto* heading = new QLabel(QStringLiteral("Name"), this);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(QStringLiteral("Name"));
    // Room for a long name and several users at once.
    m_list->setMinimumSize(m_list->fontMetrics().averageCharWidth() * 32, m_list->fontMetrics().height() * 8);
    heading->setBuddy(m_list);
    auto* selectButton = new QPushButton(QStringLiteral("&Select"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    selectButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(selectButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    connect(selectButton, &QPushButton::clicked, this, &SelectUsers::select);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &SelectUsers::select);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    Login login(m_store);
    login.ensureDefaultUser();
    m_users = login.usersByName();
    const int shown = variant == LoginVariant::Monitor ? 30 : width::kUserName;
    for (const UserRecord& u : m_users) {
        m_list->addItem(u.name.left(shown));
    }
    m_list->setCurrentRow(0);
    place();
}

void SelectUsers::keyPressEvent(QKeyEvent* e) {
    // Typing a character moves to the first name at or after it.
    const QString t = e->text();
    if (t.size() == 1 && t.at(0).isPrint() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QStringList names;
        for (const UserRecord& u : m_users) {
            names << u.name;
        }
        const int row = stepLocate(names, t.at(0));
        if (row >= 0) {
            m_list->setCurrentRow(row);
        }
        return;
    }
    QDialog::keyPressEvent(e);
}

void SelectUsers::select() {
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(m_users.size())) {
        return;
    }
    m_buffer = m_users[static_cast<size_t>(row)];
    if (Login::requiresPassword(m_buffer) &&
        !ConfirmPassword::check(m_buffer, m_messages, m_positions, m_variant, this)) {
        // Any number of attempts: the buffer is cleared and the choice goes on.
        m_buffer = UserRecord{};
        m_list->setFocus();
        return;
    }
    accept();
}

std::optional<UserRecord> SelectUsers::choose(DataStore& store, MessageService& messages, WindowPositions* positions,
                                              LoginVariant variant, QWidget* parent) {
    SelectUsers w(store, messages, positions, variant, parent);
    if (w.m_users.size() == 1) {
        // A single user is chosen at once, as if "Select" had been pressed.
        w.select();
        if (w.result() == QDialog::Accepted) {
            return w.m_buffer;
        }
    }
    if (w.exec() == QDialog::Accepted) {
        return w.m_buffer;
    }
    return std::nullopt;
}

} // namespace zendrel
