#pragma once

#include <QEvent>

namespace zendrel {

// Events that the windows post to the frame.
namespace frame_event {
constexpr QEvent::Type SendRequested = static_cast<QEvent::Type>(1174);  // an entry was queued while the monitor is off
constexpr QEvent::Type EntryQueued = static_cast<QEvent::Type>(1176);    // the frame gets out of the way
constexpr QEvent::Type UsersChanged = static_cast<QEvent::Type>(1177);   // open lists or monitored entries changed
} // namespace frame_event

} // namespace zendrel
