#pragma once

#include "base/FileDialogs.h"

#include <QPointer>
#include <QWidget>

namespace zendrel {

// The file dialogs of the programs, over the window that asks. The current directory is left as it was.
// They never look inside files, never start in the data directory and leave its data files out.
class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void setDataDirectory(const QString& directory) { m_dataDirectory = directory; }
    // Where a dialog asked to start at `start` begins: elsewhere than the data directory.
    QString startFor(const QString& start) const;

    std::optional<QString> openFile(const QString& title, const QString& filter, const QString& start) override;
    std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& start) override;

private:
    std::optional<QString> run(const QString& title, const QString& filter, const QString& start, bool save);

    QPointer<QWidget> m_parent;
    QString m_dataDirectory;
};

} // namespace zendrel
