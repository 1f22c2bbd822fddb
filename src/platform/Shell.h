#pragma once

#include <cstdint>
#include <string>

namespace zendrel {

// Starting programs and opening documents or addresses, without waiting for them.
class Shell {
public:
    virtual ~Shell() = default;
    // Runs a command line detached. On failure returns false with a description in `error`.
    virtual bool startProgram(const std::string& commandLine, std::string& error) = 0;
    // Opens an address or document with the desktop's default handler. False, with the reason in `error`,
    // when no handler could be started for it (none installed, the document missing).
    virtual bool openDocument(const std::string& target, std::string& error) = 0;
};

// Text of the clipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual std::string text() = 0;
    // `secret` marks the text for clipboard managers as a password not to be kept in their history.
    virtual void setText(const std::string& text, bool secret) = 0;
    // Grows by one with every change of the clipboard, whatever its format and whoever made it.
    virtual uint64_t changeCount() = 0;
};

} // namespace zendrel
