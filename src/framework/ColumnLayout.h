#pragma once

#include <QString>

class QHeaderView;

namespace zendrel {

class WindowPositions;

// The user's column layout of a list, kept in the position file in the procedure's section: under
// "SRCFOriginal" + listName the layout as designed, under "SRCF" + listName the user's own (listName
// such as "?Browse:1").
//
// Call restoreColumns() once the header has its model and designed sizes. When the design stored with
// the user's layout is not the present one, the user's layout no longer fits the columns: the present
// design is stored and the user's layout dropped. Otherwise the user's layout is applied.
void restoreColumns(QHeaderView* header, WindowPositions& positions, const QString& procedure, const QString& listName);
// Stores the header's present layout as the user's layout; called when the window closes.
void saveColumns(const QHeaderView* header, WindowPositions& positions, const QString& procedure,
                 const QString& listName);

// Keeps every column at least as wide as its header text, now and whenever it is resized, so that no
// header is ever cut.
void keepHeaderTextsWhole(QHeaderView* header);

} // namespace zendrel
