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

} // namespace zendrel
