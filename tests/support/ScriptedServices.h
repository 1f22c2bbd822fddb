#pragma once

#include "base/FileDialogs.h"
#include "base/MessageService.h"

#include <QStringList>

#include <functional>

namespace zendrel {

// Records every message and answers from a queue (the default answer once the queue is empty).
class ScriptedMessages final : public MessageService {
public:
    Answer show(const Message& m) override {
        shown.append(m);
        if (unexpected && !expectedTitles.contains(m.title)) {
            unexpected(m);
            return Answer::Cancel;
        }
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
    // Where a test names the messages it expects (by title), any other one is reported through `unexpected` at
    // once and answered with Cancel, so that nothing goes on behind it and no window waits for it.
    QStringList expectedTitles;
    std::function<void(const Message&)> unexpected;
};

// Records every request and answers from a queue; an empty queue, or nullopt in it, is a cancel.
class ScriptedFileDialogs final : public FileDialogs {
public:
    enum class Kind { Open, Save };
    struct Request {
        Kind kind;
        QString title;
        QString filter;
        QString start;
    };

    std::optional<QString> openFile(const QString& title, const QString& filter, const QString& start) override {
        return answer(Kind::Open, title, filter, start);
    }
    std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& start) override {
        return answer(Kind::Save, title, filter, start);
    }
    QStringList titles() const {
        QStringList l;
        for (const auto& r : requests) {
            l << r.title;
        }
        return l;
    }

    QList<Request> requests;
    QList<std::optional<QString>> answers;

private:
    std::optional<QString> answer(Kind kind, const QString& title, const QString& filter, const QString& start) {
        requests.append(Request{kind, title, filter, start});
        if (answers.isEmpty()) {
            return std::nullopt;
        }
        return answers.takeFirst();
    }
};

} // namespace zendrel
