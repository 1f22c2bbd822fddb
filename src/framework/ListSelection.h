#pragma once

class QAbstractItemView;

namespace zendrel {

// A row of a single-selection list selected without moving the current row, as an assistive technology
// selects it over the accessibility bus, becomes the current row: the commands that act on the current row
// then act on the row the user chose, never on the one before it.
void followSelectionWithCurrentRow(QAbstractItemView* view);

} // namespace zendrel
