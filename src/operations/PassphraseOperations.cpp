#include "operations/PassphraseOperations.h"

#include "session/OwnerKeys.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zendrel {

namespace {

const QString kTitle = QStringLiteral("Passphrase");
const QString kWrong = QStringLiteral("The passphrase is not right for this data directory.");
const QString kEmpty = QStringLiteral("The passphrase may not be empty.");
const QString kTooLong = QStringLiteral("The passphrase is too long: at most %1 characters are allowed.");
const QString kDiffer = QStringLiteral("The new passphrase and its confirmation differ.");
const QString kDamaged = QStringLiteral("The passphrase header ZD_PASSPHRASE of this data directory is damaged. "
                                        "Nothing was changed; restore the header from a backup.");
const QString kMissing = QStringLiteral("The data files of this directory do not open without a passphrase; if "
                                        "it had one, its header ZD_PASSPHRASE is missing. Nothing was changed.");
const QString kForeign = QStringLiteral("The data files of this directory do not belong to its passphrase header "
                                        "ZD_PASSPHRASE. Nothing was changed.");
const QString kBusy = QStringLiteral("Another program has the data directory open. Close it and try again.");
const QString kAlready = QStringLiteral("The data directory has a passphrase already; change or remove it instead.");
const QString kNone = QStringLiteral("The data directory has no passphrase.");
const QString kFailed = QStringLiteral("The passphrase could not be changed: %1. Nothing was changed.");
const QString kDecided = QStringLiteral("The passphrase change could not be completed: %1. It is completed the next "
                                        "time the data directory is opened.");
const QString kReadOnly = QStringLiteral("The data directory %1 cannot be written: %2. Nothing was changed.");
const QString kLockFailed = QStringLiteral("The data directory %1 cannot be opened: %2.");
const QString kNoMemory = QStringLiteral("There is not enough memory to derive the key from the passphrase.");

} // namespace

bool PassphraseOperations::refuse(const QString& text) {
    m_messages.show(Message{kTitle, text, Buttons::Ok, Answer::Ok, false, MessageKind::Error});
    return false;
}

bool PassphraseOperations::acceptable(const QString& passphrase) {
    if (passphrase.isEmpty()) {
        return refuse(kEmpty);
    }
    if (passphrase.size() > kMaxLength) {
        return refuse(kTooLong.arg(kMaxLength));
    }
    return true;
}

PassphraseOperations::Opening PassphraseOperations::begin(DirectoryLock& lock) {
    if (const QString e = lock.share(m_directory); !e.isEmpty()) {
        refuse(kLockFailed.arg(QDir::toNativeSeparators(m_directory), e));
        return Opening::Refused;
    }
    const HeaderFile file = readPassphraseHeader(m_directory);
    switch (file.state) {
    case HeaderFile::Present:
        m_header = file.header;
        return Opening::NeedsPassphrase;
    case HeaderFile::Damaged:
        refuse(kDamaged);
        return Opening::Refused;
    case HeaderFile::Absent:
        break;
    }
    // Without a header the files open under the run-time key. Files that refuse it may have lost their header
    // or be damaged: the two cannot be told apart, so the store's own "Invalid File" path, which rewrites
    // nothing, speaks for both.
    return Opening::Ready;
}

bool PassphraseOperations::tryPassphrase(const QString& typed) {
    if (!acceptable(typed)) {
        return false;
    }
    QByteArray key = derivePassphraseKey(typed, m_header);
    if (key.isEmpty()) {
        return refuse(kNoMemory);
    }
    if (passphraseCheck(key) != m_header.check) {
        return refuse(kWrong);
    }
    m_key = key;
    return true;
}

OwnerKeys PassphraseOperations::keys() const {
    OwnerKeys k = ownerKeys();
    k.passphraseKey = m_key;
    return k;
}

std::optional<OwnerKeys> PassphraseOperations::open(DirectoryLock& lock,
                                                    const std::function<std::optional<QString>(bool again)>& ask) {
    switch (begin(lock)) {
    case Opening::Refused:
        return std::nullopt;
    case Opening::Ready:
        return keys();
    case Opening::NeedsPassphrase:
        break;
    }
    for (bool again = false;; again = true) {
        const std::optional<QString> typed = ask(again);
        if (!typed) {
            return std::nullopt;
        }
        if (tryPassphrase(*typed)) {
            break;
        }
    }
    // The header proved the key; files that still refuse it were keyed under another header.
    if (probeDataKey(m_directory, m_key) == KeyProbe::Refused) {
        refuse(kForeign);
        return std::nullopt;
    }
    return keys();
}

bool PassphraseOperations::isProtected() const {
    return readPassphraseHeader(m_directory).state != HeaderFile::Absent;
}

QByteArray PassphraseOperations::currentKey(const QString& current) {
    const HeaderFile file = readPassphraseHeader(m_directory);
    if (file.state == HeaderFile::Absent) {
        refuse(kNone);
        return {};
    }
    if (file.state == HeaderFile::Damaged) {
        refuse(kDamaged);
        return {};
    }
    m_header = file.header;
    return tryPassphrase(current) ? m_key : QByteArray();
}

Rekey::Outcome PassphraseOperations::rekeyHeld(const QByteArray& oldKey, const QByteArray& newKey,
                                               const QByteArray& header) {
    // Taken alone while the store still holds its files, whose locks keep any other change out meanwhile.
    if (!m_lock->upgrade()) {
        return {Rekey::Result::Busy, {}};
    }
    Rekey::Outcome o;
    m_store->withFilesClosed([&]() -> std::optional<OwnerKeys> {
        o = Rekey::run(m_directory, oldKey, newKey, header);
        if (o.result == Rekey::Result::Decided) {
            // Some files may be switched already: reopening any under the old key could write over what the
            // next start completes, so the program ends here, its files closed.
            m_store->endProgram(kTitle, kDecided.arg(o.errorText));
        }
        if (o.result != Rekey::Result::Done) {
            return std::nullopt;
        }
        OwnerKeys keys = m_store->keys();
        keys.passphraseKey = header.isEmpty() ? QByteArray() : newKey;
        return keys;
    });
    m_lock->share();
    return o;
}

bool PassphraseOperations::rekey(const QByteArray& oldKey, const QByteArray& newKey, const QByteArray& header,
                                 const QString& done) {
    // The new files are written beside the old ones: a directory that cannot take them is said plainly.
    if (::access(QFile::encodeName(m_directory).constData(), W_OK) != 0) {
        return refuse(kReadOnly.arg(QDir::toNativeSeparators(m_directory), QString::fromLocal8Bit(std::strerror(errno))));
    }
    Rekey::Outcome o;
    if (m_store) {
        o = rekeyHeld(oldKey, newKey, header);
    } else {
        DirectoryLock alone;
        if (!alone.takeAlone(m_directory)) {
            return refuse(kBusy);
        }
        o = Rekey::run(m_directory, oldKey, newKey, header);
    }
    switch (o.result) {
    case Rekey::Result::Done:
        m_messages.show(kTitle, done);
        return true;
    case Rekey::Result::Busy:
        return refuse(kBusy);
    case Rekey::Result::OldKeyRefused:
        return refuse(isProtected() ? kForeign : kMissing);
    case Rekey::Result::Decided:
        return refuse(kDecided.arg(o.errorText));
    case Rekey::Result::Failed:
        break;
    }
    return refuse(kFailed.arg(o.errorText));
}

bool PassphraseOperations::replace(const QByteArray& oldKey, const QString& passphrase,
                                   const QString& confirmation, const QString& done) {
    if (!acceptable(passphrase)) {
        return false;
    }
    if (passphrase != confirmation) {
        return refuse(kDiffer);
    }
    PassphraseHeader header = newPassphraseHeader();
    const QByteArray key = derivePassphraseKey(passphrase, header);
    if (key.isEmpty()) {
        return refuse(kNoMemory);
    }
    header.check = passphraseCheck(key);
    return rekey(oldKey, key, header.text(), done);
}

bool PassphraseOperations::set(const QString& passphrase, const QString& confirmation) {
    if (isProtected()) {
        return refuse(kAlready);
    }
    return replace(deriveRawKey(buildRuntimeKey()), passphrase, confirmation,
                   QStringLiteral("The passphrase is set. Keep it safe: without it the data cannot be opened."));
}

bool PassphraseOperations::change(const QString& current, const QString& passphrase, const QString& confirmation) {
    const QByteArray oldKey = currentKey(current);
    return !oldKey.isEmpty() && replace(oldKey, passphrase, confirmation, QStringLiteral("The passphrase is changed."));
}

bool PassphraseOperations::remove(const QString& current) {
    const QByteArray oldKey = currentKey(current);
    if (oldKey.isEmpty()) {
        return false;
    }
    return rekey(oldKey, deriveRawKey(buildRuntimeKey()), {},
                 QStringLiteral("The passphrase is removed; the data directory opens without one."));
}

} // namespace zendrel
