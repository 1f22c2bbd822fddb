#include "platform/sim/SimDesktop.h"

#include <algorithm>

namespace zendrel::sim {

WindowId SimDesktop::addWindow(const std::string& title) {
    const WindowId id = ++m_next;
    m_nodes[id] = Node{title, 0, {}};
    m_order.insert(m_order.begin(), id);
    return id;
}

WindowId SimDesktop::addWindowBehind(const std::string& title) {
    const WindowId id = ++m_next;
    m_nodes[id] = Node{title, 0, {}};
    m_order.push_back(id);
    return id;
}

WindowId SimDesktop::addChild(WindowId parent, const std::string& text) {
    const WindowId id = ++m_next;
    m_nodes[id] = Node{text, parent, {}};
    m_nodes[parent].children.push_back(id);
    return id;
}

void SimDesktop::closeWindow(WindowId window) {
    m_order.erase(std::remove(m_order.begin(), m_order.end(), window), m_order.end());
    if (m_focus != 0 && isWithin(m_focus, window)) {
        m_focus = 0;
    }
    m_nodes.erase(window);
}

void SimDesktop::setTitle(WindowId window, const std::string& title) {
    m_nodes[window].text = title;
}

bool SimDesktop::isMinimized(WindowId window) const {
    auto it = m_minimized.find(window);
    return it != m_minimized.end() && it->second;
}

std::vector<WindowInfo> SimDesktop::topLevelWindows() {
    ++m_reads;
    std::vector<WindowInfo> out;
    for (WindowId id : m_order) {
        out.push_back({id, m_nodes[id].text});
    }
    return out;
}

void SimDesktop::collect(WindowId window, std::vector<WindowInfo>& out) {
    auto it = m_nodes.find(window);
    if (it == m_nodes.end()) {
        return;
    }
    for (WindowId child : it->second.children) {
        out.push_back({child, m_nodes[child].text});
        collect(child, out);
    }
}

std::vector<WindowInfo> SimDesktop::descendants(WindowId window) {
    ++m_childReads[window];
    std::vector<WindowInfo> out;
    collect(window, out);
    return out;
}

bool SimDesktop::isWithin(WindowId window, WindowId ancestor) {
    for (WindowId w = window; w != 0;) {
        if (w == ancestor) {
            return true;
        }
        auto it = m_nodes.find(w);
        w = it == m_nodes.end() ? 0 : it->second.parent;
    }
    return false;
}

void SimDesktop::activate(WindowId window, bool restore) {
    ++m_activations;
    if (!m_nodes.count(window) || m_refused.count(window)) {
        return;
    }
    if (isMinimized(window)) {
        if (!restore) {
            return;
        }
        m_minimized[window] = false;
    }
    m_order.erase(std::remove(m_order.begin(), m_order.end(), window), m_order.end());
    m_order.insert(m_order.begin(), window);
    m_focus = window;
}

bool SimDesktop::focusDirectly(WindowId window) {
    if (!m_nodes.count(window) || m_refused.count(window)) {
        return false;
    }
    m_focus = window;
    return true;
}

bool SimShell::startProgram(const std::string& commandLine, std::string& error) {
    if (missing.count(commandLine)) {
        error = "No such file or directory";
        return false;
    }
    started.push_back(commandLine);
    return true;
}

bool SimShell::openDocument(const std::string& target, std::string& error) {
    if (unopenable.count(target)) {
        error = "no program to open it is installed";
        return false;
    }
    opened.push_back(target);
    return true;
}

bool SimDesktop::isOwnWindow(WindowId window) {
    for (WindowId w = window; w != 0;) {
        if (m_own.count(w) != 0) {
            return true;
        }
        auto it = m_nodes.find(w);
        w = it != m_nodes.end() ? it->second.parent : 0;
    }
    return false;
}

WindowId SimDesktop::previousWindow() {
    if (!m_handsFocusBack) {
        return 0;
    }
    for (WindowId w : m_order) {
        if (!isMinimized(w) && !isOwnWindow(w)) {
            return w;
        }
    }
    return 0;
}

} // namespace zendrel::sim
