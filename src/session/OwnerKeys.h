#pragma once

#include "data/DataStore.h"

namespace zendrel {

// The run-time key: the stored 64-character seed with a constant added to every character's code.
QString buildRuntimeKey();
// The owner passwords of every table, with the run-time key built afresh.
OwnerKeys ownerKeys();

} // namespace zendrel
