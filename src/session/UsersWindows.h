#pragma once

#include "data/DataStore.h"
#include "operations/UserOperations.h"

#include "framework/WindowPlacement.h"

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTreeWidget;

namespace zendrel {

class WindowPositions;

// "Update User Information": adds or changes one user, his login password and his preferences.
class UpdateUsers : public PlacedDialog {
    Q_OBJECT

public:
    UpdateUsers(DataStore& store, MessageService& messages, Clock& clock, WindowPositions* positions,
                UserOperations::Request request, const UserRecord& user, QWidget* parent = nullptr);
    ~UpdateUsers() override;
    const UserRecord& record() const { return m_buffer; }

private:
    void ok();
    void takeScreenValues();

    DataStore& m_store;
    MessageService& m_messages;
    Clock& m_clock;
    WindowPositions* m_positions;
    UserOperations::Request m_request;
    UserRecord m_buffer;
    QLineEdit* m_name;
    QLineEdit* m_password;
    QLineEdit* m_confirm;
    QCheckBox* m_showPasswords;
    QSpinBox* m_size;
    QComboBox* m_type;
    QComboBox* m_joint;
};

// "Users": the users in name order, with buttons to add, change and delete them.
class BrowseUsers : public PlacedDialog {
    Q_OBJECT

public:
    BrowseUsers(DataStore& store, MessageService& messages, Clock& clock, WindowPositions* positions,
                QWidget* parent = nullptr);
    ~BrowseUsers() override;
    void refresh(const QString& select = {});
    QTreeWidget* list() const { return m_list; }

    void insertUser();
    void changeUser();
    void deleteUser();

Q_SIGNALS:
    // A user was added, changed or deleted.
    void usersChanged();

private:
    const UserRecord* current() const;
    std::optional<UserRecord> currentAsStored();

    DataStore& m_store;
    MessageService& m_messages;
    Clock& m_clock;
    WindowPositions* m_positions;
    QTreeWidget* m_list;
    std::vector<UserRecord> m_users;
};

} // namespace zendrel
