#define SQLITE_HAS_CODEC 1
#include "data/Passphrase.h"

#include "data/DataStore.h"

#include <sqlcipher/sqlite3.h>

#include <argon2.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zendrel {

namespace {

// Argon2id costs: about as much time and memory as a peer password manager spends on opening its file.
constexpr quint32 kIterations = 4;
constexpr quint32 kMemoryKiB = 64 * 1024;
constexpr quint32 kLanes = 2;
// Limits on what a header may ask for, so a damaged or hostile one cannot exhaust the machine.
constexpr quint32 kMaxIterations = 1000;
constexpr quint32 kMaxMemoryKiB = 4 * 1024 * 1024;
constexpr quint32 kMaxLanes = 64;

constexpr char kHeaderFirstLine[] = "Zendrel passphrase header 1";
constexpr char kMarkerName[] = "ZD_REKEY";
constexpr char kMarkerFirstLine[] = "Zendrel re-key 1";
constexpr char kCopySuffix[] = ".rekey";
// How long a program that starts waits for another to let go of the directory it holds alone.
constexpr qint64 kChangeWaitMs = 2000;

QByteArray name(const QString& path) {
    return QFile::encodeName(path);
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(" (%1)").arg(error);
}

// Writes a whole small file and syncs it; an error text on failure (the partial file removed).
QString writeSynced(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(name(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return systemError(errno);
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int e = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(name(path).constData());
            return systemError(e);
        }
        done += n;
    }
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        ::unlink(name(path).constData());
        return systemError(e);
    }
    ::close(fd);
    return {};
}

QString syncPath(const QString& path, bool directory) {
    const int fd = ::open(name(path).constData(), O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
    if (fd < 0) {
        return systemError(errno);
    }
    const int rc = ::fsync(fd);
    const int e = errno;
    ::close(fd);
    return rc == 0 ? QString() : systemError(e);
}

QByteArray readSmallFile(const QString& path, bool* ok) {
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    // A header is a few lines; anything much larger is not one.
    return *ok ? f.read(4096) : QByteArray();
}

QString literal(const QByteArray& rawKey) {
    return QString::fromLatin1(keyLiteral(rawKey));
}

} // namespace

QByteArray PassphraseHeader::text() const {
    return QByteArray(kHeaderFirstLine) + "\nkdf=argon2id\niterations=" + QByteArray::number(iterations) +
           "\nmemory=" + QByteArray::number(memoryKiB) + "\nlanes=" + QByteArray::number(lanes) +
           "\nsalt=" + salt.toHex() + "\ncheck=" + check.toHex() + "\n";
}

std::optional<PassphraseHeader> PassphraseHeader::parse(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() != 8 || lines[0] != kHeaderFirstLine || lines[1] != "kdf=argon2id" || !lines[7].isEmpty()) {
        return std::nullopt;
    }
    auto value = [&](int i, const char* key) -> QByteArray {
        const QByteArray prefix = QByteArray(key) + '=';
        return lines[i].startsWith(prefix) ? lines[i].mid(prefix.size()) : QByteArray();
    };
    auto number = [&](int i, const char* key, quint32 high, quint32* out) {
        bool ok = false;
        const qulonglong v = value(i, key).toULongLong(&ok);
        *out = static_cast<quint32>(v);
        return ok && v >= 1 && v <= high;
    };
    auto hex = [&](int i, const char* key, int bytes, QByteArray* out) {
        const QByteArray h = value(i, key);
        *out = QByteArray::fromHex(h);
        return h.size() == bytes * 2 && out->size() == bytes && out->toHex() == h.toLower();
    };
    PassphraseHeader h;
    if (!number(2, "iterations", kMaxIterations, &h.iterations) || !number(3, "memory", kMaxMemoryKiB, &h.memoryKiB) ||
        !number(4, "lanes", kMaxLanes, &h.lanes) || h.memoryKiB < 8 * h.lanes || !hex(5, "salt", 16, &h.salt) ||
        !hex(6, "check", 32, &h.check)) {
        return std::nullopt;
    }
    return h;
}

PassphraseHeader newPassphraseHeader() {
    PassphraseHeader h;
    h.iterations = kIterations;
    h.memoryKiB = kMemoryKiB;
    h.lanes = kLanes;
    h.salt.resize(16);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(h.salt.data()),
                                         reinterpret_cast<quint32*>(h.salt.data() + 16));
    return h;
}

QByteArray derivePassphraseKey(const QString& passphrase, const PassphraseHeader& header) {
    QByteArray text = passphrase.normalized(QString::NormalizationForm_C).toUtf8();
    QByteArray key(48, '\0');
    const int rc = argon2id_hash_raw(header.iterations, header.memoryKiB, header.lanes, text.constData(),
                                     static_cast<size_t>(text.size()), header.salt.constData(),
                                     static_cast<size_t>(header.salt.size()), key.data(), static_cast<size_t>(key.size()));
    text.fill('\0');
    return rc == ARGON2_OK ? key : QByteArray();
}

QByteArray passphraseCheck(const QByteArray& key) {
    return QMessageAuthenticationCode::hash("zendrel passphrase check", key, QCryptographicHash::Sha256);
}

HeaderFile readPassphraseHeader(const QString& directory) {
    HeaderFile file;
    const QString path = QDir(directory).filePath(QString::fromLatin1(kPassphraseHeaderName));
    struct stat st {};
    if (::lstat(name(path).constData(), &st) != 0 && errno == ENOENT) {
        return file;
    }
    bool ok = false;
    const QByteArray text = S_ISREG(st.st_mode) ? readSmallFile(path, &ok) : QByteArray();
    const auto header = ok ? PassphraseHeader::parse(text) : std::nullopt;
    file.state = header ? HeaderFile::Present : HeaderFile::Damaged;
    if (header) {
        file.header = *header;
    }
    return file;
}

KeyProbe probeDataKey(const QString& directory, const QByteArray& rawKey) {
    for (const QString& f : DataStore::keyedFileNames()) {
        const QString path = QDir(directory).filePath(f);
        if (QFileInfo(path).size() <= 0) {
            continue;
        }
        try {
            Connection c(path, Connection::Mode::ReadOnly, rawKey);
            return KeyProbe::Opens;
        } catch (const StoreError& e) {
            return e.primaryCode() == SQLITE_NOTADB ? KeyProbe::Refused : KeyProbe::Unknown;
        }
    }
    return KeyProbe::NoFiles;
}

DirectoryLock::~DirectoryLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

QString DirectoryLock::share(const QString& directory) {
    const int fd = ::open(name(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return systemError(errno);
    }
    const QString marker = QDir(directory).filePath(QString::fromLatin1(kMarkerName));
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const QString error = Rekey::finishInterrupted(directory);
            flock(fd, LOCK_SH);
            if (!error.isEmpty()) {
                ::close(fd);
                return error;
            }
            break;
        }
        if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
            if (!QFileInfo::exists(marker)) {
                break;
            }
            // A change ended half-way: the first program to hold the directory alone completes it.
            flock(fd, LOCK_UN);
        }
        // Held alone: another program starts (for a moment) or changes the passphrase (for longer). Opening
        // the files in the middle of a change would find half of them switched, so that is refused.
        if (waited.elapsed() > kChangeWaitMs) {
            ::close(fd);
            return QStringLiteral("another program is changing its passphrase; try again when it has finished");
        }
        usleep(20'000);
    }
    *this = DirectoryLock();
    m_fd = fd;
    return {};
}

bool DirectoryLock::takeAlone(const QString& directory) {
    if (m_fd < 0) {
        m_fd = ::open(name(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    return m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

bool DirectoryLock::upgrade() {
    if (m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        return true;
    }
    // A refused conversion has dropped the shared lock: take it back. Until then the program's own file locks
    // keep any other change out.
    share();
    return false;
}

void DirectoryLock::share() {
    while (m_fd >= 0 && flock(m_fd, LOCK_SH) != 0 && errno == EINTR) {
    }
}

QString Rekey::finishInterrupted(const QString& directory) {
    const QDir dir(directory);
    const QString marker = dir.filePath(QString::fromLatin1(kMarkerName));
    bool ok = false;
    const QByteArray text = QFileInfo::exists(marker) ? readSmallFile(marker, &ok) : QByteArray();
    if (ok) {
        const QList<QByteArray> lines = text.split('\n');
        if (lines.value(0) != kMarkerFirstLine) {
            return QStringLiteral("%1 is not a marker of ours").arg(QString::fromLatin1(kMarkerName));
        }
        // The new set is whole (its copies were synced before the marker was written): put it in place.
        for (const QByteArray& line : lines.mid(1)) {
            if (line.startsWith("file ")) {
                const QString file = dir.filePath(QString::fromUtf8(line.mid(5)));
                const QString copy = file + QLatin1String(kCopySuffix);
                if (!QFileInfo::exists(copy)) {
                    continue;  // switched already
                }
                // The old file's log was written back and removed before its copy was made.
                ::unlink(name(file + QStringLiteral("-wal")).constData());
                ::unlink(name(file + QStringLiteral("-shm")).constData());
                if (::rename(name(copy).constData(), name(file).constData()) != 0) {
                    return systemError(errno);
                }
            } else if (line == "header set") {
                const QString header = dir.filePath(QString::fromLatin1(kPassphraseHeaderName));
                const QString copy = header + QLatin1String(kCopySuffix);
                if (QFileInfo::exists(copy) && ::rename(name(copy).constData(), name(header).constData()) != 0) {
                    return systemError(errno);
                }
            } else if (line == "header remove") {
                ::unlink(name(dir.filePath(QString::fromLatin1(kPassphraseHeaderName))).constData());
            }
        }
        if (QString e = syncPath(directory, true); !e.isEmpty()) {
            return e;
        }
        ::unlink(name(marker).constData());
        return syncPath(directory, true);
    }
    // No marker: a change that never reached it leaves only copies to drop; the old set is in place.
    const QString suffix = QString::fromLatin1(kCopySuffix);
    for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString base = f.endsWith(suffix) ? f.chopped(suffix.size())
                             : f.endsWith(suffix + QStringLiteral("-journal")) ? f.chopped(suffix.size() + 8)
                                                                                : QString();
        if (!base.isEmpty() &&
            (DataStore::keyedFileNames().contains(base) || base == QLatin1String(kPassphraseHeaderName))) {
            ::unlink(name(dir.filePath(f)).constData());
        }
    }
    ::unlink(name(marker + QStringLiteral(".tmp")).constData());
    return {};
}

Rekey::Outcome Rekey::run(const QString& directory, const QByteArray& oldKey, const QByteArray& newKey,
                          const QByteArray& newHeader) {
    const QDir dir(directory);
    if (QString e = finishInterrupted(directory); !e.isEmpty()) {
        return {Result::Failed, e};
    }
    // A program of an older build holds its files without the directory lock: its shared lock on a file
    // says it is there.
    std::vector<int> fileLocks;
    auto release = [&fileLocks] {
        for (int fd : fileLocks) {
            ::close(fd);
        }
        fileLocks.clear();
    };
    for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!DataStore::isStoreFileName(f) || f.contains(QLatin1Char('-'))) {
            continue;
        }
        const int fd = ::open(name(dir.filePath(f)).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        fileLocks.push_back(fd);
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            release();
            return {Result::Busy, {}};
        }
    }
    QStringList copied;
    auto dropCopies = [&] {
        for (const QString& f : copied) {
            ::unlink(name(dir.filePath(f) + QLatin1String(kCopySuffix)).constData());
        }
        ::unlink(name(dir.filePath(QString::fromLatin1(kPassphraseHeaderName)) + QLatin1String(kCopySuffix)).constData());
    };
    Outcome outcome;
    for (const QString& f : DataStore::keyedFileNames()) {
        const QString path = dir.filePath(f);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        const QString copy = path + QLatin1String(kCopySuffix);
        try {
            // The connection goes before the file locks do: closing their descriptors drops its locks.
            Connection c(path, Connection::Mode::ReadWrite, oldKey);
            Statement& cp = c.prepare(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            if (!cp.step() || cp.integer(0) != 0) {
                outcome = {Result::Busy, {}};
                break;
            }
            cp.reset();
            copied << f;
            // The connection was opened without leave to create files, and so is what it attaches: the copy
            // is made here, empty and private.
            if (QString e = writeSynced(copy, {}); !e.isEmpty()) {
                outcome = {Result::Failed, e};
                break;
            }
            Statement& attach = c.prepare(QStringLiteral("ATTACH DATABASE ? AS rekeyed KEY ?"));
            attach.bind(1, copy);
            attach.bind(2, literal(newKey));
            attach.run();
            c.exec(QStringLiteral("SELECT sqlcipher_export('rekeyed')"));
            Statement& version = c.prepare(QStringLiteral("PRAGMA main.user_version"));
            version.step();
            const int64_t v = version.integer(0);
            version.reset();
            c.exec(QStringLiteral("PRAGMA rekeyed.user_version = %1").arg(v));
            c.exec(QStringLiteral("DETACH DATABASE rekeyed"));
        } catch (const StoreError& e) {
            outcome = e.primaryCode() == SQLITE_NOTADB && !copied.contains(f) ? Outcome{Result::OldKeyRefused, {}}
                                                                              : Outcome{Result::Failed, e.errorText()};
            break;
        }
        if (QString e = syncPath(copy, false); !e.isEmpty()) {
            outcome = {Result::Failed, e};
            break;
        }
    }
    if (outcome.result == Result::Done && !newHeader.isEmpty()) {
        const QString header = dir.filePath(QString::fromLatin1(kPassphraseHeaderName)) + QLatin1String(kCopySuffix);
        if (QString e = writeSynced(header, newHeader); !e.isEmpty()) {
            outcome = {Result::Failed, e};
        }
    }
    if (outcome.result == Result::Done) {
        QByteArray marker = QByteArray(kMarkerFirstLine) + '\n';
        for (const QString& f : copied) {
            marker += "file " + f.toUtf8() + '\n';
        }
        marker += newHeader.isEmpty() ? "header remove\n" : "header set\n";
        const QString path = dir.filePath(QString::fromLatin1(kMarkerName));
        QString e = writeSynced(path + QStringLiteral(".tmp"), marker);
        if (e.isEmpty() && ::rename(name(path + QStringLiteral(".tmp")).constData(), name(path).constData()) != 0) {
            e = systemError(errno);
        }
        if (e.isEmpty()) {
            e = syncPath(directory, true);  // the switch is decided once the marker is on disk
        }
        if (e.isEmpty()) {
            e = finishInterrupted(directory);
            if (!e.isEmpty()) {
                // The marker stands: the next program to open the directory completes the switch.
                release();
                return {Result::Decided, e};
            }
        } else {
            ::unlink(name(path).constData());
            ::unlink(name(path + QStringLiteral(".tmp")).constData());
            outcome = {Result::Failed, e};
        }
    }
    if (outcome.result != Result::Done) {
        dropCopies();
    }
    release();
    return outcome;
}

} // namespace zendrel
