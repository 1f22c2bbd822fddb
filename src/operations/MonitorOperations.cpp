#include "operations/MonitorOperations.h"

#include "operations/EntryOperations.h"
#include "send/Sender.h"
#include "session/ConfigStore.h"
#include "session/Login.h"

namespace zendrel {

const QString MonitorOperations::kNoUserSelected = QStringLiteral("No User Selected");
const QString MonitorOperations::kTip = QStringLiteral("Zendrel Monitor");
const QString MonitorOperations::kMainNeverRun =
    QStringLiteral("You must run the main Zendrel program before you can use the Zendrel Monitor.");

namespace {

// The frames of the icon while entries are watched: up the bar and down again.
constexpr int kFrames[8] = {1, 2, 3, 4, 5, 4, 3, 2};

} // namespace

const QStringList& MonitorOperations::sendChoices() {
    static const QStringList choices = {"Preset", "Password", "Name", "URL", "Service", "Notes", "More Notes"};
    return choices;
}

MonitorOperations::MonitorOperations(Services services, MonitorWindowLink window)
    : m_s(services), m_window(std::move(window)), m_user(kNoUserSelected) {}

void MonitorOperations::readSettings(int64_t minimumInterval) {
    ConfigStore config(m_s.store);
    m_settings.stayOnTop = config.readNumber(QStringLiteral("ZD_SOT")) != 0;
    m_settings.askEveryRestore = config.readNumber(QStringLiteral("ZD_ASK")) != 0;
    m_settings.askAtStart = config.readNumber(QStringLiteral("ZD_ASKIMM")) != 0;
    m_settings.sendInterval = std::clamp<int64_t>(config.readNumber(QStringLiteral("ZD_GD")), minimumInterval, 250);
    m_settings.groupSize = sendGroupSize(config.readNumber(QStringLiteral("ZD_BS")));
    m_s.queue.setSettings(SendSettings{static_cast<int>(m_settings.groupSize), m_settings.sendInterval});
}

bool MonitorOperations::start() {
    ConfigStore config(m_s.store);
    const auto loaded = loadMonitorSettings(m_s.store, config);
    if (!loaded) {
        m_s.messages.show(kTip, kMainNeverRun);
        return false;
    }
    m_clearSeconds = loaded->clearSeconds;
    readSettings(20);
    m_monitorOn = true;
    m_s.queue.setMonitorOn(true);

    // One user who needs no password is taken at once; anyone else is chosen by hand.
    Table<UserRecord> users(m_s.store);
    std::optional<UserRecord> single;
    if (users.count() == 1) {
        const auto all = users.readPhysical(0, 1);
        if (!all.empty() && fitText(all.front().password, width::kPassword) == kNotRequired) {
            single = all.front();
        }
    }
    if (m_settings.askAtStart && !m_settings.askEveryRestore) {
        select(m_window.chooseUser ? m_window.chooseUser() : std::nullopt);
    } else {
        select(single);
    }
    m_opened = true;
    minimize();
    return true;
}

void MonitorOperations::select(const std::optional<UserRecord>& user) {
    m_user = user ? fitText(user->name, width::kUserName) : kNoUserSelected;
    m_s.queue.selectUser(user ? m_user : QString());
    if (m_window.userChanged) {
        m_window.userChanged();
    }
}

QString MonitorOperations::baseIcon() const {
    return m_settings.askEveryRestore ? QStringLiteral("RED_ICO") : QStringLiteral("ZENDREL_ICO");
}

void MonitorOperations::setTrayIcon(const QString& icon) {
    if (icon != m_trayIcon) {
        m_trayIcon = icon;
        m_s.tray.change(icon.toStdString());
    }
}

void MonitorOperations::minimize() {
    if (m_window.hide) {
        m_window.hide();
    }
    m_windowShown = false;
    if (!m_iconShown) {
        m_trayIcon = baseIcon();
        m_step = 0;
        m_iconShown = m_s.tray.add(m_trayIcon.toStdString(), kTip.toStdString());
    }
    if (!m_iconShown) {
        // Without a notification area the window is the only way back into the program.
        if (m_window.show) {
            m_window.show(m_settings.stayOnTop);
        }
        m_windowShown = true;
    }
}

void MonitorOperations::restore() {
    if (!userSelected() || m_settings.askEveryRestore) {
        select(m_window.chooseUser ? m_window.chooseUser() : std::nullopt);
    }
    if (!userSelected()) {
        minimize();
        return;
    }
    if (m_iconShown) {
        m_s.tray.remove();
        m_iconShown = false;
    }
    if (m_window.show) {
        m_window.show(m_settings.stayOnTop);
    }
    m_windowShown = true;
}

void MonitorOperations::chooseUser() {
    select(m_window.chooseUser ? m_window.chooseUser() : std::nullopt);
}

void MonitorOperations::entriesChanged() {
    m_s.queue.selectUser(userSelected() ? m_user : QString());
    if (m_window.userChanged) {
        m_window.userChanged();
    }
}

QStringList MonitorOperations::popupMenu() const {
    const QString toggle = m_monitorOn ? QStringLiteral("&Turn Monitor Off") : QStringLiteral("&Turn Monitor On");
    if (m_windowShown) {
        return {toggle, "&Refresh", "-", "&About", "&Exit"};
    }
    if (m_settings.askEveryRestore) {
        return {"Restore", "-", "&About", "&Exit"};
    }
    return {toggle, "&Refresh", "-", "Restore", "-", "&Preferences", "&About", "&Exit Zendrel Monitor"};
}

void MonitorOperations::menu(const QString& item) {
    if (item.startsWith(QLatin1String("&Turn Monitor"))) {
        // The rows stay: turning the monitor on again carries on where it stopped.
        m_monitorOn = !m_monitorOn;
        m_s.queue.setMonitorOn(m_monitorOn);
    } else if (item == QLatin1String("&Refresh")) {
        entriesChanged();
        if (m_windowShown && m_window.show) {
            m_window.show(m_settings.stayOnTop);
        }
    } else if (item == QLatin1String("Restore")) {
        restore();
    } else if (item == QLatin1String("&Exit") || item == QLatin1String("&Exit Zendrel Monitor")) {
        if (m_window.exit) {
            m_window.exit();
        }
    }
}

void MonitorOperations::click(Tray::Click click) {
    // The right button opens the popup, which is the window's to show; double-clicks do nothing more.
    if (click == Tray::Click::LeftUp && m_iconShown) {
        restore();
    }
}

void MonitorOperations::trayHostChanged(bool present) {
    m_trayHost = present;
    if (!present && m_iconShown) {
        m_iconShown = false;
        if (m_window.show) {
            m_window.show(m_settings.stayOnTop);
        }
        m_windowShown = true;
    }
}

void MonitorOperations::tick() {
    if (!m_opened) {
        return;
    }
    if (m_window.windowIcon) {
        m_window.windowIcon(m_settings.askEveryRestore ? QStringLiteral("~RED.ico") : QStringLiteral("~zendrel.ico"));
    }
    if (!m_s.queue.empty()) {
        // The engine passes while the monitor is on, and for a Send while it is off.
        m_s.queue.runPass();
        if (m_monitorOn && m_iconShown) {
            m_step = m_step % 8 + 1;
            setTrayIcon((m_settings.askEveryRestore ? QStringLiteral("rbar%1_ico") : QStringLiteral("bar%1_ico"))
                            .arg(kFrames[m_step - 1]));
        }
    }
    if (m_iconShown && m_s.queue.empty() && m_trayIcon != baseIcon()) {
        setTrayIcon(baseIcon());
    }
    if (++m_ticks > 50) {
        m_ticks = 0;
        readSettings(25);
        // A user deleted by the main program meanwhile is watched no more.
        if (userSelected() && !Login(m_s.store).findUser(m_user)) {
            select(std::nullopt);
        }
    }
    // A secret copied here is cleared after its seconds, unless something else has taken the clipboard since.
    if (m_copied && m_clearSeconds > 0 && m_s.clock.monotonic() - m_copied->first >= m_clearSeconds * 100) {
        if (m_s.clipboard.changeCount() == m_copied->second) {
            m_s.clipboard.setText(std::string(), false);
        }
        m_copied.reset();
    }
}

void MonitorOperations::send(const PasswordRecord& entry, const QString& choice) {
    const bool preset = choice == QLatin1String("Preset");
    if (preset) {
        startEntryProgram(entry.filename, m_s.shell, m_s.messages);
    }
    PasswordRecord e = entry;
    if (!preset || e.secondsToWait == 0) {
        e.secondsToWait = 1;
    }
    if (!preset) {
        e.paste = choice == QLatin1String("More Notes") ? QStringLiteral("[MoreNotes]")
                                                        : QLatin1Char('[') + choice + QLatin1Char(']');
    }
    if (e.paste.trimmed().isEmpty()) {
        return;
    }
    m_s.queue.queueEntry(e);
}

void MonitorOperations::copy(const PasswordRecord& entry, const QString& choice) {
    if (choice == QLatin1String("Preset")) {
        m_s.messages.show(QStringLiteral("Warning"), QStringLiteral("Cannot send \"Preset\" to the clipboard"));
        return;
    }
    if (EntryOperations::copyField(entry, choice, m_s.clipboard) && choice == QLatin1String("Password")) {
        m_copied = std::make_pair(m_s.clock.monotonic(), m_s.clipboard.changeCount());
    }
}

void MonitorOperations::open(const PasswordRecord& entry) {
    const QString url = fitText(entry.url, width::kUrl).trimmed();
    if (url.isEmpty()) {
        return;
    }
    std::string error;
    if (!m_s.shell.openDocument(url.toStdString(), error)) {
        m_s.messages.show(
            QStringLiteral("Start URL"),
            QStringLiteral("The address could not be opened: ") + url +
                (error.empty() ? QString() : QStringLiteral(" (") + QString::fromStdString(error) + QLatin1Char(')')));
    }
}

MonitorPreferences MonitorOperations::openPreferences() {
    ConfigStore config(m_s.store);
    MonitorPreferences p;
    p.stayOnTop = config.readNumber(QStringLiteral("ZD_SOT")) != 0;
    p.askEveryRestore = config.readNumber(QStringLiteral("ZD_ASK")) != 0;
    p.askAtStart = config.readNumber(QStringLiteral("ZD_ASKIMM")) != 0;
    p.sendInterval = config.readNumber(QStringLiteral("ZD_GD"));
    p.groupSize = config.readNumber(QStringLiteral("ZD_BS"));
    // Out of range on opening: the nearest value that works is shown and stored back.
    if (p.sendInterval < 20 || p.sendInterval > 250) {
        p.sendInterval = std::clamp<int64_t>(p.sendInterval, 20, 250);
        config.write(QStringLiteral("ZD_GD"), p.sendInterval);
    }
    if (p.groupSize == 0 || p.groupSize > 10 || p.groupSize < 0) {
        p.groupSize = sendGroupSize(p.groupSize);
        config.write(QStringLiteral("ZD_BS"), p.groupSize);
    }
    return p;
}

void MonitorOperations::storePreferences(const MonitorPreferences& chosen, const MonitorPreferences& atOpening) {
    ConfigStore config(m_s.store);
    config.write(QStringLiteral("ZD_SOT"), int64_t{chosen.stayOnTop ? 1 : 0});
    config.write(QStringLiteral("ZD_ASK"), int64_t{chosen.askEveryRestore ? 1 : 0});
    config.write(QStringLiteral("ZD_ASKIMM"), int64_t{chosen.askAtStart ? 1 : 0});
    config.write(QStringLiteral("ZD_GD"), std::clamp<int64_t>(chosen.sendInterval, 20, 250));
    config.write(QStringLiteral("ZD_BS"), sendGroupSize(chosen.groupSize));
    readSettings(20);
    if (atOpening.stayOnTop && !chosen.stayOnTop) {
        m_s.messages.show(QStringLiteral("Information"),
                          QStringLiteral("The removal of the \"Stay On Top\" attribute will not take effect until "
                                         "your next Zendrel Monitor session."));
    }
}

} // namespace zendrel
