#pragma once

#include "data/DataStore.h"
#include "base/MessageService.h"

#include "framework/WindowPlacement.h"

#include <optional>

class QLineEdit;
class QListWidget;

namespace zendrel {

class WindowPositions;

enum class LoginVariant {
    Main,     // the main program's windows
    Monitor,  // the monitor program's: 30 characters of the name, "&OK", "No User Selected" on cancel
};

// "Security Check": one attempt at the login password of the user in the buffer.
class ConfirmPassword : public PlacedDialog {
    Q_OBJECT

public:
    ConfirmPassword(UserRecord& buffer, MessageService& messages, WindowPositions* positions,
                    LoginVariant variant = LoginVariant::Main, QWidget* parent = nullptr);

    // Runs the window; true when the typed password matched. The buffer holds the stored password in
    // its confirmation again after a failure.
    static bool check(UserRecord& buffer, MessageService& messages, WindowPositions* positions,
                      LoginVariant variant = LoginVariant::Main, QWidget* parent = nullptr);

private:
    void ok();

    UserRecord& m_buffer;
    MessageService& m_messages;
    WindowPositions* m_positions;
    QLineEdit* m_password;
};

// "Select User": the users in name order; the chosen user is let in after his password where he has one.
class SelectUsers : public PlacedDialog {
    Q_OBJECT

public:
    SelectUsers(DataStore& store, MessageService& messages, WindowPositions* positions,
                LoginVariant variant = LoginVariant::Main, QWidget* parent = nullptr);

    // Runs the choice: an empty user table first gets "Default User"; a single user is chosen at once.
    // Nothing when the choice was cancelled (the monitor's buffer then reads "No User Selected").
    static std::optional<UserRecord> choose(DataStore& store, MessageService& messages, WindowPositions* positions,
                                            LoginVariant variant = LoginVariant::Main, QWidget* parent = nullptr);

    const UserRecord& chosen() const { return m_buffer; }

private:
    void select();
    void keyPressEvent(QKeyEvent* e) override;

    DataStore& m_store;
    MessageService& m_messages;
    WindowPositions* m_positions;
    LoginVariant m_variant;
    QListWidget* m_list;
    std::vector<UserRecord> m_users;
    UserRecord m_buffer;
};

inline const QString kNoUserSelected = QStringLiteral("No User Selected");

} // namespace zendrel
