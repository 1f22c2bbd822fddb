#include "base/Files.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>

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

} // namespace zendrel
