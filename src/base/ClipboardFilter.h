#pragma once

#include <QString>

namespace zendrel {

// The clipboard filter: control characters, line ends and every character above "Z" (upper-cased) go,
// runs of spaces shrink to one, a NUL ends the text.
QString filterClipboardText(const QString& text);

} // namespace zendrel
