#include "base/StepLocator.h"

namespace zendrel {

int stepLocate(const QStringList& sortedValues, QChar typed) {
    const QString key(typed);
    // A plain scan rather than a binary search: it gives the same row on a list in key order and still a
    // sensible one should the list's order differ slightly from this comparison (another collation).
    for (qsizetype i = 0; i < sortedValues.size(); ++i) {
        if (sortedValues.at(i).compare(key, Qt::CaseInsensitive) >= 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace zendrel
