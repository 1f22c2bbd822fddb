#pragma once

#include "platform/AccessibleTexts.h"

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
class AtspiTexts final : public AccessibleTexts {
public:
    explicit AtspiTexts(TextLimits limits = {}) : m_limits(limits) {}
    AccessibleReading read(int64_t pid, const std::string& title) override;
    // Whether the accessibility bus was found; looks for it the first time.
    static bool busAvailable();

private:
    TextLimits m_limits;
};

// The reader every desktop of this process shares.
AccessibleTexts& sharedAccessibleTexts();

} // namespace zendrel::atspi
