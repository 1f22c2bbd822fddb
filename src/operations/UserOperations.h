#pragma once

#include "data/DataStore.h"

#include <functional>

namespace zendrel {

// Adding, changing and deleting users with their checks and messages, for the user form and the command
// line alike.
class UserOperations {
public:
    enum class Request { Insert, Change };
    enum class Focus { None, Name, Password };

    UserOperations(DataStore& store, MessageService& messages, Clock& clock)
        : m_store(store), m_messages(messages), m_clock(clock) {}

    // "&OK": two blank passwords mean "Not Required"; the two must match; the user needs a name. On
    // success the record is stamped and written (a rename takes the user's entries along).
    bool save(UserRecord& buffer, Request request, Focus& focus);
    enum class Ask { Question, Not };
    // Deletes the user and his entries after the checks: never the last user, a protected one only
    // after his password (`confirm`), and only when the question is answered with yes (a caller whose
    // request is itself the answer, as a command is, passes Ask::Not).
    bool remove(const UserRecord& user, const std::function<bool(UserRecord&)>& confirm, Ask ask = Ask::Question);

    // The form's list offers "Concatenated Word"; the generator's own value is stored.
    static QString storedType(const QString& shown);

private:
    DataStore& m_store;
    MessageService& m_messages;
    Clock& m_clock;
};

} // namespace zendrel
