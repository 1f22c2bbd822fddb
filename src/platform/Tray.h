#pragma once

#include <functional>
#include <string>

namespace zendrel {

// The desktop's notification area, holding at most one icon of the program: a picture named as the program's
// resources name it, and a tip text.
class Tray {
public:
    enum class Click { LeftUp, RightUp, LeftDouble, RightDouble };

    virtual ~Tray() = default;
    // Adds the icon; false when no notification area can hold it (none is running).
    virtual bool add(const std::string& icon, const std::string& tip) = 0;
    // Shows another picture in the icon's place.
    virtual void change(const std::string& icon) = 0;
    virtual void remove() = 0;

    // A click on the icon, and the notification area coming or going while the program runs.
    std::function<void(Click)> onClick;
    std::function<void(bool present)> onHostChanged;
};

} // namespace zendrel
