#pragma once

#include "data/DataStore.h"

class QWidget;

namespace zendrel {

class WindowPositions;

// The conversion of version 2.1's users, then its entries, on the main program's first start: each in the
// progress window "Updating Files", which runs the pass in slices on its timer and closes at the end. The
// window cannot be cancelled: a record is only ever left behind by the user's "No" to a refused one.
void convertPreviousVersion(DataStore& store, MessageService& messages, WindowPositions* positions,
                            QWidget* parent = nullptr);

} // namespace zendrel
