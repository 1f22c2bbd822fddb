// The monitor program's window offscreen, on a simulated desktop and notification area.
#include "monitor/MonitorWindow.h"

#include "monitor/MonitorWorker.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/SimTray.h"
#include "session/ConfigStore.h"
#include "session/LoginWindows.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <gtest/gtest.h>

using namespace zendrel;
using test::button;

namespace {

class MonitorWindowTest : public ::testing::Test {
protected:
    test::TestStore ts;
    sim::SimClipboard clipboard;
    sim::SimDesktop screen;
    sim::SimShell shell;
    SystemRandom random;
    ScriptedFileDialogs dialogs;
    Settings settings;
    sim::SimTray tray;
    SystemClock engineClock;
    std::shared_ptr<sim::SimDesktop> desktop = std::make_shared<sim::SimDesktop>();
    std::shared_ptr<sim::SimKeyboard> keyboard = std::make_shared<sim::SimKeyboard>(&engineClock, desktop.get());
    std::unique_ptr<MonitorWorker> worker;
    std::unique_ptr<MonitorWindow> window;

    void SetUp() override {
        ConfigStore config(ts.store());
        initialiseSettings(ts.store(), config);
        auto d = desktop;
        auto k = keyboard;
        worker = std::make_unique<MonitorWorker>(
            EngineProgram::Monitor, ts.store(), engineClock, SendSettings{7, 0},
            [d, k] {
                return SendBackends{nullptr, k.get(), d.get()};
            },
            20);
    }
    void TearDown() override {
        window.reset();
        worker->stop();
    }
    void addUser(const QString& name) {
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = "Not Required";
        ASSERT_TRUE(users.insert(u));
    }
    void addEntry(const QString& service, bool monitor, int32_t expiry) {
        PasswordRecord e = test::entry("Ann", service, "ann");
        e.monitor = monitor ? 1 : 0;
        e.windowTitleToLocate = monitor ? "Login" : "";
        e.expiryDate = expiry;
        ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    }
    void open() {
        window = std::make_unique<MonitorWindow>(EntryServices{ts.store(), ts.messages(), ts.clock(), clipboard, screen,
                                                               shell, random, dialogs, nullptr, &settings, ts.dir()},
                                                 *worker, tray);
        ASSERT_TRUE(window->start());
    }
};

TEST_F(MonitorWindowTest, TheWindowHasItsControlsInOrderAndItsListTheMonitorsColumns) {
    addUser("Ann");
    addEntry("Bank", true, 0);
    addEntry("Old", false, ts.clock().today() - 1);
    addEntry("Plain", false, ts.clock().today() + 5);
    open();
    EXPECT_EQ(window->windowTitle(), "Zendrel Monitor");
    EXPECT_TRUE(tray.shown()) << "it starts in the notification area";
    EXPECT_FALSE(window->isVisible());
    QStringList captions;
    for (auto* b : window->findChildren<QPushButton*>()) {
        captions << b->text();
        EXPECT_FALSE(b->accessibleName().isEmpty());
    }
    EXPECT_EQ(captions, QStringList({"Select &User", "&Tools", "Start UR&L", "&Add", "&Edit", "&Options", "&Send",
                                     "&Clipboard"}));
    QStringList choices;
    for (int i = 0; i < window->choice()->count(); ++i) {
        choices << window->choice()->itemText(i);
    }
    EXPECT_EQ(choices, QStringList({"Preset", "Password", "Name", "URL", "Service", "Notes", "More Notes"}));
    EXPECT_EQ(window->list()->accessibleName(), "Browsing Records");

    MonitorEntryModel& m = window->model();
    ASSERT_EQ(m.rowCount(), 3);
    QStringList headers;
    for (int c = 0; c < m.columnCount(); ++c) {
        headers << m.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    EXPECT_EQ(headers,
              QStringList({"!", "Service", "Name", "URL", "Notes", "Expiry Date", "Last Change Date", "Filename"}));
    // Row icons: watched, expired, neither.
    EXPECT_EQ(m.data(m.index(0, 0), Qt::AccessibleTextRole).toString(), "Monitored");
    EXPECT_EQ(m.data(m.index(1, 0), Qt::AccessibleTextRole).toString(), "Expired");
    EXPECT_EQ(m.data(m.index(2, 0), Qt::AccessibleTextRole).toString(), "");
    EXPECT_FALSE(m.data(m.index(2, 0), Qt::DecorationRole).value<QIcon>().isNull());
}

// Commands on an entry need a row of the list shown: without a user, or with an empty list, they are off.
TEST_F(MonitorWindowTest, EntryCommandsNeedASelectedRowOfTheListShown) {
    addUser("Ann");
    addUser("Bob");
    addEntry("Bank", false, 0);
    open();
    EXPECT_EQ(window->operations().selectedUser(), "No User Selected");
    EXPECT_EQ(window->model().rowCount(), 0);
    for (const char* b : {"Start UR&L", "&Edit", "&Send", "&Clipboard"}) {
        EXPECT_FALSE(button(window.get(), b)->isEnabled()) << b;
    }
    EXPECT_FALSE(window->currentEntry());

    test::whenModal([](QWidget* w) {
        w->findChild<QListWidget*>()->setCurrentRow(0);
        button(w, "&Select")->click();
    });
    button(window.get(), "Select &User")->click();
    ASSERT_EQ(window->operations().selectedUser(), "Ann");
    ASSERT_EQ(window->model().rowCount(), 1);
    for (const char* b : {"Start UR&L", "&Edit", "&Send", "&Clipboard"}) {
        EXPECT_TRUE(button(window.get(), b)->isEnabled()) << b;
    }

    // The entry deleted by another program meanwhile: nothing is sent from what the list still shows.
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).remove(*Table<PasswordRecord>(ts.store()).readPhysical().begin()));
    window->choice()->setCurrentText("Password");
    button(window.get(), "&Clipboard")->click();
    EXPECT_EQ(clipboard.text(), "");
    EXPECT_EQ(window->model().rowCount(), 0) << "the list was read afresh";
    EXPECT_FALSE(button(window.get(), "&Send")->isEnabled());
}

// A row selected through the list's accessible interface (a screen reader, the accessibility bus) is the entry
// the commands act on.
TEST_F(MonitorWindowTest, ARowSelectedOverTheAccessibilityBusIsTheEntryTheCommandsActOn) {
    addUser("Ann");
    for (const char* service : {"Bank", "Mail", "Shop"}) {
        addEntry(service, false, 0);
    }
    open();
    ASSERT_EQ(window->operations().selectedUser(), "Ann");
    ASSERT_EQ(window->model().rowCount(), 3);
    window->list()->setCurrentIndex(window->model().index(0, 1));
    window->choice()->setCurrentText("Service");
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(window->list());
    ASSERT_TRUE(table && table->tableInterface());
    for (const auto& [row, service] : {std::pair{2, "Shop"}, std::pair{1, "Mail"}}) {
        ASSERT_TRUE(table->tableInterface()->selectRow(row));
        button(window.get(), "&Clipboard")->click();
        EXPECT_EQ(clipboard.text(), service);
    }
}

TEST_F(MonitorWindowTest, TheLoginWindowsShowThirtyCharactersAndThePreferencesTheirCaptions) {
    const QString longName = QString(40, QLatin1Char('N'));
    addUser(longName);
    addUser("Bob");
    for (LoginVariant variant : {LoginVariant::Main, LoginVariant::Monitor}) {
        SelectUsers select(ts.store(), ts.messages(), nullptr, variant);
        QStringList names;
        for (int i = 0; i < select.findChild<QListWidget*>()->count(); ++i) {
            names << select.findChild<QListWidget*>()->item(i)->text();
        }
        EXPECT_TRUE(names.contains(variant == LoginVariant::Monitor ? longName.left(30) : longName));
        UserRecord buffer;
        ConfirmPassword check(buffer, ts.messages(), nullptr, variant);
        EXPECT_TRUE(button(&check, variant == LoginVariant::Monitor ? "&OK" : "&Ok"));
    }

    open();
    ConfigStore(ts.store()).write("ZD_GD", int64_t{5});
    MonitorPreferencesWindow prefs(window->operations());
    QStringList captions;
    for (auto* c : prefs.findChildren<QCheckBox*>()) {
        captions << c->text();
    }
    for (auto* l : prefs.findChildren<QLabel*>()) {
        captions << l->text();
    }
    EXPECT_EQ(
        captions,
        QStringList({"Stay on top when not minimized", "Select user every time the monitor is restored from the tray",
                     "Select user before minimizing on start up",
                     "Send Interval (1/100ths of a second):", "Maximum Number of Characters per Send Group:"}));
    EXPECT_EQ(prefs.findChildren<QSpinBox*>().at(0)->value(), 20) << "corrected on opening";
    EXPECT_EQ(ConfigStore(ts.store()).readNumber("ZD_GD"), 20) << "and stored back";
    prefs.findChildren<QSpinBox*>().at(0)->setValue(80);
    button(&prefs, "Cancel")->click();
    EXPECT_EQ(ConfigStore(ts.store()).readNumber("ZD_GD"), 20) << "Cancel stores nothing";
}

} // namespace
