#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace zendrel {

// Every file choice of the system goes through this service: Qt's file dialogs in the programs, a
// recording in tests. Filters are written as pairs of description and patterns separated by "|", such as
// "All Files|*.*" or "Synchronization Files|*.SYN"; several patterns of one pair are separated by ";".
// nullopt means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> openFile(const QString& title, const QString& filter, const QString& start) = 0;
    virtual std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& start) = 0;
};

// "All Files|*.*|Text Files|*.txt;*.csv" as Qt writes it: "All Files (*);;Text Files (*.txt *.csv)".
// "*.*" matches every file, as it did where these filters come from, so it becomes "*".
QString qtFileFilter(const QString& filter);

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
