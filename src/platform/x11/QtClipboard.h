#pragma once

#include "platform/Shell.h"

namespace zendrel::x11 {

// The desktop clipboard through Qt (the program must have a QGuiApplication). A secret copy carries the
// hint "x-kde-passwordManagerHint: secret", so that clipboard managers leave it out of their history.
class QtClipboard final : public Clipboard {
public:
    std::string text() override;
    void setText(const std::string& text, bool secret) override;
};

} // namespace zendrel::x11
