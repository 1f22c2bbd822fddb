#include "operations/UserOperations.h"

#include "session/Login.h"

namespace zendrel {

QString UserOperations::storedType(const QString& shown) {
    return fitText(shown, width::kPasswordType) == QLatin1String("Concatenated Word") ? QStringLiteral("Concatenated Words") : shown;
}

bool UserOperations::save(UserRecord& buffer, Request request, Focus& focus) {
    focus = Focus::None;
    if (fitText(buffer.password, width::kPassword).isEmpty() && fitText(buffer.confirmPassword, width::kPassword).isEmpty()) {
        buffer.password = kNotRequired;
        buffer.confirmPassword = kNotRequired;
    }
    if (fitText(buffer.password, width::kPassword) != fitText(buffer.confirmPassword, width::kPassword)) {
        m_messages.show(QStringLiteral("Warning"), QStringLiteral("Passwords do not match."));
        focus = Focus::Password;
        return false;
    }
    if (fitText(buffer.name, width::kName).trimmed().isEmpty()) {
        m_messages.show(QStringLiteral("Warning"), QStringLiteral("A user must have a name."));
        focus = Focus::Name;
        return false;
    }
    buffer.passwordType = storedType(buffer.passwordType);
    buffer.lastDateChanged = m_clock.today();
    buffer.lastTimeChanged = m_clock.clock();
    Table<UserRecord> users(m_store);
    const WriteResult r = request == Request::Insert ? users.insert(buffer) : users.change(buffer);
    if (!r) {
        focus = r.kind == WriteResult::Duplicate ? Focus::Name : Focus::None;
        return false;
    }
    return true;
}

bool UserOperations::remove(const UserRecord& user, const std::function<bool(UserRecord&)>& confirm, Ask ask) {
    Table<UserRecord> users(m_store);
    if (users.count() <= 1) {
        m_messages.show(QStringLiteral("Cannot Delete"), QStringLiteral("You must have at least one user."));
        return false;
    }
    UserRecord buffer = user;
    if (Login::requiresPassword(buffer) && !(confirm && confirm(buffer))) {
        return false;
    }
    if (ask == Ask::Question && !confirmDelete(m_messages)) {
        return false;
    }
    return static_cast<bool>(users.remove(user));
}

} // namespace zendrel
