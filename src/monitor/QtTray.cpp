#include "monitor/QtTray.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

// The pictures live in a static library: their resource is made known before the first is loaded.
static void initMonitorIcons() {
    Q_INIT_RESOURCE(monitor_icons);
}

namespace zendrel {

QtTray::QtTray(QObject* parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(this)), m_host(QSystemTrayIcon::isSystemTrayAvailable()) {
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (!onClick) {
            return;
        }
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            onClick(Click::LeftUp);
            break;
        case QSystemTrayIcon::Context:
            onClick(Click::RightUp);
            break;
        case QSystemTrayIcon::DoubleClick:
            onClick(Click::LeftDouble);
            break;
        default:
            break;
        }
    });
}

QtTray::~QtTray() {
    m_icon->hide();
}

QIcon QtTray::picture(const QString& name) {
    static const bool loaded = (initMonitorIcons(), true);
    (void)loaded;
    QString file = name.toLower();
    file.remove(QLatin1Char('~'));
    for (const char* suffix : {"_ico", ".ico"}) {
        if (file.endsWith(QLatin1String(suffix))) {
            file.chop(4);
        }
    }
    const QString path = QStringLiteral(":/zendrel/monitor/%1.svg").arg(file);
    QIcon icon(path);
    if (QFile::exists(path) && !icon.pixmap(16, 16).isNull()) {
        return icon;
    }
    // Without the SVG image plugin the icon is still there to click: a plain square of the program's colour.
    QPixmap plain(32, 32);
    plain.fill(file.startsWith(QLatin1Char('r')) ? QColor(0xc0, 0x39, 0x2b) : QColor(0x2f, 0x6f, 0xb3));
    return QIcon(plain);
}

bool QtTray::add(const std::string& icon, const std::string& tip) {
    m_host = QSystemTrayIcon::isSystemTrayAvailable();
    if (!m_host) {
        return false;
    }
    m_icon->setIcon(picture(QString::fromStdString(icon)));
    m_icon->setToolTip(QString::fromStdString(tip));
    m_icon->show();
    return true;
}

void QtTray::change(const std::string& icon) {
    m_icon->setIcon(picture(QString::fromStdString(icon)));
}

void QtTray::remove() {
    m_icon->hide();
}

void QtTray::watchHost() {
    const bool present = QSystemTrayIcon::isSystemTrayAvailable();
    if (present != m_host) {
        m_host = present;
        if (onHostChanged) {
            onHostChanged(present);
        }
    }
}

} // namespace zendrel
