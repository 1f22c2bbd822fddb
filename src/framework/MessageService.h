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

// Records every message and answers from a queue (the default answer once the queue is empty).
class ScriptedMessages final : public MessageService {
public:
    Answer show(const Message& m) override {
        shown.append(m);
        if (!answers.isEmpty()) {
            return answers.takeFirst();
        }
        return m.defaultAnswer;
    }
    QStringList titles() const {
        QStringList l;
        for (const auto& m : shown) {
            l << m.title;
        }
        return l;
    }
    QList<Message> shown;
    QList<Answer> answers;
};

// Ends the program after a fatal message has been confirmed. The programs exit; tests throw.
using TerminateHandler = std::function<void(const QString& reason)>;

} // namespace zendrel
