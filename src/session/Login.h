#pragma once

#include "data/DataStore.h"

#include <optional>

namespace zendrel {

// The text that marks a user without a login password; only this exact text counts.
inline const QString kNotRequired = QStringLiteral("Not Required");
inline const QString kDefaultUser = QStringLiteral("Default User");

// The rules of choosing a user and checking his login password, shared by the login windows and the
// command-line companion.
class Login {
public:
    explicit Login(DataStore& store);

    static bool requiresPassword(const UserRecord& user);

    // An empty Users table gets "Default User" without a password.
    void ensureDefaultUser();

    // The users in name order.
    std::vector<UserRecord> usersByName();
    int64_t userCount();
    std::optional<UserRecord> findUser(const QString& name);

    // The n-th user (1 to 3) in stored order, for the frame's quick-user buttons.
    std::optional<UserRecord> quickUser(int n);

    enum class Check { Accepted, WrongCase, Wrong };
    // The login window's comparison: the typed password goes into the buffer's confirmation; on a
    // mismatch the buffer gets its stored confirmation back and "Access Denied" is shown.
    static Check confirm(UserRecord& buffer, const QString& typed, MessageService& messages);

private:
    DataStore& m_store;
    Table<UserRecord> m_users;
};

} // namespace zendrel
