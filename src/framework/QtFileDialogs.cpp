#include "framework/QtFileDialogs.h"

#include <QFileDialog>

namespace zendrel {

std::optional<QString> QtFileDialogs::openFile(const QString& title, const QString& filter, const QString& start) {
    const QString path = QFileDialog::getOpenFileName(m_parent, title, start, qtFileFilter(filter));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<QString> QtFileDialogs::saveFile(const QString& title, const QString& filter, const QString& start) {
    const QString path = QFileDialog::getSaveFileName(m_parent, title, start, qtFileFilter(filter));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

} // namespace zendrel
