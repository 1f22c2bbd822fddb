#pragma once

#include "base/FileDialogs.h"

#include <QPointer>
#include <QWidget>

namespace zendrel {

// The file dialogs of the programs, over the window that asks. The current directory is left as it was.
class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    std::optional<QString> openFile(const QString& title, const QString& filter, const QString& start) override;
    std::optional<QString> saveFile(const QString& title, const QString& filter, const QString& start) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace zendrel
