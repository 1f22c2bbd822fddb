#pragma once

#include "platform/Desktop.h"
#include "platform/Shell.h"

#include <map>
#include <set>
#include <string.h>
#include <string>
#include <vector>

namespace zendrel::sim {

// An in-memory desktop: top-level windows in front-to-back order, their child windows with texts, the
// focus, minimising and activation, as a test sets them up.
class SimDesktop final : public Desktop {
public:
    // Adds a top-level window in front of the others; returns its id.
    WindowId addWindow(const std::string& title);
    // Adds a window behind all others.
    WindowId addWindowBehind(const std::string& title);
    WindowId addChild(WindowId parent, const std::string& text);
    void closeWindow(WindowId window);
    void setTitle(WindowId window, const std::string& title);
    void setMinimized(WindowId window, bool minimized) { m_minimized[window] = minimized; }
    bool isMinimized(WindowId window) const;
    // A window that activation and direct focusing cannot reach (another program holds the foreground).
    void refuseFocus(WindowId window) { m_refused.insert(window); }
    void setFocus(WindowId window) { m_focus = window; }
    // A window of the program under test itself (its frame), which it must never type into by accident.
    void markOwn(WindowId window) { m_own.insert(window); }
    // A desktop on which the program's own windows cannot minimise: it names the window to give the focus
    // back to, the frontmost of another program that is not minimised.
    void setHandsFocusBack(bool on) { m_handsFocusBack = on; }
    WindowId front() const { return m_order.empty() ? 0 : m_order.front(); }
    int activations() const { return m_activations; }
    int windowListReads() const { return m_reads; }
    // How often a window's descendants were read.
    int descendantReads(WindowId window) const {
        auto it = m_childReads.find(window);
        return it == m_childReads.end() ? 0 : it->second;
    }

    std::vector<WindowInfo> topLevelWindows() override;
    std::vector<WindowInfo> descendants(WindowId window) override;
    WindowId focusedWindow() override { return m_focus; }
    bool isOwnWindow(WindowId window) override;
    WindowId previousWindow() override;
    bool isWithin(WindowId window, WindowId ancestor) override;
    void activate(WindowId window, bool restore) override;
    bool focusDirectly(WindowId window) override;

private:
    struct Node {
        std::string text;
        WindowId parent = 0;
        std::vector<WindowId> children;
    };
    void collect(WindowId window, std::vector<WindowInfo>& out);

    WindowId m_next = 0x1000;
    std::vector<WindowId> m_order;  // top-level windows, front first
    std::map<WindowId, Node> m_nodes;
    std::map<WindowId, bool> m_minimized;
    std::set<WindowId> m_refused;
    std::set<WindowId> m_own;
    WindowId m_focus = 0;
    bool m_handsFocusBack = false;
    int m_activations = 0;
    int m_reads = 0;
    std::map<WindowId, int> m_childReads;
};

// Records the programs started and documents opened; a name listed in `missing` fails to start.
class SimShell final : public Shell {
public:
    bool startProgram(const std::string& commandLine, std::string& error) override;
    bool openDocument(const std::string& target, std::string& error) override;
    std::vector<std::string> started;
    std::vector<std::string> opened;
    std::set<std::string> missing;
    // Documents and addresses for which the desktop has no handler.
    std::set<std::string> unopenable;
};

class SimClipboard final : public Clipboard {
public:
    std::string text() override { return m_text; }
    void setText(const std::string& text, bool secret) override {
        // Like a careful clipboard, it overwrites what it held: the memory tests look for leftovers.
        explicit_bzero(m_text.data(), m_text.capacity());
        m_text = text;
        m_secret = secret;
        ++changes;
    }
    bool secret() const { return m_secret; }
    uint64_t changeCount() override { return static_cast<uint64_t>(changes); }
    // Another program puts something that is not text on the clipboard (a picture).
    void setPicture() {
        m_text.clear();
        ++changes;
    }
    int changes = 0;

private:
    std::string m_text;
    bool m_secret = false;
};

} // namespace zendrel::sim
