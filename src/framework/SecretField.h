#pragma once

#include <QString>

class QLineEdit;

namespace zendrel {

// A password field's text as a copy of its own: the field's text shares its buffer with every plain copy,
// and that buffer could then not be overwritten when the field lets it go.
QString secretText(const QLineEdit* field);
// Empties a password field and overwrites the text it held (a copy taken with secretText is not touched).
void clearSecretField(QLineEdit* field);

} // namespace zendrel
