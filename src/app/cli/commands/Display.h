#pragma once

#include "platform/x11/X11Connection.h"

#include <memory>

namespace zendrel::cli {

// The X display of $DISPLAY, or a refusal naming it.
std::unique_ptr<x11::X11Connection> connectDisplay();

} // namespace zendrel::cli
