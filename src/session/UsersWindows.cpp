#include "session/UsersWindows.h"

#include "base/Dates.h"
#include "framework/ColumnLayout.h"
#include "framework/WindowPlacement.h"
#include "framework/WindowPositions.h"
#include "session/Login.h"
#include "session/LoginWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include "base/Secrets.h"
#include "framework/SecretField.h"

#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zendrel {

namespace {

QLineEdit* field(QWidget* parent, const QString& accessible, int length, bool masked = false) {
    auto* e = new QLineEdit(parent);
    e->setMaxLength(length);
    e->setAccessibleName(accessible);
    if (masked) {
        e->setEchoMode(QLineEdit::Password);
    }
    return e;
}

} // namespace

UpdateUsers::UpdateUsers(DataStore& store, MessageService& messages, Clock& clock, WindowPositions* positions,
                         UserOperations::Request request, const UserRecord& user, QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("UpdateUsers"), parent), m_store(store), m_messages(messages),
      m_clock(clock), m_positions(positions), m_request(request), m_buffer(user) {
    setWindowTitle(request == UserOperations::Request::Insert ? QStringLiteral("Adding User") : QStringLiteral("Changing User"));
    setAccessibleName(QStringLiteral("Update User Information"));
    auto* tabs = new QTabWidget(this);

    auto* general = new QWidget(tabs);
    auto* form = new QFormLayout(general);
    m_name = field(general, QStringLiteral("Name"), width::kUserName);
    m_password = field(general, QStringLiteral("Password"), width::kPassword, true);
    m_confirm = field(general, QStringLiteral("Confirm Password"), width::kPassword, true);
    form->addRow(QStringLiteral("&Name:"), m_name);
    form->addRow(QStringLiteral("&Password:"), m_password);
    form->addRow(QStringLiteral("Confirm Password:"), m_confirm);
    QString changed;
    if (m_buffer.lastDateChanged != 0) {
        changed = QStringLiteral("Last changed ") + longDate(m_buffer.lastDateChanged) + QLatin1Char(' ') +
                  shortTime(m_buffer.lastTimeChanged);
    }
    form->addRow(new QLabel(changed, general));
    form->addRow(new QLabel(QStringLiteral("Tip:  Leave the password blank (or enter \"Not Required\") if\n"
                                           "a password should not be required to view password information\n"
                                           "for this user."),
                            general));
    tabs->addTab(general, QStringLiteral("General"));

    auto* prefs = new QWidget(tabs);
    auto* prefsLayout = new QVBoxLayout(prefs);
    m_showPasswords = new QCheckBox(QStringLiteral("Show Passwords (instead of asterisks)"), prefs);
    prefsLayout->addWidget(m_showPasswords);
    auto* defaults = new QGroupBox(QStringLiteral("Defaults"), prefs);
    auto* defaultsForm = new QFormLayout(defaults);
    m_size = new QSpinBox(defaults);
    m_size->setRange(0, 999);
    m_size->setAccessibleName(QStringLiteral("Password Size"));
    m_type = new QComboBox(defaults);
    m_type->addItems({"Word", "Concatenated Word", "Alphabet Only", "Alphanumeric", "All Characters"});
    m_type->setAccessibleName(QStringLiteral("Password Type"));
    m_joint = new QComboBox(defaults);
    m_joint->addItems({"Plus Sign", "Hyphen", "Number"});
    m_joint->setAccessibleName(QStringLiteral("Concatenation Type"));
    defaultsForm->addRow(QStringLiteral("Password Size:"), m_size);
    defaultsForm->addRow(QStringLiteral("Password Type:"), m_type);
    defaultsForm->addRow(QStringLiteral("Concatenation Type:"), m_joint);
    prefsLayout->addWidget(defaults);
    prefsLayout->addStretch();
    tabs->addTab(prefs, QStringLiteral("Preferences"));

    auto* okButton = new QPushButton(QStringLiteral("&OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    okButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &UpdateUsers::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_name->setText(m_buffer.name);
    const bool none = m_buffer.password == kNotRequired;
    m_password->setText(none ? QString() : m_buffer.password);
    m_confirm->setText(none ? QString() : m_buffer.confirmPassword);
    m_showPasswords->setChecked(m_buffer.showPasswords != 0);
    m_size->setValue(std::clamp(m_buffer.passwordSize, 0, 999));
    const QString type = m_buffer.passwordType == QLatin1String("Concatenated Words") ? QStringLiteral("Concatenated Word")
                                                                                      : m_buffer.passwordType;
    // A type the list does not know shows no choice rather than turning into another one.
    m_type->setCurrentIndex(m_type->findText(type));
    m_joint->setCurrentIndex(m_joint->findText(m_buffer.concatenationType));
    place();
}

UpdateUsers::~UpdateUsers() {
    // The passwords typed are overwritten with the form; the record keeps its own copies.
    clearSecretField(m_password);
    clearSecretField(m_confirm);
    wipe(m_buffer.password);
    wipe(m_buffer.confirmPassword);
}

void UpdateUsers::takeScreenValues() {
    m_buffer.name = m_name->text();
    m_buffer.password = secretText(m_password);
    m_buffer.confirmPassword = secretText(m_confirm);
    m_buffer.showPasswords = m_showPasswords->isChecked() ? 1 : 0;
    m_buffer.passwordSize = m_size->value();
    m_buffer.passwordType = m_type->currentText();
    m_buffer.concatenationType = m_joint->currentText();
}

void UpdateUsers::ok() {
    takeScreenValues();
    UserOperations::Focus focus = UserOperations::Focus::None;
    if (UserOperations(m_store, m_messages, m_clock).save(m_buffer, m_request, focus)) {
        accept();
        return;
    }
    if (focus == UserOperations::Focus::Password) {
        m_password->setFocus();
    } else if (focus == UserOperations::Focus::Name) {
        m_name->setFocus();
    }
}

BrowseUsers::BrowseUsers(DataStore& store, MessageService& messages, Clock& clock, WindowPositions* positions,
                         QWidget* parent)
    : PlacedDialog(positions, QStringLiteral("BrowseUsers"), parent), m_store(store), m_messages(messages),
      m_clock(clock), m_positions(positions) {
    setWindowTitle(QStringLiteral("Users"));
    m_list = new QTreeWidget(this);
    m_list->setHeaderLabels({QStringLiteral("Name")});
    m_list->setRootIsDecorated(false);
    m_list->setAccessibleName(QStringLiteral("Users"));
    auto* buttons = new QHBoxLayout;
    for (const auto& [text, slot] : std::vector<std::pair<QString, void (BrowseUsers::*)()>>{
             {QStringLiteral("&Insert"), &BrowseUsers::insertUser},
             {QStringLiteral("&Change"), &BrowseUsers::changeUser},
             {QStringLiteral("&Delete"), &BrowseUsers::deleteUser}}) {
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    }
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &BrowseUsers::changeUser);

    Login(m_store).ensureDefaultUser();
    refresh();
    place();
    if (m_positions) {
        restoreColumns(m_list->header(), *m_positions, QStringLiteral("BrowseUsers"), QStringLiteral("?Browse:1"));
    }
}

BrowseUsers::~BrowseUsers() {
    if (m_positions) {
        saveColumns(m_list->header(), *m_positions, QStringLiteral("BrowseUsers"), QStringLiteral("?Browse:1"));
    }
}

void BrowseUsers::refresh(const QString& select) {
    m_users = Login(m_store).usersByName();
    m_list->clear();
    for (const UserRecord& u : m_users) {
        auto* item = new QTreeWidgetItem(m_list, {u.name});
        if (u.name.compare(select, Qt::CaseInsensitive) == 0) {
            m_list->setCurrentItem(item);
        }
    }
    if (!m_list->currentItem() && m_list->topLevelItemCount() > 0) {
        m_list->setCurrentItem(m_list->topLevelItem(0));
    }
}

const UserRecord* BrowseUsers::current() const {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    return row >= 0 && row < static_cast<int>(m_users.size()) ? &m_users[static_cast<size_t>(row)] : nullptr;
}

void BrowseUsers::insertUser() {
    UpdateUsers form(m_store, m_messages, m_clock, m_positions, UserOperations::Request::Insert,
                     Table<UserRecord>(m_store).prime(), this);
    if (form.exec() == QDialog::Accepted) {
        refresh(form.record().name);
        Q_EMIT usersChanged();
    }
}

std::optional<UserRecord> BrowseUsers::currentAsStored() {
    const UserRecord* u = current();
    if (!u) {
        return std::nullopt;
    }
    // The list may be older than the record: another window may have changed or deleted it.
    auto stored = Table<UserRecord>(m_store).get(u->rowId);
    if (!stored) {
        refresh();
    }
    return stored;
}

void BrowseUsers::changeUser() {
    const auto u = currentAsStored();
    if (!u) {
        return;
    }
    // A protected user is changed only after his own password, whoever is logged in.
    UserRecord buffer = *u;
    if (Login::requiresPassword(buffer) && !ConfirmPassword::check(buffer, m_messages, m_positions, LoginVariant::Main, this)) {
        return;
    }
    UpdateUsers form(m_store, m_messages, m_clock, m_positions, UserOperations::Request::Change, buffer, this);
    if (form.exec() == QDialog::Accepted) {
        refresh(form.record().name);
        Q_EMIT usersChanged();
    }
}

void BrowseUsers::deleteUser() {
    const auto u = currentAsStored();
    if (!u) {
        return;
    }
    const bool removed = UserOperations(m_store, m_messages, m_clock).remove(*u, [this](UserRecord& buffer) {
        return ConfirmPassword::check(buffer, m_messages, m_positions, LoginVariant::Main, this);
    });
    if (removed) {
        refresh();
        Q_EMIT usersChanged();
    }
}

} // namespace zendrel
