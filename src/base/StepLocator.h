#pragma once

#include <QChar>
#include <QStringList>

namespace zendrel {

// A step locator that ignores case: the row to select when the user types a character into a list,
// that is the first row whose locator value, compared by Unicode case folding, sorts at or after the
// character. sortedValues are the locator values in the order the list shows them. Returns -1 when no
// row qualifies.
int stepLocate(const QStringList& sortedValues, QChar typed);

} // namespace zendrel
