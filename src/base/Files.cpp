#include "base/Files.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zendrel {

bool isRegularFile(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isAbsentOrRegularFile(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(st.st_mode);
}

bool wipeAndRemove(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            static const char zeros[65536] = {};
            for (off_t left = st.st_size; left > 0;) {
                const ssize_t n = ::write(fd, zeros, static_cast<size_t>(std::min<off_t>(left, sizeof(zeros))));
                if (n <= 0) {
                    break;
                }
                left -= n;
            }
            ::fdatasync(fd);
        }
        ::close(fd);
    }
    return ::unlink(name.constData()) == 0 || errno == ENOENT;
}

} // namespace zendrel
