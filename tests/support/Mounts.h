#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>

namespace zendrel::test {

// A directory seen through a read-only bind mount, unmounted at the end. Tests run as root, for whom
// permission bits stop no write: only a mount makes a directory that truly cannot be written.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const QString& source) {
        m_ok = std::system(qPrintable(QStringLiteral("mount --bind '%1' '%2' 2>/dev/null && "
                                                     "mount -o remount,ro,bind '%2' 2>/dev/null")
                                          .arg(source, m_dir.path()))) == 0;
        if (!m_ok) {
            unmount();
        }
    }
    ~ReadOnlyMount() { unmount(); }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

    bool ok() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    void unmount() {
        if (!m_unmounted) {
            m_unmounted = true;
            std::system(qPrintable(QStringLiteral("umount -l '%1' 2>/dev/null").arg(m_dir.path())));
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
    bool m_unmounted = false;
};

// A small file system of its own, filled to the last byte: as root, permission bits would not stop a write.
class FullDisk {
public:
    FullDisk() {
        m_ok = QDir().mkpath(m_dir.path()) &&
               std::system(qPrintable(QStringLiteral("mount -t tmpfs -o size=2m tmpfs '%1' 2>/dev/null").arg(m_dir.path()))) == 0;
    }
    ~FullDisk() {
        if (m_ok) {
            std::system(qPrintable(QStringLiteral("umount -l '%1'").arg(m_dir.path())));
        }
    }
    bool ok() const { return m_ok; }
    QString path() const { return m_dir.path(); }
    // Frees the space again.
    void empty() { QFile::remove(QDir(m_dir.path()).filePath("filler")); }
    void fill() {
        QFile f(QDir(m_dir.path()).filePath("filler"));
        if (!f.open(QIODevice::WriteOnly)) {
            return;
        }
        const QByteArray block(4096, '\0');
        while (f.write(block) == block.size() && f.flush()) {
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

} // namespace zendrel::test
