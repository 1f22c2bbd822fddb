#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace zendrel {

// The plain header beside the data files of a directory protected by a passphrase: how the key is derived
// from the passphrase, never the passphrase or the key themselves.
constexpr const char* kPassphraseHeaderName = "ZD_PASSPHRASE";

struct PassphraseHeader {
    quint32 iterations = 0;
    quint32 memoryKiB = 0;
    quint32 lanes = 0;
    QByteArray salt;   // 16 random bytes
    QByteArray check;  // proves a derived key right before any data file is touched

    QByteArray text() const;
    // Nothing when the text is not a header of ours.
    static std::optional<PassphraseHeader> parse(const QByteArray& text);
};

// The parameters a new header gets: Argon2id with these costs and a fresh random salt.
PassphraseHeader newPassphraseHeader();
// The raw file key (32 bytes of key and 16 of file salt) a passphrase gives under a header. The
// passphrase is taken in NFC, so the same text typed another way gives the same key. Empty when the
// derivation itself fails (memory).
QByteArray derivePassphraseKey(const QString& passphrase, const PassphraseHeader& header);
// The check value of a header made for this key.
QByteArray passphraseCheck(const QByteArray& key);

// What a data directory's header file holds.
struct HeaderFile {
    enum State { Absent, Present, Damaged } state = Absent;
    PassphraseHeader header;
};
HeaderFile readPassphraseHeader(const QString& directory);

// Whether the first data file of a directory (if any) opens under a raw key.
enum class KeyProbe { NoFiles, Opens, Refused, Unknown };
KeyProbe probeDataKey(const QString& directory, const QByteArray& rawKey);

// A shared lock on the data directory itself, held by every program for its whole run from before it
// reads the header: a change of passphrase needs the lock alone, so it waits for no program and no
// program starts in its middle. A lock on the directory, not on a data file, disturbs none of the
// store's own locks. Taking it first finishes an interrupted change.
class DirectoryLock {
public:
    DirectoryLock() = default;
    ~DirectoryLock();
    DirectoryLock(DirectoryLock&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    DirectoryLock& operator=(DirectoryLock&& other) noexcept;
    // Shared, after finishing an interrupted change; an error text when the directory cannot be locked or
    // another program is changing its passphrase.
    QString share(const QString& directory);
    // Exclusive without waiting: false while another program holds the directory.
    bool takeAlone(const QString& directory);
    // A program that shares the directory takes it alone for a change of its own, without waiting: false
    // (still shared) while another program holds it. share() again gives it back.
    bool upgrade();
    void share();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Re-keying a whole data directory, crash-safe: every keyed file is copied under the new key beside the
// old one and synced, then a marker switches the set, so an interrupted change leaves the old set or
// the new one, each whole. Works only while no other program has the directory's files open.
class Rekey {
public:
    // Decided: the switch failed after its marker was on disk; the next opening of the directory completes it,
    // so no file may be opened under the old key meanwhile.
    enum class Result { Done, Busy, OldKeyRefused, Failed, Decided };
    struct Outcome {
        Result result = Result::Done;
        QString errorText;  // for Failed
    };
    // newHeader empty: the directory goes back to the run-time key and loses its header. The caller holds
    // the directory alone.
    static Outcome run(const QString& directory, const QByteArray& oldKey, const QByteArray& newKey,
                       const QByteArray& newHeader);
    // Completes a change whose marker was written, or drops the copies of one that never reached it. Run
    // before anything reads the header or opens a data file. Returns an error text on failure.
    static QString finishInterrupted(const QString& directory);
};

} // namespace zendrel
