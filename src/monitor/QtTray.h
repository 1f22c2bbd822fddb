#pragma once

#include "platform/Tray.h"

#include <QIcon>
#include <QObject>

class QSystemTrayIcon;

namespace zendrel {

// The notification-area icon on the toolkit's tray icon (XEmbed tray or StatusNotifierItem). Pictures are
// the program's resources, named as the monitor names them ("ZENDREL_ICO", "bar3_ico", "~glasses.ico").
class QtTray final : public QObject, public Tray {
public:
    explicit QtTray(QObject* parent = nullptr);
    ~QtTray() override;

    bool add(const std::string& icon, const std::string& tip) override;
    void change(const std::string& icon) override;
    void remove() override;
    // Looks whether a notification area is there now, and tells when that changed.
    void watchHost();

    static QIcon picture(const QString& name);

private:
    QSystemTrayIcon* m_icon;
    bool m_host;
};

} // namespace zendrel
