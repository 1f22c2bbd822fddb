#include "entries/Attachment.h"

#include "base/Secrets.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zendrel {

namespace {

const QString kFilter = QStringLiteral("All Files|*.*");

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

std::optional<QString> Attachment::pathTooLong(const QString& path) {
    if (path.size() <= width::kFilename) {
        return std::nullopt;
    }
    return QStringLiteral("The path has %1 characters; an entry keeps paths of at most %2.").arg(path.size()).arg(width::kFilename);
}

qint64 Attachment::store(PasswordRecord& entry, const QString& path) {
    auto failed = [this](const QString& why) {
        m_messages.show(QStringLiteral("Error"), QStringLiteral("Unable to read file.  ") + why);
        return qint64{0};
    };
    if (const auto tooLong = pathTooLong(path)) {
        return failed(*tooLong);
    }
    // Never opened: closing it again would drop this program's locks on the store's file.
    if (m_store && m_store->holdsFile(path)) {
        return failed(QStringLiteral("It is one of Zendrel's own data files."));
    }
    // Read only: storing a file never needs to change it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return failed(systemError());
    }
    // Only an ordinary file: a pipe or a device could hold the program up without end.
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failed(QStringLiteral("It is not an ordinary file."));
    }
    // The bytes are read into room made for the whole file at once, kept in memory, and overwritten on every
    // way out; the read buffer too.
    Wiped<QByteArray> bytes;
    bytes->reserve(std::min<qsizetype>(st.st_size, kLimit) + 1);
    lockMemory(*bytes);
    char buffer[8192];
    struct WipeBuffer {
        char* p;
        ~WipeBuffer() { wipeBytes(p, sizeof buffer); }
    } wipeBuffer{buffer};
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const QString why = systemError();
            ::close(fd);
            return failed(why);
        }
        if (n == 0) {
            break;
        }
        appendSecret(*bytes, buffer, n);
        if (bytes->size() > kLimit) {
            ::close(fd);
            // Never stored cut short: a larger file is refused whole.
            return failed(QStringLiteral("The file is larger than 65,535 bytes."));
        }
    }
    ::close(fd);
    if (bytes->isEmpty()) {
        return failed(QStringLiteral("The file is empty."));
    }
    const qint64 size = bytes->size();
    wipe(entry.encryptedFile);
    entry.encryptedFile = std::move(*bytes);
    entry.encryptedFilename = path;
    m_messages.show(QStringLiteral("Complete"), path.trimmed() + QStringLiteral(" read successfully."));
    return size;
}

qint64 Attachment::encrypt(PasswordRecord& entry) {
    const auto path = m_dialogs.openFile(QStringLiteral("Choose a File"), kFilter, entry.encryptedFilename);
    if (!path) {
        return 0;
    }
    return store(entry, *path);
}

bool Attachment::write(const PasswordRecord& entry, const QString& path) {
    auto failed = [this](const QString& why) {
        m_messages.show(QStringLiteral("Error"), QStringLiteral("Unable to write file.  ") + why);
        return false;
    };
    // Saving over a data file would destroy it, and opening it would drop the store's locks.
    if (m_store && m_store->holdsFile(path)) {
        return failed(QStringLiteral("It is one of Zendrel's own data files."));
    }
    const QByteArray file = QFile::encodeName(path);
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return failed(systemError());
    }
    const QByteArray& bytes = entry.encryptedFile;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const QString why = systemError();
            ::close(fd);
            return failed(why);
        }
        done += n;
    }
    if (::close(fd) != 0) {
        return failed(systemError());
    }
    m_messages.show(QStringLiteral("Complete"), path.trimmed() + QStringLiteral(" written successfully."));
    return true;
}

bool Attachment::saveToDisk(const PasswordRecord& entry) {
    if (entry.encryptedFile.isEmpty()) {
        m_messages.show(QStringLiteral("Save to Disk"), QStringLiteral("There is no file stored with this entry."));
        return false;
    }
    const auto path = m_dialogs.saveFile(QStringLiteral("Save to..."), kFilter, entry.encryptedFilename);
    if (!path) {
        return false;
    }
    return write(entry, *path);
}

} // namespace zendrel
