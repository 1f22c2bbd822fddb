#pragma once

#include "platform/Tray.h"

#include <vector>

namespace zendrel::sim {

// A notification area that records what the program does with its icon, and lets a test click it or take the
// area away.
class SimTray final : public Tray {
public:
    bool add(const std::string& icon, const std::string& tip) override {
        if (!m_host) {
            return false;
        }
        log.push_back("add " + icon);
        m_icon = icon;
        m_tip = tip;
        m_shown = true;
        return true;
    }
    void change(const std::string& icon) override {
        log.push_back("change " + icon);
        m_icon = icon;
    }
    void remove() override {
        log.push_back("remove");
        m_shown = false;
    }

    void click(Click c) {
        if (onClick) {
            onClick(c);
        }
    }
    void setHost(bool present) {
        m_host = present;
        if (!present) {
            m_shown = false;
        }
        if (onHostChanged) {
            onHostChanged(present);
        }
    }
    bool shown() const { return m_shown; }
    const std::string& icon() const { return m_icon; }
    const std::string& tip() const { return m_tip; }

    std::vector<std::string> log;

private:
    bool m_host = true;
    bool m_shown = false;
    std::string m_icon;
    std::string m_tip;
};

} // namespace zendrel::sim
