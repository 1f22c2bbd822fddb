#pragma once

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

} // namespace zendrel::test
