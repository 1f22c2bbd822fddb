#pragma once

#include "data/DataStore.h"
#include "data/Records.h"
#include "base/FileDialogs.h"
#include "base/MessageService.h"

namespace zendrel {

// The small file an entry can carry, stored in the entry itself (whose table is enciphered).
class Attachment {
public:
    static constexpr qint64 kLimit = 65'535;  // bytes; "32k or less" as the form says

    // With the store, a file of the store's own is refused as an attachment.
    Attachment(MessageService& messages, FileDialogs& dialogs, const DataStore* store = nullptr)
        : m_messages(messages), m_dialogs(dialogs), m_store(store) {}

    // "Encrypt": reads a chosen file into the entry. The entry's attachment and file name change only
    // when the whole file was read; returns the number of bytes stored, 0 when nothing was.
    qint64 encrypt(PasswordRecord& entry);
    // "Save to Disk": writes the attachment to a chosen file (created private to its owner).
    bool saveToDisk(const PasswordRecord& entry);

    // A path that an entry cannot keep whole (P_:Filename, P_:EncryptedFilename): the refusal's text, or
    // nothing. A path is never cut: a cut one may start another program or name another file.
    static std::optional<QString> pathTooLong(const QString& path);

    // The same without the dialogs, for a path already chosen.
    qint64 store(PasswordRecord& entry, const QString& path);
    bool write(const PasswordRecord& entry, const QString& path);

private:
    MessageService& m_messages;
    FileDialogs& m_dialogs;
    const DataStore* m_store;
};

} // namespace zendrel
