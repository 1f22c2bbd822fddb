#pragma once

#include "app/DesktopChoice.h"

namespace zendrel::cli {

// The desktop chosen as the programs choose it (Wayland, else X11), with its keyboard when asked; a refusal
// saying what was looked for when there is none.
OpenedDesktop connectDesktop(bool withKeyboard);

} // namespace zendrel::cli
