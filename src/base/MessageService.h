#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace zendrel {

enum class Buttons { Ok, YesNo, YesNoCancel, RetryCancel, RetryAbort, YesNoIgnore };
enum class Answer { Ok, Yes, No, Cancel, Retry, Abort, Ignore };

// What a message is, for the icon it is shown with.
enum class MessageKind {
    Notice,   // something done or to be known
    Question, // the user chooses between buttons
    Warning,  // a refusal the user can put right: a wrong password, a value out of range, a duplicate
    Error,    // something failed
    Fatal,    // the program ends after it
};

struct Message {
    QString title;
    QString text;
    Buttons buttons = Buttons::Ok;
    Answer defaultAnswer = Answer::Ok;
    bool beep = false;
    // Given where the title alone does not tell it; see messageKind().
    std::optional<MessageKind> kind;
};

// The kind of a message: the one it was given, else a question when it offers a choice, else by its
// title: the refusals "Warning", "Access Denied", "Range Error", "Duplicate Key Error" and "Cannot Send"
// are warnings, any other title with "Error" in it an error, and everything else a notice.
MessageKind messageKind(const Message& m);

// Every message of the system goes through this service: a dialog in the programs, a line on standard
// error in the command-line companion, a recording in tests.
class MessageService {
public:
    virtual ~MessageService() = default;
    virtual Answer show(const Message& m) = 0;

    Answer show(const QString& title, const QString& text, Buttons buttons = Buttons::Ok,
                Answer defaultAnswer = Answer::Ok) {
        return show(Message{title, text, buttons, defaultAnswer, false, std::nullopt});
    }
};

// The question before a record is deleted, "Confirm Delete", with No offered: true when answered Yes.
bool confirmDelete(MessageService& messages);

// Ends the program after a fatal message has been confirmed. The programs exit; tests throw.
using TerminateHandler = std::function<void(const QString& reason)>;

} // namespace zendrel
