#include "data/StoreFiles.h"
#include "data/StoreMessages.h"

// How a table is opened: from each outcome of a try (missing, locked, read only, keys broken, not a table of
// ours) to the next step, with the messages of the two ways of opening in one place.
namespace zendrel {

namespace {

// The words of one way of opening. The table manager names a file as the user knows it and ends every fatal
// text without a full stop; the safe open names it by its path and ends its texts with one.
struct OpenWords {
    QString file;
    QString end;

    QString creationFailed(const QString& err) const {
        return QStringLiteral("Error: (%1) creating %2.  Press OK to end this application").arg(err, file) + end;
    }
    QString createdNotOpened(const QString& err) const {
        return QStringLiteral("Error: (%1) opening created file:%2.  Press OK to end this application.").arg(err, file);
    }
    QString keysNotRebuilt(const QString& err) const {
        return QStringLiteral("Error: (%1) repairing key for %2.  Press OK to end this application").arg(err, file) +
               end;
    }
    QString invalidFile(const QString& err) const {
        return storeMessages::accessing(err, file) + QStringLiteral("  Press OK to end this application.");
    }
};

} // namespace

DataStore::File& DataStore::openBy(TableState& ts, OpenWay way) {
    const TableDef& t = *ts.def;
    File& f = fileOf(t);
    const bool safe = way == OpenWay::Safe;
    const OpenWords words{safe ? f.path : displayName(t), safe ? QStringLiteral(".") : QString()};
    auto cannotOpen = [&](const Outcome& o) {
        const QString text = storeMessages::cannotOpen(words.file, o.errorText);
        if (safe) {
            m_options.messages->show(storeMessages::fileAccessTitle(), text);
            m_options.terminate(QStringLiteral("Disk Error"));
            throw ProgramEnded(QStringLiteral("Disk Error"));
        }
        fatal(storeMessages::fileAccessTitle(), text + QStringLiteral("  Press OK to end this application"),
              QStringLiteral("Disk Error"));
    };

    Outcome o = tryOpen(ts);
    if (safe && o.condition == Condition::Locked) {
        o = tryOpen(ts);
    }
    // The table manager acts on two outcomes before its last try; the safe open on one.
    const int rounds = safe ? 1 : 2;
    bool created = false;
    for (int round = 0;; ++round) {
        bool again = false;
        switch (o.condition) {
        case Condition::Opened:
            return f;
        case Condition::NotFound:
            if (const QString err = createTable(ts); !err.isEmpty()) {
                fatal(QStringLiteral("File Creation Error"), words.creationFailed(err),
                      QStringLiteral("File Creation Error!"));
            }
            created = true;
            again = true;
            break;
        case Condition::Locked:
            // The busy handler has already waited the recovery time; a lock still held belongs to a running
            // program and is never broken.
            break;
        case Condition::AccessDenied:
            // A data directory that may be read but not written is still usable: read only, after the notice.
            if (!safe && ts.mode != Connection::Mode::ReadWrite) {
                break;
            }
            if (!f.accessNoticeShown) {
                f.accessNoticeShown = true;
                notice(QStringLiteral("Access Denied"),
                       QStringLiteral("Could not get write access to %1 so trying read-only.").arg(displayName(t)));
            }
            ts.mode = Connection::Mode::ReadOnly;
            if (f.conn && !f.readOnly) {
                // Other tables of this file stay writable; this one is used read only.
                ts.open = true;
                return f;
            }
            again = true;
            break;
        case Condition::KeysInvalid:
            if (safe) {
                const Answer a = m_options.messages->show(
                    QStringLiteral("Invalid Key"),
                    words.file + QStringLiteral(" key file is invalid.  Do you want to rebuild the key?"),
                    Buttons::YesNo, Answer::Yes);
                if (a != Answer::Yes) {
                    m_options.terminate(QStringLiteral("Invalid Key!"));
                    throw ProgramEnded(QStringLiteral("Invalid Key!"));
                }
            } else {
                notice(QStringLiteral("Invalid Key"),
                       QStringLiteral("%1 key file is invalid. Key must be rebuilt.").arg(words.file));
            }
            if (const QString err = rebuildKeys(ts); !err.isEmpty()) {
                fatal(safe ? QStringLiteral("Key Rebuild Error") : QStringLiteral("Key was not built"),
                      words.keysNotRebuilt(err),
                      safe ? QStringLiteral("Error Rebuilding Key!") : QStringLiteral("Key was not built"));
            }
            again = true;
            break;
        case Condition::InvalidFile:
            fatal(QStringLiteral("Invalid File"), words.invalidFile(o.errorText), QStringLiteral("Invalid File!"));
            break;
        case Condition::Other:
            break;
        }
        if (!again) {
            cannotOpen(o);
        }
        o = tryOpen(ts);
        if (round + 1 >= rounds) {
            if (o.condition == Condition::Opened) {
                return f;
            }
            if (safe && created) {
                fatal(QStringLiteral("File Creation Error"), words.createdNotOpened(o.errorText),
                      QStringLiteral("File Creation Error!"));
            }
            cannotOpen(o);
        }
    }
}

} // namespace zendrel
