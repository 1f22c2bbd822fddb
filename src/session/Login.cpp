#include "session/Login.h"

#include "base/Secrets.h"

namespace zendrel {

Login::Login(DataStore& store) : m_store(store), m_users(store) {}

bool Login::requiresPassword(const UserRecord& user) {
    return fitText(user.password, width::kPassword) != kNotRequired;
}

void Login::ensureDefaultUser() {
    if (m_users.count() != 0) {
        return;
    }
    UserRecord u = m_users.prime();
    u.name = kDefaultUser;
    u.password = kNotRequired;
    u.confirmPassword = kNotRequired;
    // Another program starting at the same moment may add it first; that is as good.
    DataStore::Quiet quiet;
    const WriteResult r = m_users.insert(u);
    if (!r && r.kind != WriteResult::Duplicate) {
        m_store.messages().show(r.title, r.text);
    }
}

std::vector<UserRecord> Login::usersByName() {
    return m_users.read(QStringLiteral("U_:KeyName"), {});
}

int64_t Login::userCount() {
    return m_users.count();
}

std::optional<UserRecord> Login::findUser(const QString& name) {
    return m_users.fetch(QStringLiteral("U_:KeyName"), {fitText(name, width::kName)});
}

std::optional<UserRecord> Login::quickUser(int n) {
    if (n < 1) {
        return std::nullopt;
    }
    auto rows = m_users.readPhysical(0, n);
    if (static_cast<int>(rows.size()) < n) {
        return std::nullopt;
    }
    return rows[static_cast<size_t>(n - 1)];
}

Login::Check Login::confirm(UserRecord& buffer, const QString& typed, MessageService& messages) {
    const Wiped<QString> fitted(fitText(typed, width::kPassword));
    buffer.confirmPassword = detachedCopy(*fitted);
    const Wiped<QString> stored(fitText(buffer.password, width::kPassword));
    if (*stored == buffer.confirmPassword) {
        return Check::Accepted;
    }
    // The buffer holds a consistent record again before anything else happens.
    buffer.confirmPassword = buffer.password;
    const bool caseOnly = *Wiped<QString>(stored->toUpper()) == *Wiped<QString>(fitted->toUpper());
    messages.show(QStringLiteral("Access Denied"), caseOnly ? QStringLiteral("Invalid password.  Case does not match.")
                                                            : QStringLiteral("Invalid password"));
    return caseOnly ? Check::WrongCase : Check::Wrong;
}

} // namespace zendrel
