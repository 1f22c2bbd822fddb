#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zendrel {

// What a window's controls show, read from the desktop's accessibility service: the names, descriptions
// and text contents of the controls of one window of one program. Toolkits that draw their own controls
// (GTK, Qt, browsers) have no child windows to read, but they describe their controls there.
struct AccessibleReading {
    std::vector<std::string> texts;  // UTF-8, each at most 254 characters, level by level
    // The program did not answer in time: what was read is left out, and the window counts as showing
    // nothing this time.
    bool timedOut = false;
    // A window of that title was found and read (it may show no text at all).
    bool found = false;
};

class AccessibleTexts {
public:
    virtual ~AccessibleTexts() = default;
    // The texts of the top-level window titled `title` of process `pid`. Empty when the service is not
    // there, the program does not take part in it, or it has no window of that title.
    virtual AccessibleReading read(int64_t pid, const std::string& title) = 0;
};

} // namespace zendrel
