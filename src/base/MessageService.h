#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace zendrel {

enum class Buttons { Ok, YesNo, YesNoCancel, RetryCancel, RetryAbort, YesNoIgnore };
enum class Answer { Ok, Yes, No, Cancel, Retry, Abort, Ignore };

struct Message {
    QString title;
    QString text;
    Buttons buttons = Buttons::Ok;
    Answer defaultAnswer = Answer::Ok;
    bool beep = false;
};

// Every message of the system goes through this service: a dialog in the programs, a line on standard
// error in the command-line companion, a recording in tests.
class MessageService {
public:
    virtual ~MessageService() = default;
    virtual Answer show(const Message& m) = 0;

    Answer show(const QString& title, const QString& text, Buttons buttons = Buttons::Ok,
                Answer defaultAnswer = Answer::Ok) {
        return show(Message{title, text, buttons, defaultAnswer, false});
    }
};

// Ends the program after a fatal message has been confirmed. The programs exit; tests throw.
using TerminateHandler = std::function<void(const QString& reason)>;

} // namespace zendrel
