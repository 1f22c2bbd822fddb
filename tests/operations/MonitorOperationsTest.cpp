// The monitor program's states and commands on a simulated desktop, notification area and virtual clock,
// with the real sending engine.
#include "operations/MonitorOperations.h"

#include "monitor/MonitorEngine.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/SimTray.h"
#include "session/ConfigStore.h"
#include "support/Mounts.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class EngineQueue final : public MonitorQueue {
public:
    explicit EngineQueue(MonitorEngine& e) : m_e(e) {}
    void selectUser(const QString& user) override { m_e.selectUser(user); }
    void queueEntry(const PasswordRecord& entry) override { m_e.queueEntryForSend(entry); }
    void setMonitorOn(bool on) override { m_e.setMonitorOn(on); }
    void runPass() override { m_e.tick(); }
    bool empty() const override { return m_e.rows().empty(); }
    void setSettings(SendSettings s) override { m_e.setSettings(s); }

private:
    MonitorEngine& m_e;
};

class MonitorOperationsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    sim::SimDesktop desktop;
    sim::SimKeyboard keyboard{&ts.clock(), &desktop};
    sim::SimTray tray;
    sim::SimClipboard clipboard;
    sim::SimShell shell;
    std::unique_ptr<MonitorEngine> engine;
    std::unique_ptr<EngineQueue> queue;
    std::unique_ptr<MonitorOperations> ops;
    // What the window was asked to do.
    QStringList window;
    QList<std::optional<QString>> choices; // the answers of the user selection, in turn

    void SetUp() override {
        ts.clock().set(81'000, 1);
        ConfigStore config(ts.store());
        initialiseSettings(ts.store(), config);
    }
    void addUser(const QString& name, const QString& password = "Not Required") {
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = password;
        ASSERT_TRUE(users.insert(u));
    }
    PasswordRecord addEntry(const QString& user, const QString& service, const QString& title, bool monitor) {
        PasswordRecord e = test::entry(user, service, "name-" + service);
        e.password = "pw-" + service;
        e.paste = "[Name][Tab][Password][Enter]";
        e.windowTitleToLocate = title;
        e.monitor = monitor ? 1 : 0;
        e.secondsToWait = 0;
        EXPECT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
        return *Table<PasswordRecord>(ts.store()).fetch("P_:KeyService", {user, service, "name-" + service});
    }
    void setting(const char* name, int64_t value) { ConfigStore(ts.store()).write(QString::fromLatin1(name), value); }
    bool start() {
        MonitorEngine::Callbacks cb;
        cb.message = [this](const QString& t, const QString& x) {
            static_cast<MessageService&>(ts.messages()).show(t, x);
        };
        cb.minimize = [this] { ops->minimize(); };
        engine = std::make_unique<MonitorEngine>(EngineProgram::Monitor, ts.store(), keyboard, desktop, ts.clock(),
                                                 SendSettings{7, 0}, cb);
        queue = std::make_unique<EngineQueue>(*engine);
        MonitorWindowLink link;
        link.hide = [this] { window << "hide"; };
        link.show = [this](bool topmost) { window << (topmost ? "show topmost" : "show"); };
        link.chooseUser = [this]() -> std::optional<UserRecord> {
            window << "choose";
            const auto c = choices.isEmpty() ? std::nullopt : choices.takeFirst();
            return c ? Table<UserRecord>(ts.store()).fetch("U_:KeyName", {*c}) : std::nullopt;
        };
        ops = std::make_unique<MonitorOperations>(
            MonitorOperations::Services{ts.store(), ts.messages(), ts.clock(), tray, clipboard, shell, *queue}, link);
        return ops->start();
    }
    // Ticks of the window's timer, half a second apart.
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            ts.clock().advance(50);
            ops->tick();
        }
    }
};

// The operations on a store of a test's own, without a window.
struct Bare {
    explicit Bare(test::TestStore& ts)
        : keyboard(&ts.clock(), &desktop),
          engine(EngineProgram::Monitor, ts.store(), keyboard, desktop, ts.clock(), {}, {}), queue(engine),
          ops({ts.store(), ts.messages(), ts.clock(), tray, clipboard, shell, queue}, {}) {}
    sim::SimDesktop desktop;
    sim::SimKeyboard keyboard;
    MonitorEngine engine;
    EngineQueue queue;
    sim::SimTray tray;
    sim::SimClipboard clipboard;
    sim::SimShell shell;
    MonitorOperations ops;
};

TEST(MonitorOperationsStartTest, TablesTheMainProgramNeverPreparedAreRefused) {
    test::TestStore ts;
    Bare bare(ts);
    MonitorOperations& ops = bare.ops;
    EXPECT_FALSE(ops.start());
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].text,
              "You must run the main Zendrel program before you can use the Zendrel Monitor.");
    EXPECT_TRUE(bare.tray.log.empty());
}

TEST_F(MonitorOperationsTest, ASingleUserWithoutPasswordIsWatchedFromTheStartInTheNotificationArea) {
    addUser("Ann");
    addEntry("Ann", "Bank", "Bank Login", true);
    ASSERT_TRUE(start());
    EXPECT_EQ(ops->selectedUser(), "Ann");
    EXPECT_EQ(window, QStringList({"hide"}));
    EXPECT_TRUE(tray.shown());
    EXPECT_EQ(tray.icon(), "ZENDREL_ICO");
    EXPECT_EQ(tray.tip(), "Zendrel Monitor");
    EXPECT_EQ(engine->rows().size(), 1u);

    const WindowId bank = desktop.addWindow("Bank Login");
    ticks(1);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "name-Bank\tpw-Bank\n");
}

TEST_F(MonitorOperationsTest, TwoUsersOrOneWithAPasswordStartWithNoUserAndAnEmptyList) {
    for (const char* second : {"Bob", ""}) {
        SCOPED_TRACE(second);
        addUser("Ann", *second ? "Not Required" : "secret");
        if (*second) {
            addUser(second);
        }
        addEntry("Ann", "Bank", "Bank Login", true);
        ASSERT_TRUE(start());
        EXPECT_EQ(ops->selectedUser(), "No User Selected");
        EXPECT_TRUE(engine->rows().empty());
        Table<UserRecord> users(ts.store());
        for (const UserRecord& u : users.readPhysical()) {
            ASSERT_TRUE(users.remove(u));
        }
    }
}

TEST_F(MonitorOperationsTest, RestoringWithoutAUserAsksAndACancelGoesBackToTheNotificationArea) {
    addUser("Ann");
    addUser("Bob");
    addEntry("Bob", "Mail", "Mail Login", true);
    ASSERT_TRUE(start());
    window.clear();
    tray.log.clear();
    ops->click(Tray::Click::LeftUp);
    EXPECT_EQ(window, QStringList({"choose", "hide"}));
    EXPECT_TRUE(tray.shown());
    EXPECT_TRUE(tray.log.empty()) << "the icon stayed";

    window.clear();
    choices = {QString("Bob")};
    ops->click(Tray::Click::LeftUp);
    EXPECT_EQ(window, QStringList({"choose", "show"}));
    EXPECT_EQ(ops->selectedUser(), "Bob");
    EXPECT_EQ(engine->rows().size(), 1u);
    EXPECT_FALSE(tray.shown());
    EXPECT_EQ(ops->popupMenu(), QStringList({"&Turn Monitor Off", "&Refresh", "-", "&About", "&Exit"}));

    // Restored with a user, no question: double-clicks do nothing.
    ops->minimize();
    window.clear();
    ops->click(Tray::Click::LeftDouble);
    EXPECT_TRUE(window.isEmpty());
    EXPECT_EQ(ops->popupMenu(), QStringList({"&Turn Monitor Off", "&Refresh", "-", "Restore", "-", "&Preferences",
                                             "&About", "&Exit Zendrel Monitor"}));
    ops->click(Tray::Click::LeftUp);
    EXPECT_EQ(window, QStringList({"show"}));
}

TEST_F(MonitorOperationsTest, AskingOnEveryRestoreHasTheShortMenuAndTheRedIcons) {
    addUser("Ann");
    addEntry("Ann", "Bank", "Bank Login", true);
    setting("ZD_ASK", 1);
    setting("ZD_SOT", 1);
    ASSERT_TRUE(start());
    EXPECT_EQ(tray.icon(), "RED_ICO");
    EXPECT_EQ(ops->popupMenu(), QStringList({"Restore", "-", "&About", "&Exit"}));
    ticks(2);
    EXPECT_EQ(tray.icon(), "rbar2_ico");
    window.clear();
    choices = {QString("Ann")};
    ops->menu("Restore");
    EXPECT_EQ(window, QStringList({"choose", "show topmost"}));
    ops->minimize();
    window.clear();
    choices = {QString("Ann")};
    ops->click(Tray::Click::LeftUp);
    EXPECT_EQ(window, QStringList({"choose", "show topmost"})) << "asked again on every restore";
}

TEST_F(MonitorOperationsTest, TheIconStepsThroughItsFramesWhileWatchingAndReturnsWhenTheListEmpties) {
    addUser("Ann");
    addEntry("Ann", "Bank", "Bank Login", true);
    ASSERT_TRUE(start());
    tray.log.clear();
    ticks(9);
    EXPECT_EQ(tray.log, (std::vector<std::string>{"change bar1_ico", "change bar2_ico", "change bar3_ico",
                                                  "change bar4_ico", "change bar5_ico", "change bar4_ico",
                                                  "change bar3_ico", "change bar2_ico", "change bar1_ico"}));
    // The entry is typed once (no repeat) and its row goes: the base icon comes back.
    desktop.addWindow("Bank Login");
    tray.log.clear();
    ticks(2);
    EXPECT_TRUE(engine->rows().empty());
    EXPECT_EQ(tray.log, (std::vector<std::string>{"change bar2_ico", "change ZENDREL_ICO"}));
}

TEST_F(MonitorOperationsTest, TheMonitorTurnedOffStaysOffAcrossTheRereadAndKeepsItsRows) {
    addUser("Ann");
    addEntry("Ann", "Bank", "Bank Login", true);
    setting("ZD_GD", 5);
    ASSERT_TRUE(start());
    EXPECT_EQ(ops->settings().sendInterval, 20);
    ops->menu("&Turn Monitor Off");
    EXPECT_EQ(ops->popupMenu().first(), "&Turn Monitor On");
    EXPECT_EQ(engine->rows().size(), 1u) << "turning off keeps the rows";
    const WindowId bank = desktop.addWindow("Bank Login");
    ticks(60);
    EXPECT_FALSE(ops->monitorOn());
    EXPECT_EQ(ops->settings().sendInterval, 25) << "the periodic reading raises the pace to 25";
    EXPECT_EQ(keyboard.textReceivedBy(bank), "");
    ops->menu("&Turn Monitor On");
    ticks(1);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "name-Bank\tpw-Bank\n");
}

TEST_F(MonitorOperationsTest, AUserDeletedElsewhereIsWatchedNoMore) {
    addUser("Ann");
    addEntry("Ann", "Bank", "Bank Login", true);
    ASSERT_TRUE(start());
    ASSERT_EQ(engine->rows().size(), 1u);
    ops->menu("&Turn Monitor Off"); // nothing typed meanwhile
    Table<UserRecord> users(ts.store());
    ASSERT_TRUE(users.remove(*users.fetch("U_:KeyName", {QStringLiteral("Ann")})));
    ticks(51);
    EXPECT_EQ(ops->selectedUser(), "No User Selected");
    EXPECT_TRUE(engine->rows().empty());
}

TEST_F(MonitorOperationsTest, SendTypesTheChosenFieldAfterASecondAndLeavesTheEntryAsItWas) {
    addUser("Ann");
    const PasswordRecord e = addEntry("Ann", "Bank", "Bank Login", false);
    ASSERT_TRUE(start());
    ops->restore();
    const WindowId bank = desktop.addWindow("Bank Login");
    ops->send(e, "Name");
    EXPECT_TRUE(tray.shown()) << "the window went to the notification area first";
    ticks(1);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "") << "not before its second";
    ticks(2);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "name-Bank");
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).get(e.rowId)->paste, "[Name][Tab][Password][Enter]");

    // "More Notes" is its token without the blank; "Preset" is the entry's own text.
    PasswordRecord f = e;
    f.moreNotes = "more";
    ops->send(f, "More Notes");
    ticks(3);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "name-Bankmore");
    ops->send(f, "Preset");
    ticks(3);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "name-Bankmorename-Bank\tpw-Bank\n");
}

// With the monitor off a Send goes at once, as in the main program, and the watched rows wait untouched.
TEST_F(MonitorOperationsTest, ASendWithTheMonitorOffGoesAtOnceAndLeavesTheWatchedRows) {
    addUser("Ann");
    addEntry("Ann", "Watched", "Watched Login", true);
    const PasswordRecord e = addEntry("Ann", "Bank", "Bank Login", false);
    ASSERT_TRUE(start());
    ops->menu("&Turn Monitor Off");
    const WindowId watched = desktop.addWindow("Watched Login");
    const WindowId bank = desktop.addWindow("Bank Login");
    ops->send(e, "Password");
    ticks(3);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "pw-Bank");
    EXPECT_EQ(keyboard.textReceivedBy(watched), "");
    ASSERT_EQ(engine->rows().size(), 1u);
    EXPECT_FALSE(engine->rows().front().immediate);
}

TEST_F(MonitorOperationsTest, CopyRefusesPresetAndASecretCopiedIsClearedAfterItsSeconds) {
    addUser("Ann");
    const PasswordRecord e = addEntry("Ann", "Bank", "Bank Login", false);
    setting("ZD_CI", 5);
    ASSERT_TRUE(start());
    clipboard.setText("before", false);
    ops->copy(e, "Preset");
    EXPECT_EQ(ts.messages().shown.last().title, "Warning");
    EXPECT_EQ(ts.messages().shown.last().text, "Cannot send \"Preset\" to the clipboard");
    EXPECT_EQ(clipboard.text(), "before");

    ops->copy(e, "Password");
    EXPECT_EQ(clipboard.text(), "pw-Bank");
    EXPECT_TRUE(clipboard.secret());
    ticks(9);
    EXPECT_EQ(clipboard.text(), "pw-Bank");
    ticks(2);
    EXPECT_EQ(clipboard.text(), "");

    // Something the user copied since is left alone.
    ops->copy(e, "Password");
    clipboard.setText("mine", false);
    ticks(12);
    EXPECT_EQ(clipboard.text(), "mine");
    ops->copy(e, "Name");
    EXPECT_EQ(clipboard.text(), "name-Bank");
    EXPECT_TRUE(clipboard.secret()) << "the monitor marks every field of an entry as a secret";
}

TEST_F(MonitorOperationsTest, WithoutANotificationAreaTheWindowStaysReachable) {
    addUser("Ann");
    tray.setHost(false);
    ASSERT_TRUE(start());
    EXPECT_EQ(window, QStringList({"hide", "show"}));
    EXPECT_FALSE(ops->iconShown());
    EXPECT_TRUE(ops->windowShown());

    // The area goes away while the window is hidden: the window comes back.
    tray.setHost(true);
    ops->minimize();
    ASSERT_TRUE(ops->iconShown());
    window.clear();
    ops->trayHostChanged(false);
    EXPECT_EQ(window, QStringList({"show"}));
    EXPECT_TRUE(ops->windowShown());
}

TEST_F(MonitorOperationsTest, AbsurdSettingsAreReadAsTheNearestPaceThatWorks) {
    addUser("Ann");
    ConfigStore(ts.store()).write("ZD_GD", QStringLiteral("abc"));
    setting("ZD_BS", 255);
    ASSERT_TRUE(start());
    EXPECT_EQ(ops->settings().sendInterval, 20);
    EXPECT_EQ(ops->settings().groupSize, 10);
    setting("ZD_GD", 99999);
    setting("ZD_BS", 0);
    ticks(51);
    EXPECT_EQ(ops->settings().sendInterval, 250);
    EXPECT_EQ(ops->settings().groupSize, 7);
}

// A directory that cannot be written: the notice, then the program works on what it can read.
TEST(MonitorOperationsReadOnlyTest, AReadOnlyDataDirectoryIsWatchedAfterTheNotice) {
    QTemporaryDir dir;
    {
        test::TestStore ts(dir.path());
        ConfigStore config(ts.store());
        initialiseSettings(ts.store(), config);
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = "Ann";
        u.password = u.confirmPassword = "Not Required";
        ASSERT_TRUE(users.insert(u));
        PasswordRecord e = test::entry("Ann", "Bank", "ann");
        e.monitor = 1;
        e.windowTitleToLocate = "Bank Login";
        ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    }
    test::ReadOnlyMount mount(dir.path());
    if (!mount.ok()) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    test::TestStore ts(mount.path());
    Bare bare(ts);
    MonitorOperations& ops = bare.ops;
    ASSERT_TRUE(ops.start());
    EXPECT_EQ(ops.selectedUser(), "Ann");
    EXPECT_EQ(bare.engine.rows().size(), 1u);
    ASSERT_FALSE(ts.messages().shown.isEmpty());
    EXPECT_EQ(ts.messages().shown.first().title, "Access Denied");
}

TEST_F(MonitorOperationsTest, PreferencesAreCorrectedOnOpeningAndStoredOnOk) {
    addUser("Ann");
    setting("ZD_GD", 3);
    setting("ZD_BS", 0);
    setting("ZD_SOT", 1);
    ASSERT_TRUE(start());
    const MonitorPreferences opened = ops->openPreferences();
    EXPECT_EQ(opened.sendInterval, 20);
    EXPECT_EQ(opened.groupSize, 7);
    EXPECT_EQ(ConfigStore(ts.store()).readNumber("ZD_GD"), 20) << "stored back on opening";
    EXPECT_EQ(ConfigStore(ts.store()).readNumber("ZD_BS"), 7);
    MonitorPreferences chosen = opened;
    chosen.stayOnTop = false;
    chosen.askEveryRestore = true;
    chosen.sendInterval = 60;
    ops->storePreferences(chosen, opened);
    EXPECT_EQ(ConfigStore(ts.store()).readNumber("ZD_SOT"), 0);
    EXPECT_EQ(ConfigStore(ts.store()).readNumber("ZD_ASK"), 1);
    EXPECT_EQ(ops->settings().sendInterval, 60);
    ASSERT_FALSE(ts.messages().shown.isEmpty());
    EXPECT_EQ(ts.messages().shown.last().title, "Information");
    EXPECT_EQ(ts.messages().shown.last().text, "The removal of the \"Stay On Top\" attribute will not take effect "
                                               "until your next Zendrel Monitor session.");
}

} // namespace
