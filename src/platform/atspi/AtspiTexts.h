#pragma once

#include "platform/AccessibleTexts.h"
#include "platform/WindowTextSource.h"

namespace zendrel::atspi {

// How far a reading goes: a page with thousands of controls must not hold up a send pass.
struct TextLimits {
    int maxDepth = 40;       // levels below the window
    int maxNodes = 1500;     // controls looked at
    int timeLimitMs = 200;   // for the whole window, every call to the program included
};

// The texts of a window over the desktop's accessibility bus (AT-SPI), through libatspi. The bus is looked
// for once per process: without a session bus that offers one, every reading is empty and costs nothing.
// When the bus is there but switched off, it is switched on once, as assistive programs do, so that the
// toolkits start describing their windows. Safe to call from several threads: readings take turns.
//
// A window is found either by its program's process id (where the window system tells it) or, where it
// tells only the title and an application id (Wayland), by its title among all programs on the bus: then a
// window is read only when exactly one program can be the window's own, never a guess between two.
class AtspiTexts final : public AccessibleTexts, public WindowTextSource {
public:
    explicit AtspiTexts(TextLimits limits = {}) : m_limits(limits) {}
    AccessibleReading read(int64_t pid, const std::string& title) override;
    // The top-level window titled exactly `window.title` of the one program on the bus that has such a
    // window and that `window.appId` names (its name on the bus, its executable's name, or the session bus
    // name it owns; a blank id names any program). Not found when no program or more than one qualifies,
    // or when that program has several windows of the title.
    AccessibleReading readTitled(const WindowIdentity& window);
    // readTitled's texts; nullopt when nothing was found or the program did not answer in time.
    std::optional<std::vector<std::string>> textsOf(const WindowIdentity& window) override;
    // Whether the accessibility bus was found; looks for it the first time.
    static bool busAvailable();

private:
    TextLimits m_limits;
};

// The reader every desktop of this process shares.
AccessibleTexts& sharedAccessibleTexts();
// The same reader, for desktops that know their windows by title and application id.
WindowTextSource& sharedWindowTextSource();

} // namespace zendrel::atspi
