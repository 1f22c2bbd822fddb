#include "framework/QtFileDialogs.h"

#include "data/DataStore.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace zendrel {

namespace {

// Icons and type names from what a directory listing says alone. The default provider asks the MIME
// database, which opens files to look inside; opening and closing a data file would drop this program's
// locks on it.
class ListingIcons final : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        return QAbstractFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo& info) const override {
        return info.isDir() ? QStringLiteral("Folder") : QStringLiteral("File");
    }
};

// Leaves the store's own files out of the listing of the data directory.
class WithoutStoreFiles final : public QSortFilterProxyModel {
public:
    explicit WithoutStoreFiles(QString dataDirectory) : m_data(std::move(dataDirectory)) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || m_data.isEmpty()) {
            return true;
        }
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return !(DataStore::isStoreFileName(info.fileName()) && info.absolutePath() == m_data);
    }

private:
    QString m_data;
};

} // namespace

QString QtFileDialogs::startFor(const QString& start) const {
    if (m_dataDirectory.isEmpty()) {
        return start;
    }
    const QFileInfo info(start.isEmpty() ? m_dataDirectory : start);
    const QString dir = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    // Never in the data directory: a file picked there by mistake could be one of the store's own.
    if (QDir(dir).canonicalPath() == QDir(m_dataDirectory).canonicalPath()) {
        return info.isDir() ? QDir::homePath() : QDir(QDir::homePath()).filePath(info.fileName());
    }
    return start;
}

std::optional<QString> QtFileDialogs::run(const QString& title, const QString& filter, const QString& start,
                                          bool save) {
    QFileDialog dialog(m_parent, title, startFor(start), qtFileFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ListingIcons icons;
    dialog.setIconProvider(&icons);
    dialog.setProxyModel(new WithoutStoreFiles(QDir(m_dataDirectory).canonicalPath()));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

std::optional<QString> QtFileDialogs::openFile(const QString& title, const QString& filter, const QString& start) {
    return run(title, filter, start, false);
}

std::optional<QString> QtFileDialogs::saveFile(const QString& title, const QString& filter, const QString& start) {
    return run(title, filter, start, true);
}

} // namespace zendrel
