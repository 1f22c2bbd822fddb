#include "data/StoreMessages.h"

#include "data/Database.h"

namespace zendrel::storeMessages {

QString fileAccessTitle() {
    return QStringLiteral("File Access Error");
}

QString cannotOpen(const QString& file, const QString& why) {
    return QStringLiteral("File (%1) could not be opened.  Error: %2.").arg(file, why);
}

QString cannotWrite(const QString& file, const QString& why) {
    return QStringLiteral("File (%1) could not be written.  Error: %2.").arg(file, why);
}

QString accessing(const QString& errorText, const QString& what) {
    return QStringLiteral("Error: (%1) accessing %2.").arg(errorText, what);
}

QString accessingPasswords(const StoreError& e) {
    return accessing(e.errorText(), QStringLiteral("Passwords"));
}

QString retrievalTitle() {
    return QStringLiteral("Record Retrieval Error");
}

QString viewOpenTitle() {
    return QStringLiteral("View Open Error");
}

} // namespace zendrel::storeMessages
