#include "framework/SecretField.h"

#include "base/Secrets.h"

#include <QLineEdit>

namespace zendrel {

QString secretText(const QLineEdit* field) {
    return detachedCopy(field->text());
}

void clearSecretField(QLineEdit* field) {
    // Held here while the field lets it go, this is then the last holder of the buffer and may overwrite it.
    QString held = field->text();
    field->clear();
    wipe(held);
}

} // namespace zendrel
