// The entry form and the password list as a user meets them, offscreen, on simulated services and a
// real sending engine.
#include "base/DatePicture.h"
#include "base/Dates.h"
#include "entries/BrowsePasswords.h"
#include "entries/ClipboardDisplay.h"
#include "entries/InfoWindows.h"
#include "entries/UpdatePasswords.h"
#include "framework/FrameEvents.h"
#include "framework/WindowPositions.h"
#include "monitor/MonitorWorker.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "support/Mounts.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace zendrel;
using test::button;
using test::named;
using test::waitFor;
using test::whenModal;

namespace {

// Stands in for the frame: records the notices posted to it.
class FrameRecorder : public QObject {
public:
    QList<int> events;
    bool event(QEvent* e) override {
        if (e->type() >= QEvent::User || e->type() == frame_event::SendRequested ||
            e->type() == frame_event::EntryQueued || e->type() == frame_event::UsersChanged) {
            events << e->type();
            return true;
        }
        return QObject::event(e);
    }
};

class PasswordWindowsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    sim::SimClipboard clipboard;
    sim::SimDesktop screen;  // what the form's title list sees
    sim::SimShell shell;
    SystemRandom random;
    ScriptedFileDialogs dialogs;
    Settings settings;
    WindowPositions positions{ts.file("POSITION.INI")};
    UserRecord ann;
    UserRecord bob;

    // The engine types on a desktop of its own thread.
    SystemClock engineClock;
    std::shared_ptr<sim::SimDesktop> desktop = std::make_shared<sim::SimDesktop>();
    std::shared_ptr<sim::SimKeyboard> keyboard = std::make_shared<sim::SimKeyboard>(&engineClock, desktop.get());
    std::unique_ptr<MonitorWorker> worker;
    FrameRecorder frame;
    bool monitorOn = false;
    QStringList sent;

    void SetUp() override {
        Table<UserRecord> users(ts.store());
        for (auto [u, name] : {std::pair{&ann, "Ann"}, std::pair{&bob, "Bob"}}) {
            *u = users.prime();
            u->name = name;
            u->password = u->confirmPassword = "Not Required";
            ASSERT_TRUE(users.insert(*u));
        }
        auto d = desktop;
        auto k = keyboard;
        worker = std::make_unique<MonitorWorker>(
            EngineProgram::Main, ts.store(), engineClock, SendSettings{7, 0},
            [d, k] { return SendBackends{nullptr, k.get(), d.get()}; }, 20);
        QObject::connect(worker.get(), &MonitorWorker::sent, &frame,
                         [this](const QString& s, const QString& w) { sent << s + " > " + w; });
        worker->setMonitorOn(false);
    }
    void TearDown() override { worker->stop(); }

    EntryServices services() {
        return EntryServices{ts.store(), ts.messages(), ts.clock(), clipboard, screen, shell,
                             random,     dialogs,       &positions, &settings, ts.dir()};
    }
    std::unique_ptr<BrowsePasswords> list(const UserRecord& user) {
        auto l = std::make_unique<BrowsePasswords>(services(), ListLink{worker.get(), &frame, [this] { return monitorOn; }},
                                                   user);
        l->show();
        return l;
    }
    PasswordRecord stored(const QString& user, const QString& service, const QString& name) {
        PasswordRecord e = test::entry(user, service, name);
        e.password = e.confirmPassword = "pw-" + service;
        e.paste = "[Name][Tab][Password][Enter]";
        e.notes = "notes of " + service;
        e.moreNotes = "more of " + service;
        e.url = "  https://" + service.toLower() + ".example  ";
        EXPECT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
        return e;
    }
    static QLineEdit* field(QWidget* w, const QString& name) { return named<QLineEdit>(w, name); }
    static QString cell(BrowsePasswords& l, int row, int column) {
        return l.model().data(l.model().index(row, column)).toString();
    }
    QString lastMessage() { return ts.messages().shown.isEmpty() ? QString() : ts.messages().shown.last().text; }
    // A user who needs no login password, stored.
    static UserRecord freeUser(DataStore& store, const QString& name) {
        Table<UserRecord> users(store);
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = "Not Required";
        EXPECT_TRUE(users.insert(u));
        return u;
    }
};

TEST_F(PasswordWindowsTest, ANewEntryIsPrimedAndTakesAnAddressFromABrowserWindow) {
    screen.addWindow("Terminal");
    screen.addWindow("Bank - http://www.bank.example/login?x=1 \"Sign in\" - Browser");
    Table<UserRecord> users(ts.store());
    ann.lastNameUsed = "ann.smith";
    ASSERT_TRUE(users.change(ann));
    PasswordRecord e = Table<PasswordRecord>(ts.store()).prime();
    EntryOperations(ts.store(), ts.messages(), ts.clock()).prime(e, "Ann");
    UpdatePasswords form(services(), EntryOperations::Request::Insert, e, ann);
    EXPECT_EQ(form.windowTitle(), "Add Password Information");
    EXPECT_EQ(field(&form, "Internet Address")->text(), "http://www.bank.example/login?x=1");
    EXPECT_EQ(field(&form, "Name used on this service")->text(), "ann.smith");
    EXPECT_EQ(field(&form, "Password used on this service")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(named<QPlainTextEdit>(&form, "More Notes")->toPlainText().startsWith("Added "));
    // The send text list holds the eight defaults, in key order; the title list the titled windows.
    auto* scripts = named<QComboBox>(&form, "What to send to other application");
    EXPECT_EQ(scripts->count(), 8);
    EXPECT_EQ(scripts->currentText(), "[Name][Tab][Password][Enter]");
    EXPECT_EQ(form.windowTitles().size(), 2);
    EXPECT_EQ(named<QSpinBox>(&form, "Seconds before start of automatic send to")->value(), 2);
    // A window opened later is in the list when it drops down.
    screen.addWindow("Mail");
    form.rebuildWindowTitles();
    EXPECT_TRUE(form.windowTitles().contains("Mail"));
    auto* titles = named<QComboBox>(&form, "Window Title to Locate for automatic send");
    ASSERT_EQ(titles->count(), 3);
    EXPECT_EQ(titles->itemText(0), "Mail");
    titles->setCurrentIndex(0);
    EXPECT_EQ(titles->currentText(), "Mail") << "choosing a window takes its title";
}

TEST_F(PasswordWindowsTest, AChangedEntryShowsItsStampAndUnmasksForAUserWhoShowsPasswords) {
    PasswordRecord e = stored("Ann", "Bank", "ann");
    e.lastChangeDate = dayNumber(QDate(2026, 10, 31));
    e.lastChangeTime = (17 * 3600 + 30 * 60) * 100 + 1;
    e.paste.clear();
    ann.showPasswords = 1;
    UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann);
    EXPECT_EQ(form.windowTitle(), "Change Password Information");
    EXPECT_EQ(named<QLabel>(&form, "Last Changed:")->text(), "Last changed October 31, 2026 5:30PM");
    EXPECT_EQ(field(&form, "Password used on this service")->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(field(&form, "Confirmation Password")->echoMode(), QLineEdit::Normal);
    // A blank send text becomes the default when the form opens; the address is left alone on a change.
    EXPECT_EQ(named<QComboBox>(&form, "What to send to other application")->currentText(), "[Name][Tab][Password][Enter]");
    EXPECT_EQ(field(&form, "Internet Address")->text(), "  https://bank.example");
}

TEST_F(PasswordWindowsTest, PasteAndCopyButtonsTabSkipAndDroppingWorkOnTheirFields) {
    PasswordRecord e = stored("Ann", "Bank", "ann");
    settings.skip = 1;
    UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann);
    form.show();
    clipboard.setText("pasted   ", false);
    named<QToolButton>(&form, "Paste Service")->click();
    EXPECT_EQ(field(&form, "Service")->text(), "pasted");
    named<QToolButton>(&form, "Paste Notes")->click();
    EXPECT_EQ(named<QPlainTextEdit>(&form, "Notes")->toPlainText(), "pasted");

    field(&form, "Password used on this service")->setText("s3cret  ");
    named<QToolButton>(&form, "Copy Password")->click();
    EXPECT_EQ(clipboard.text(), "s3cret");
    EXPECT_TRUE(clipboard.secret());
    named<QToolButton>(&form, "Copy URL")->click();
    EXPECT_EQ(clipboard.text(), "  https://bank.example");
    EXPECT_TRUE(clipboard.secret()) << "every field of an entry is a secret on the clipboard";

    // With the option on, Tab goes from a field over its two buttons to the next field.
    QLineEdit* service = field(&form, "Service");
    service->setFocus();
    QTest::keyClick(service, Qt::Key_Tab);
    EXPECT_EQ(form.focusWidget(), field(&form, "Internet Address"));
    settings.skip = 0;
    service->setFocus();
    QTest::keyClick(service, Qt::Key_Tab);
    EXPECT_NE(form.focusWidget(), field(&form, "Internet Address"));

    EXPECT_TRUE(form.dropOnto(field(&form, "Name used on this service"), field(&form, "Internet Address")));
    EXPECT_EQ(field(&form, "Name used on this service")->text(), "  https://bank.example");
    EXPECT_FALSE(form.dropOnto(field(&form, "Name used on this service"), named<QComboBox>(&form, "What to send to other application")));
}

TEST_F(PasswordWindowsTest, ValuesBeyondWhatTheFieldsShowAreKeptOnSave) {
    PasswordRecord e = stored("Ann", "Bank", "ann");
    e.doNotRepeatSeconds = 86400;
    e.expiryInterval = 3650;
    e.secondsToWait = 150;
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).change(e));
    UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann);
    form.ok();
    ASSERT_EQ(form.result(), QDialog::Accepted);
    const auto saved = Table<PasswordRecord>(ts.store()).get(e.rowId);
    EXPECT_EQ(saved->doNotRepeatSeconds, 86400);
    EXPECT_EQ(saved->expiryInterval, 3650);
    EXPECT_EQ(saved->secondsToWait, 150);
}

TEST_F(PasswordWindowsTest, ControlsAreEnabledByTheirRules) {
    PasswordRecord e = stored("Ann", "Bank", "ann");
    UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann);
    form.show();
    auto* monitor = form.findChild<QCheckBox*>(QString(), Qt::FindChildrenRecursively);
    for (auto* c : form.findChildren<QCheckBox*>()) {
        if (c->text() == "Monito&r") {
            monitor = c;
        }
    }
    auto* repeat = named<QSpinBox>(&form, "Do not repeat automatic send to other app");
    auto* title = named<QComboBox>(&form, "Window Title to Locate for automatic send");
    auto* scripts = named<QComboBox>(&form, "What to send to other application");
    EXPECT_FALSE(repeat->isEnabled());
    EXPECT_FALSE(button(&form, "Tip")->isEnabled());
    monitor->setChecked(true);
    EXPECT_TRUE(repeat->isEnabled());
    EXPECT_TRUE(button(&form, "Tip")->isEnabled());
    EXPECT_FALSE(button(&form, "Advanced")->isEnabled());
    title->setEditText("*Login*");
    EXPECT_TRUE(button(&form, "Advanced")->isEnabled());
    EXPECT_TRUE(button(&form, "Add to Defaults")->isEnabled());
    scripts->setEditText("   ");
    EXPECT_FALSE(button(&form, "Add to Defaults")->isEnabled());
    EXPECT_FALSE(form.findChild<ClipboardDisplay*>()->isHidden());
    settings.hideClipboard = 1;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activate);
    EXPECT_TRUE(form.findChild<ClipboardDisplay*>()->isHidden());
}

TEST_F(PasswordWindowsTest, OkChecksShowTheirMessagesAndPutTheFocusWhereTheFaultIs) {
    stored("Ann", "Bank", "ann");
    PasswordRecord e = Table<PasswordRecord>(ts.store()).prime();
    EntryOperations(ts.store(), ts.messages(), ts.clock()).prime(e, "Ann");
    UpdatePasswords form(services(), EntryOperations::Request::Insert, e, ann);
    form.show();
    field(&form, "Service")->setText("bank");
    field(&form, "Name used on this service")->setText("ANN");
    field(&form, "Password used on this service")->setText("a");
    field(&form, "Confirmation Password")->setText("b");
    form.ok();
    EXPECT_EQ(lastMessage(), "Passwords do not match.");
    EXPECT_EQ(form.focusWidget(), button(&form, "&OK"));
    field(&form, "Confirmation Password")->setText("a");
    form.ok();
    EXPECT_EQ(lastMessage(), "This entry duplicates another already entered.|Service:  bank.");
    EXPECT_EQ(form.focusWidget(), field(&form, "Service"));

    // Seconds to wait above the range of the record are refused word for word; 150 is within it.
    auto* wait = named<QSpinBox>(&form, "Seconds before start of automatic send to");
    field(&form, "Service")->setText("Mail");
    wait->setValue(200);
    form.ok();
    EXPECT_EQ(ts.messages().shown.last().title, "Range Error");
    EXPECT_EQ(lastMessage(), "The value of Seconds before start of automatic send to must be between 0 and 199.");
    EXPECT_EQ(form.focusWidget(), wait);
    EXPECT_EQ(form.result(), 0);

    // Monitoring with a blank title: said when the title is accepted, and "&OK" refuses it too.
    for (auto* c : form.findChildren<QCheckBox*>()) {
        if (c->text() == "Monito&r") {
            c->setChecked(true);
        }
    }
    auto* title = named<QComboBox>(&form, "Window Title to Locate for automatic send");
    title->lineEdit()->setText("x");
    title->lineEdit()->setText("");
    title->lineEdit()->setModified(true);
    Q_EMIT title->lineEdit()->editingFinished();
    EXPECT_EQ(ts.messages().shown.last().title, "Information Required");
    EXPECT_EQ(lastMessage(), "If you check the Monitor checkbox, you must enter a Window Title.");
    wait->setValue(150);
    form.ok();
    EXPECT_EQ(ts.messages().shown.last().title, "Information Required");

    title->setEditText("*Mail*");
    form.ok();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(form.monitorChanged());
    const auto saved = Table<PasswordRecord>(ts.store()).fetch("P_:KeyService", {QStringLiteral("Ann"), QStringLiteral("Mail"), QStringLiteral("ANN")});
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->secondsToWait, 150);
    EXPECT_EQ(saved->windowTitleToLocate, "*Mail*");
    EXPECT_EQ(Table<UserRecord>(ts.store()).get(ann.rowId)->lastNameUsed, "ANN");
}

TEST_F(PasswordWindowsTest, DefaultsProgramsDatesAndAttachmentsFromTheirButtons) {
    PasswordRecord e = stored("Ann", "Bank", "ann");
    settings.dateFormat = "d6";  // the date picture the form opens with
    UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann);
    auto* scripts = named<QComboBox>(&form, "What to send to other application");
    scripts->setEditText("[Name][Enter]");
    button(&form, "Add to Defaults")->click();
    EXPECT_EQ(scripts->count(), 9);
    scripts->setEditText("[NAME][enter]");
    button(&form, "Add to Defaults")->click();
    EXPECT_EQ(scripts->count(), 9) << "the key of the send texts ignores case";

    // "Test" starts even "N/A"; a program that cannot start is the critical message.
    dialogs.answers << QStringLiteral("/usr/bin/gnucash");
    named<QPushButton>(&form, "Select Program")->click();
    EXPECT_EQ(dialogs.requests.last().title, "Choose a File");
    EXPECT_EQ(field(&form, "Program or document to start when \"Send\" pressed")->text(), "/usr/bin/gnucash");
    shell.missing.insert("/usr/bin/gnucash");
    button(&form, "Test")->click();
    EXPECT_EQ(ts.messages().shown.last().title, "Critical Error Message");
    field(&form, "Program or document to start when \"Send\" pressed")->setText("N/A");
    button(&form, "Test")->click();
    EXPECT_EQ(shell.started.back(), "N/A");

    // An expiry date typed in the date picture of the options.
    auto* expiry = field(&form, "Expiry Date");
    expiry->setText("31/12/2027");
    expiry->setModified(true);
    Q_EMIT expiry->editingFinished();
    form.takeScreenValues();
    EXPECT_EQ(e.expiryDate, dayNumber(QDate(2027, 12, 31)));
    // A text that is no date is refused once when the field is left, and "&OK" writes nothing.
    expiry->setText("31/13/2027");
    expiry->setModified(true);
    const auto before = ts.messages().shown.size();
    Q_EMIT expiry->editingFinished();
    form.ok();
    EXPECT_EQ(ts.messages().shown.size(), before + 1);
    EXPECT_TRUE(lastMessage().startsWith("\"31/13/2027\" is not a date."));
    EXPECT_EQ(form.result(), 0);
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).get(e.rowId)->expiryDate, 0);
    expiry->clear();
    form.ok();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).get(e.rowId)->expiryDate, 0);

    QFile file(ts.file("key.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("0123456789");
    file.close();
    EXPECT_FALSE(button(&form, "Save to Disk")->isEnabled());
    dialogs.answers << ts.file("key.bin");
    button(&form, "Encrypt")->click();
    EXPECT_EQ(e.encryptedFile, QByteArray("0123456789"));
    EXPECT_EQ(named<QLabel>(&form, "Attachment size")->text(), "10 bytes are stored with this entry.");
    EXPECT_TRUE(button(&form, "Save to Disk")->isEnabled());
}

// The date picture of the options replaces the windows' own ones as each window opens; a window already open
// keeps what it opened with. A code that is not one of the fourteen leaves each window its own picture.
TEST_F(PasswordWindowsTest, TheOptionsDatePictureShowsInEveryWindowOpenedAfterwards) {
    PasswordRecord e = stored("Ann", "Bank", "ann");
    const int32_t day = dayNumber(QDate(2031, 10, 7));
    e.expiryDate = day;
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).change(e));
    e = *Table<PasswordRecord>(ts.store()).get(e.rowId);
    e.lastChangeDate = day;
    stored("Ann", "Undated", "ann");
    constexpr int kExpiry = 4;

    settings.dateFormat = "d8";
    auto first = list(ann);
    EXPECT_EQ(cell(*first, 0, kExpiry), "7 OCT 2031");
    EXPECT_EQ(cell(*first, 1, kExpiry), "") << "no date shows nothing";
    {
        UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann);
        EXPECT_EQ(field(&form, "Expiry Date")->text(), "7 OCT 2031");
        settings.dateFormat = "d4";
        form.takeScreenValues();
        EXPECT_EQ(e.expiryDate, day) << "read back in the picture it was shown in";
    }
    EXPECT_EQ(cell(*first, 0, kExpiry), "7 OCT 2031") << "an open list keeps its picture";
    EXPECT_EQ(cell(*list(ann), 0, kExpiry), "October 7, 2031");

    struct Case {
        const char* code;
        QString list;     // the list's own picture: the system's short date
        QString display;  // "Display All Information"'s own: the long date
    };
    const QString systemShort = formatDate(day, "d17");
    for (const Case& c : {Case{"d6", "07/10/2031", "07/10/2031"}, Case{"", systemShort, "October 7, 2031"},
                          Case{"d9", systemShort, "October 7, 2031"}, Case{"x", systemShort, "October 7, 2031"}}) {
        settings.dateFormat = c.code;
        EXPECT_EQ(cell(*list(ann), 0, kExpiry), c.list) << c.code;
        DisplayAll all(e, settings.dateFormat, nullptr);
        EXPECT_EQ(field(&all, "Date this record was last changed")->text(), c.display) << c.code;
    }
}

TEST_F(PasswordWindowsTest, EachListShowsItsOwnUserAndEmptyListsOfferNoRowCommands) {
    stored("Ann", "Bank", "ann");
    stored("Bob", "Bank", "bob");
    auto annList = list(ann);
    auto bobList = list(bob);
    EXPECT_EQ(annList->windowTitle(), "Passwords - Ann");
    ASSERT_EQ(annList->model().rowCount(), 1);
    EXPECT_EQ(cell(*annList, 0, 2), "ann");
    EXPECT_EQ(cell(*bobList, 0, 2), "bob");
    EXPECT_TRUE(button(annList.get(), "Send")->isEnabled());

    UserRecord cy = Table<UserRecord>(ts.store()).prime();
    cy.name = "Cy";
    ASSERT_TRUE(Table<UserRecord>(ts.store()).insert(cy));
    auto empty = list(cy);
    EXPECT_EQ(empty->model().rowCount(), 0);
    for (const char* b : {"Cop&y", "&Change", "&Delete", "Send"}) {
        EXPECT_FALSE(button(empty.get(), b)->isEnabled()) << b;
    }
    for (QAction* a : empty->popupMenu()->actions()) {
        if (a->text() == "&Launch URL" || a->text() == "Send" || a->text() == "Display All" || a->text() == "Cop&y") {
            EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
        }
    }
}

TEST_F(PasswordWindowsTest, AListOpensWithItsClipboardDisplayHiddenByTheOption) {
    settings.hideClipboard = 1;
    auto l = list(ann);
    EXPECT_TRUE(named<QLineEdit>(l.get(), "Clipboard Contents")->isHidden());
    settings.hideClipboard = 0;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(l.get(), &activate);
    EXPECT_FALSE(named<QLineEdit>(l.get(), "Clipboard Contents")->isHidden());
}

TEST_F(PasswordWindowsTest, TheExpiredTabShowsEntriesDueTodayOrEarlierAndTheLocatorSteps) {
    const int32_t today = ts.clock().today();
    for (auto [service, expiry] : {std::pair{"Today", today}, std::pair{"Tomorrow", today + 1}, std::pair{"Never", 0},
                                   std::pair{"Last year", today - 365}}) {
        PasswordRecord e = test::entry("Ann", service, "ann");
        e.expiryDate = expiry;
        ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    }
    auto l = list(ann);
    EXPECT_EQ(l->model().rowCount(), 4);
    l->view()->setFocus();
    QTest::keyClick(l->view(), 'n');
    EXPECT_EQ(cell(*l, l->selectedRow(), 0), "Never");
    QTest::keyClick(l->view(), 'U');
    EXPECT_EQ(cell(*l, l->selectedRow(), 0), "Never") << "nothing at or after U: the selection stays";
    l->tabs()->setCurrentIndex(4);
    ASSERT_EQ(l->model().rowCount(), 2);
    EXPECT_EQ(cell(*l, 0, 0), "Last year");
    EXPECT_EQ(cell(*l, 1, 0), "Today");
    EXPECT_EQ(l->selectedRow(), 0);
}

TEST_F(PasswordWindowsTest, AddCopyChangeAndDeleteGoThroughTheForm) {
    stored("Ann", "Bank", "ann");
    auto l = list(ann);
    whenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Add Password Information");
        field(w, "Service")->setText("Mail");
        field(w, "Name used on this service")->setText("ann@mail");
        button(w, "&OK")->click();
    });
    button(l.get(), "&Add")->click();
    ASSERT_EQ(l->model().rowCount(), 2);
    EXPECT_EQ(cell(*l, l->selectedRow(), 0), "Mail");

    // A copy starts from the selected entry and is primed as any new entry.
    whenModal([](QWidget* w) {
        EXPECT_EQ(field(w, "Service")->text(), "Mail");
        EXPECT_TRUE(named<QPlainTextEdit>(w, "More Notes")->toPlainText().startsWith("Added "));
        field(w, "Name used on this service")->setText("second");
        button(w, "&OK")->click();
    });
    button(l.get(), "Cop&y")->click();
    ASSERT_EQ(l->model().rowCount(), 3);
    EXPECT_EQ(cell(*l, l->selectedRow(), 2), "second");

    whenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Change Password Information");
        field(w, "Service")->setText("Zoo");
        button(w, "&OK")->click();
    });
    l->view()->doubleClicked(l->model().index(l->selectedRow(), 0));
    EXPECT_EQ(cell(*l, l->selectedRow(), 0), "Zoo");
    EXPECT_EQ(l->selectedRow(), 2);

    ts.messages().answers << Answer::No << Answer::Yes;
    button(l.get(), "&Delete")->click();
    EXPECT_EQ(ts.messages().shown.last().title, "Confirm Delete");
    EXPECT_EQ(lastMessage(), "Are you sure you want to delete the highlighted record?");
    EXPECT_EQ(l->model().rowCount(), 3);
    button(l.get(), "&Delete")->click();
    EXPECT_EQ(l->model().rowCount(), 2);
}

TEST_F(PasswordWindowsTest, RowCommandsNeverActOnAnEntryThatIsGoneOrAnotherUsers) {
    PasswordRecord e = stored("Ann", "Bank", "ann");
    stored("Ann", "Mail", "ann");
    auto l = list(ann);
    l->selectRow(0);
    EXPECT_EQ(cell(*l, 0, 0), "Bank");
    // Another program deletes the first entry while the list still shows it.
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).remove(e));
    clipboard.setText("before", false);
    button(l.get(), "&Password")->click();
    EXPECT_EQ(clipboard.text(), "before");
    EXPECT_EQ(l->model().rowCount(), 1) << "the list was read afresh";
    // The record number of a deleted entry is given to the next one: the list still showing the old
    // entry deletes nothing.
    const PasswordRecord cafe = stored("Ann", "Cafe", "ann");
    auto other = list(ann);
    EXPECT_EQ(cell(*other, 0, 0), "Cafe");
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).remove(cafe));
    const PasswordRecord shop = stored("Ann", "Shop", "ann");
    ASSERT_EQ(shop.rowId, cafe.rowId);
    ts.messages().answers << Answer::Yes;
    button(other.get(), "&Delete")->click();
    EXPECT_TRUE(Table<PasswordRecord>(ts.store()).get(shop.rowId)) << "the new entry was not deleted";
    EXPECT_EQ(cell(*other, 1, 0), "Shop") << "the list was read afresh";

    l->selectRow(-1);
    EXPECT_FALSE(button(l.get(), "&Change")->isEnabled());
    EXPECT_FALSE(button(l.get(), "&Password")->isEnabled());
}

// An assistive technology selects a row through the table's accessible interface, which leaves Qt's current
// row where it was: the commands then act on the row it selected, not on none or the old one.
TEST_F(PasswordWindowsTest, ARowSelectedOverTheAccessibilityBusIsTheOneTheCommandsActOn) {
    stored("Ann", "Bank", "ann");
    stored("Ann", "Mail", "ann");
    stored("Ann", "Shop", "ann");
    auto l = list(ann);
    l->selectRow(0);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(l->view());
    ASSERT_TRUE(table && table->tableInterface());
    for (const auto& [row, service] : {std::pair{2, "Shop"}, std::pair{1, "Mail"}}) {
        ASSERT_TRUE(table->tableInterface()->selectRow(row));
        EXPECT_EQ(l->selectedRow(), row);
        button(l.get(), "&Service")->click();
        EXPECT_EQ(clipboard.text(), service);
    }
    EXPECT_TRUE(button(l.get(), "&Change")->isEnabled());
}

TEST_F(PasswordWindowsTest, CopyButtonsFilterAndLaunchWorkOnTheSelectedEntry) {
    stored("Ann", "Bank", "ann");
    auto l = list(ann);
    const std::vector<std::pair<const char*, const char*>> copies = {
        {"&Name", "ann"}, {"&URL", "  https://bank.example"}, {"No&tes", "notes of Bank"},
        {"&More Notes", "more of Bank"}, {"&Service", "Bank"}, {"&Password", "pw-Bank"}};
    for (const auto& [b, text] : copies) {
        button(l.get(), b)->click();
        EXPECT_EQ(clipboard.text(), text) << b;
    }
    EXPECT_TRUE(clipboard.secret()) << "a password is marked for clipboard managers";
    l->clipboardDisplay()->refresh();
    EXPECT_EQ(named<QLineEdit>(l.get(), "Clipboard Contents")->text(), "pw-Bank");

    clipboard.setText("a\tb  c{d}", false);
    l->filterClipboard();
    EXPECT_EQ(clipboard.text(), "ab cd");

    l->launchUrl();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], "https://bank.example");
    // An address without its scheme opens on the web; a file in the field is not opened.
    PasswordRecord e = *l->model().entryAt(0);
    e.url = "www.bank.example/login";
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).change(e));
    l->launchUrl();
    EXPECT_EQ(shell.opened.back(), "http://www.bank.example/login");
    e.url = "/tmp/run-me.desktop";
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).change(e));
    l->launchUrl();
    EXPECT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(lastMessage(), "Only internet and mail addresses are opened:|/tmp/run-me.desktop");
    // No browser on this desktop: the user is told, with the address.
    e.url = "https://bank.example";
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).change(e));
    shell.unopenable.insert("https://bank.example");
    l->launchUrl();
    EXPECT_EQ(lastMessage(),
              "The address could not be opened:|https://bank.example|no program to open it is installed");

    // The user edits the display and leaves it: its text goes onto the clipboard.
    auto* display = named<QLineEdit>(l.get(), "Clipboard Contents");
    display->setText("typed");
    display->setModified(true);
    Q_EMIT display->editingFinished();
    EXPECT_EQ(clipboard.text(), "typed");
    settings.hideClipboard = 1;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(l.get(), &activate);
    EXPECT_TRUE(display->isHidden());
}

TEST_F(PasswordWindowsTest, SendStartsTheProgramQueuesTheEntryAndTellsTheFrame) {
    PasswordRecord e = test::entry("Ann", "Bank", "ann");
    e.password = "pw";
    e.paste = "[Name][Tab][Password][Enter]";
    e.windowTitleToLocate = "*Login";
    e.filename = "n/a";
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    const WindowId bank = desktop->addWindow("Bank Login");
    auto l = list(ann);
    button(l.get(), "Send")->click();
    ASSERT_TRUE(waitFor([&] { return !sent.isEmpty(); }));
    EXPECT_EQ(keyboard->textReceivedBy(bank), "ann\tpw\n");
    EXPECT_TRUE(shell.started.empty()) << "N/A in any case starts nothing";
    EXPECT_TRUE(frame.events.contains(frame_event::SendRequested));
    EXPECT_TRUE(frame.events.contains(frame_event::EntryQueued));

    // With the monitor on, the frame is not asked for a pass.
    monitorOn = true;
    frame.events.clear();
    button(l.get(), "Send")->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame.events.contains(frame_event::SendRequested));
}

TEST_F(PasswordWindowsTest, DeletingAWatchedEntryStopsItsTypingAndListsCountPerUser) {
    PasswordRecord e = test::entry("Ann", "Bank", "ann");
    e.password = "pw";
    e.paste = "[Password][Enter]";
    e.windowTitleToLocate = "Bank Login";
    e.monitor = 1;
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    worker->setMonitorOn(true);
    auto first = list(ann);
    auto second = list(ann);
    second.reset();  // one of Ann's two lists closes: she stays watched
    ts.messages().answers << Answer::Yes;
    button(first.get(), "&Delete")->click();
    EXPECT_EQ(first->model().rowCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame.events.contains(frame_event::UsersChanged));
    const WindowId bank = desktop->addWindow("Bank Login");
    for (int i = 0; i < 10; ++i) {
        worker->runPass(false);
    }
    QTest::qWait(300);
    EXPECT_EQ(keyboard->textReceivedBy(bank), "") << "the deleted entry is never typed";

    // A watched entry saved afterwards is typed while her list is open.
    e.rowId = 0;
    e.service = "Mail";
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    worker->userChanged("Ann");
    ASSERT_TRUE(waitFor([&] { return !sent.isEmpty(); }));
    EXPECT_EQ(keyboard->textReceivedBy(bank), "pw\n");
}

TEST_F(PasswordWindowsTest, AListFollowsARenameSoClosingItStopsTheWatch) {
    PasswordRecord e = test::entry("Ann", "Bank", "ann");
    e.paste = "[Name][Enter]";
    e.windowTitleToLocate = "Bank Login";
    e.monitor = 1;
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    worker->setMonitorOn(true);
    auto l = list(ann);
    // Another program renames Ann; the list learns it when a row command finds her entry under her new
    // name, and acts on nothing until it has been read afresh.
    UserRecord renamed = ann;
    renamed.name = "Anna";
    ASSERT_TRUE(Table<UserRecord>(ts.store()).change(renamed));
    clipboard.setText("before", false);
    button(l.get(), "&Name")->click();
    EXPECT_EQ(l->windowTitle(), "Passwords - Anna");
    EXPECT_EQ(clipboard.text(), "before");
    button(l.get(), "&Name")->click();
    EXPECT_EQ(clipboard.text(), "ann");
    l.reset();
    const WindowId bank = desktop->addWindow("Bank Login");
    for (int i = 0; i < 10; ++i) {
        worker->runPass(false);
    }
    QTest::qWait(300);
    EXPECT_EQ(keyboard->textReceivedBy(bank), "") << "no list of hers is open";
}

TEST_F(PasswordWindowsTest, SelectUserSwitchesTheListAndADeletedUserClosesIt) {
    stored("Bob", "Bank", "bob");
    UserRecord cy = Table<UserRecord>(ts.store()).prime();
    cy.name = "Cy";
    ASSERT_TRUE(Table<UserRecord>(ts.store()).insert(cy));
    auto l = list(ann);
    whenModal([](QWidget* w) {
        auto* users = w->findChild<QListWidget*>();
        users->setCurrentRow(1);
        button(w, "&Select")->click();
    });
    button(l.get(), "Select User")->click();
    EXPECT_EQ(l->windowTitle(), "Passwords - Bob");
    EXPECT_EQ(cell(*l, 0, 2), "bob");

    // Cancelling keeps Bob; once Bob is deleted, the list closes.
    ASSERT_TRUE(Table<UserRecord>(ts.store()).remove(bob));
    whenModal([](QWidget* w) { button(w, "Cancel")->click(); });
    button(l.get(), "Select User")->click();
    EXPECT_FALSE(l->isVisible());
}

// The engine watches the users whose lists are open: a list that changes its user leaves the old one's
// watched entries behind at once, and a list whose user was deleted elsewhere drops his at once too, before
// the window itself is gone.
TEST_F(PasswordWindowsTest, TheEngineWatchesOnlyTheUserAListShowsNow) {
    for (auto [user, title] : {std::pair{"Ann", "Ann Login"}, std::pair{"Bob", "Bob Login"}}) {
        PasswordRecord e = test::entry(user, "Bank", "x");
        e.paste = "[Service][Enter]";
        e.windowTitleToLocate = title;
        e.monitor = 1;
        e.doNotRepeatSeconds = 1;
        ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    }
    UserRecord cy = Table<UserRecord>(ts.store()).prime();
    cy.name = "Cy";  // with a single user left, "Select User" would take him without asking
    ASSERT_TRUE(Table<UserRecord>(ts.store()).insert(cy));
    ts.expectOnlyMessages({});
    worker->setMonitorOn(true);
    auto l = list(ann);
    whenModal([](QWidget* w) {
        w->findChild<QListWidget*>()->setCurrentRow(1);
        button(w, "&Select")->click();
    });
    button(l.get(), "Select User")->click();
    ASSERT_EQ(l->windowTitle(), "Passwords - Bob");
    const WindowId annLogin = desktop->addWindow("Ann Login");
    WindowId bobLogin = desktop->addWindow("Bob Login");
    worker->runPass(false);
    ASSERT_TRUE(waitFor([&] { return !sent.isEmpty(); }));
    QTest::qWait(300);
    EXPECT_EQ(keyboard->textReceivedBy(bobLogin), "Bank\n");
    EXPECT_EQ(keyboard->textReceivedBy(annLogin), "") << "Ann's list became Bob's";

    ASSERT_TRUE(Table<UserRecord>(ts.store()).remove(bob));
    whenModal([](QWidget* w) { button(w, "Cancel")->click(); });
    button(l.get(), "Select User")->click();
    ASSERT_FALSE(l->isVisible());
    desktop->closeWindow(bobLogin);
    bobLogin = desktop->addWindow("Bob Login");
    QTest::qWait(1200);  // past the repeat interval
    for (int i = 0; i < 5; ++i) {
        worker->runPass(false);
    }
    QTest::qWait(300);
    EXPECT_EQ(keyboard->textReceivedBy(bobLogin), "") << "a deleted user's entries are typed no more";
}

// A write that fails (the disk is full) keeps the entry form open with what was typed, to be saved once it can.
TEST_F(PasswordWindowsTest, AFailedWriteKeepsTheEntryFormOpenWithItsValues) {
    test::FullDisk disk;
    if (!disk.ok()) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    test::TestStore small(disk.path());
    const UserRecord u = freeUser(small.store(), "Ann");
    EntryServices s{small.store(), small.messages(), small.clock(), clipboard, screen,   shell,
                    random,        dialogs,          &positions,    &settings, small.dir()};
    BrowsePasswords l(s, ListLink{nullptr, &frame, [] { return false; }}, u);
    l.show();
    bool stayedOpen = false;
    QString kept;
    whenModal([&](QWidget* w) {
        field(w, "Service")->setText("Bank");
        field(w, "Name used on this service")->setText("ann");
        disk.fill();
        button(w, "&OK")->click();
        stayedOpen = w->isVisible();
        kept = field(w, "Service")->text() + "/" + field(w, "Name used on this service")->text();
        disk.empty();
        button(w, "&OK")->click();
    });
    button(&l, "&Add")->click();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(kept, "Bank/ann");
    ASSERT_FALSE(small.messages().shown.isEmpty());
    EXPECT_TRUE(small.messages().shown.first().text.contains("full")) << small.messages().shown.first().text.toStdString();
    EXPECT_EQ(l.model().rowCount(), 1) << "saved once the disk had room again";
}

// Every caption a window shows: its prompts and texts, its buttons and check boxes.
QStringList captions(QWidget* w) {
    QStringList l;
    for (auto* label : w->findChildren<QLabel*>()) {
        l << label->text();
    }
    for (auto* b : w->findChildren<QAbstractButton*>()) {
        l << b->text();
    }
    return l;
}

QStringList tabTitles(QWidget* w) {
    QStringList l;
    auto* tabs = w->findChild<QTabWidget*>();
    for (int i = 0; tabs && i < tabs->count(); ++i) {
        l << tabs->tabText(i);
    }
    return l;
}

// The monitor program's form beside the main program's: its four tabs, its shorter captions, and none of
// the main form's extras; each form shows none of the other's captions.
TEST_F(PasswordWindowsTest, TheMonitorProgramsFormHasFourTabsItsOwnCaptionsAndNoneOfTheMainFormsExtras) {
    using Variant = UpdatePasswords::FormVariant;
    const QStringList mainCaptions = {"&Service*:",
                                      "&Name*:",
                                      "&Confirm Password:",
                                      "Gener&ate New Password",
                                      "&Text/Keys to Send:",
                                      "Wait Before &Sending:",
                                      "&Locate Window Title:",
                                      "Enter 0 to disable after first find.",
                                      "List All Keys",
                                      "Add to Defaults",
                                      "Direct Send",
                                      "Clipboard Contents:"};
    const QStringList monitorCaptions = {"&Service:",       "&Name:",
                                         "&Confirm:",       "Gener&ate",
                                         "Keys to Send:",   "Wait Before &Send:",
                                         "&Locate Window:", "0=disable after found"};
    struct Form {
        Variant variant;
        QStringList tabs;
        QStringList captions;
        QStringList others;
        QStringList copyPaste;
    };
    const QStringList notesButtons = {"Copy More Notes", "Copy Notes", "Paste More Notes", "Paste Notes"};
    PasswordRecord e = stored("Ann", "Bank", "ann");
    e.lastChangeDate = dayNumber(QDate(2026, 10, 31));
    for (const Form& f :
         {Form{Variant::Main,
               {"General", "Notes", "More Notes", "Settings for Send", "Expiry", "Files"},
               mainCaptions,
               monitorCaptions,
               notesButtons + QStringList{"Copy Name", "Copy Password", "Copy Service", "Copy URL", "Paste Name",
                                          "Paste Password", "Paste Service", "Paste URL"}},
          Form{Variant::Monitor,
               {"General", "Notes", "More Notes", "Settings for Send"},
               monitorCaptions,
               mainCaptions,
               notesButtons}}) {
        SCOPED_TRACE(f.tabs.size());
        UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann, f.variant);
        EXPECT_EQ(tabTitles(&form).join("|").toStdString(), f.tabs.join("|").toStdString());
        const QStringList shown = captions(&form);
        for (const QString& c : f.captions) {
            EXPECT_TRUE(shown.contains(c)) << c.toStdString();
        }
        for (const QString& c : f.others) {
            EXPECT_FALSE(shown.contains(c)) << c.toStdString();
        }
        QStringList copyPaste;
        for (auto* b : form.findChildren<QToolButton*>()) {
            if (b->accessibleName().startsWith("Copy ") || b->accessibleName().startsWith("Paste ")) {
                copyPaste << b->accessibleName();
            }
        }
        copyPaste.sort();
        QStringList expected = f.copyPaste;
        expected.sort();
        EXPECT_EQ(copyPaste.join("|").toStdString(), expected.join("|").toStdString());
        EXPECT_EQ(form.findChild<ClipboardDisplay*>() != nullptr, f.variant == Variant::Main);
        EXPECT_EQ(named<QLabel>(&form, "Last Changed:") != nullptr, f.variant == Variant::Main);
    }

    // What the monitor program's form keeps works: the notes' buttons, the monitoring controls.
    UpdatePasswords form(services(), EntryOperations::Request::Change, e, ann, Variant::Monitor);
    form.show();
    named<QToolButton>(&form, "Copy Notes")->click();
    EXPECT_EQ(clipboard.text(), "notes of Bank");
    EXPECT_FALSE(named<QSpinBox>(&form, "Do not repeat automatic send to other app")->isEnabled());
    for (auto* c : form.findChildren<QCheckBox*>()) {
        if (c->text() == "Monito&r") {
            c->setChecked(true);
        }
    }
    EXPECT_TRUE(named<QSpinBox>(&form, "Do not repeat automatic send to other app")->isEnabled());

    // Its "Advanced" window holds the window contents alone; its generator has no "Fast Generat&e".
    named<QComboBox>(&form, "Window Title to Locate for automatic send")->setEditText("*Bank*");
    QPushButton* generate = button(&form, "Gener&ate");
    ASSERT_NE(generate, nullptr);
    QStringList advanced;
    whenModal([&](QWidget* w) {
        for (auto* c : w->findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(c) || qobject_cast<QAbstractButton*>(c)) {
                advanced << (c->accessibleName().isEmpty() ? qobject_cast<QAbstractButton*>(c)->text()
                                                           : c->accessibleName());
            }
        }
        named<QLineEdit>(w, "Contents of window to locate")->setText("Sign in");
        button(w, "Cl&ose")->click();
    });
    button(&form, "Advanced")->click();
    EXPECT_EQ(advanced.join("|").toStdString(), "Contents of window to locate|Cl&ose");
    bool fastShown = true;
    whenModal([&](QWidget* w) {
        QPushButton* fast = button(w, "Fast Generat&e");
        fastShown = fast && !fast->isHidden();
        button(w, "Cancel")->click();
    });
    generate->click();
    EXPECT_FALSE(fastShown);

    // The values of the controls it lacks are kept when it saves; its place is kept under the entry form's
    // name in the store its program passed.
    e.directSend = 1;
    e.expiryDate = dayNumber(QDate(2027, 1, 31));
    e.expiryInterval = 90;
    e.filename = "/usr/bin/gnucash";
    e.encryptedFilename = "key.bin";
    e.encryptedFile = "0123456789";
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).change(e));
    WindowPositions monitorPlaces(ts.file("ZDMON.INI"));
    EntryServices s = services();
    s.positions = &monitorPlaces;
    {
        UpdatePasswords again(s, EntryOperations::Request::Change, e, ann, Variant::Monitor);
        again.show();
        field(&again, "Service")->setText("Bank2");
        again.ok();
        ASSERT_EQ(again.result(), QDialog::Accepted);
    }
    const auto saved = Table<PasswordRecord>(ts.store()).get(e.rowId);
    EXPECT_EQ(saved->service, "Bank2");
    EXPECT_EQ(saved->directSend, 1);
    EXPECT_EQ(saved->expiryDate, dayNumber(QDate(2027, 1, 31)));
    EXPECT_EQ(saved->expiryInterval, 90);
    EXPECT_EQ(saved->filename, "/usr/bin/gnucash");
    EXPECT_EQ(saved->encryptedFile, QByteArray("0123456789"));
    EXPECT_FALSE(monitorPlaces.value("UpdatePasswords", "Width").isEmpty());
}

// A new entry in the monitor program's form takes the name last used when its name is blank and, apart from
// that, an address from a browser window when its address is blank.
TEST_F(PasswordWindowsTest, TheMonitorProgramsFormFillsABlankNameAndABlankAddressEachOnItsOwn) {
    screen.addWindow("Bank - http://bank.example/login - Browser");
    ann.lastNameUsed = "ann.smith";
    ASSERT_TRUE(Table<UserRecord>(ts.store()).change(ann));
    auto fresh = [this](const QString& name, const QString& url) {
        PasswordRecord e = Table<PasswordRecord>(ts.store()).prime();
        EntryOperations(ts.store(), ts.messages(), ts.clock()).prime(e, "Ann");
        e.name = name;
        e.url = url;
        return e;
    };
    PasswordRecord withName = fresh("typed", "");
    UpdatePasswords first(services(), EntryOperations::Request::Insert, withName, ann,
                          UpdatePasswords::FormVariant::Monitor);
    EXPECT_EQ(field(&first, "Name used on this service")->text(), "typed");
    EXPECT_EQ(field(&first, "Internet Address")->text(), "http://bank.example/login");
    PasswordRecord addressed = fresh("", "https://given.example");
    UpdatePasswords second(services(), EntryOperations::Request::Insert, addressed, ann,
                           UpdatePasswords::FormVariant::Monitor);
    EXPECT_EQ(field(&second, "Name used on this service")->text(), "ann.smith");
    EXPECT_EQ(field(&second, "Internet Address")->text(), "https://given.example");
}

// A write that fails keeps the monitor program's form open with what was typed, as it does the main form;
// once saved, a watched entry asks for no notice about the user.
TEST_F(PasswordWindowsTest, AFailedWriteKeepsTheMonitorProgramsFormOpenWithItsValues) {
    test::FullDisk disk;
    if (!disk.ok()) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    test::TestStore small(disk.path());
    const UserRecord u = freeUser(small.store(), "Ann");
    WindowPositions monitorPlaces(ts.file("ZDMON.INI"));
    EntryServices s{small.store(), small.messages(), small.clock(),  clipboard, screen,     shell,
                    random,        dialogs,          &monitorPlaces, &settings, small.dir()};
    PasswordRecord e = Table<PasswordRecord>(small.store()).prime();
    EntryOperations(small.store(), small.messages(), small.clock()).prime(e, "Ann");
    bool stayedOpen = false;
    QString kept;
    whenModal([&](QWidget* w) {
        field(w, "Service")->setText("Bank");
        field(w, "Name used on this service")->setText("ann");
        named<QComboBox>(w, "Window Title to Locate for automatic send")->setEditText("*Bank*");
        for (auto* c : w->findChildren<QCheckBox*>()) {
            if (c->text() == "Monito&r") {
                c->setChecked(true);
            }
        }
        disk.fill();
        button(w, "&OK")->click();
        stayedOpen = w->isVisible();
        kept = field(w, "Service")->text() + "/" + field(w, "Name used on this service")->text();
        disk.empty();
        button(w, "&OK")->click();
    });
    bool monitorChanged = true;
    const bool saved = UpdatePasswords::run(s, EntryOperations::Request::Insert, e, u,
                                            UpdatePasswords::FormVariant::Monitor, monitorChanged);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(kept, "Bank/ann");
    ASSERT_FALSE(small.messages().shown.isEmpty());
    EXPECT_TRUE(small.messages().shown.first().text.contains("full"))
        << small.messages().shown.first().text.toStdString();
    EXPECT_TRUE(saved) << "saved once the disk had room again";
    EXPECT_EQ(Table<PasswordRecord>(small.store()).count(), 1);
    EXPECT_FALSE(monitorChanged);
}

TEST_F(PasswordWindowsTest, TheColumnLayoutIsKeptUnderItsListName) {
    {
        auto l = list(ann);
        l->view()->horizontalHeader()->resizeSection(0, 333);
    }
    EXPECT_FALSE(positions.value("BrowsePasswords", "SRCF?Browse:1").isEmpty());
    auto again = list(ann);
    EXPECT_EQ(again->view()->horizontalHeader()->sectionSize(0), 333);
}

TEST_F(PasswordWindowsTest, HeaderTitlesAreNeverCutAndCtrlEndGoesDownWithoutScrollingSideways) {
    for (int i = 0; i < 40; ++i) {
        stored("Ann", QStringLiteral("Service %1").arg(i, 2, 10, QLatin1Char('0')), "ann");
    }
    auto l = list(ann);
    QHeaderView* header = l->view()->horizontalHeader();
    // A user's layout from a narrower design, and the user dragging a column narrow.
    header->resizeSection(5, 10);
    EXPECT_GE(header->sectionSize(5), header->sectionSizeHint(5)) << "Last Change Date";
    // A list too narrow for its columns.
    l->resize(420, 300);
    QApplication::processEvents();
    ASSERT_GT(l->view()->horizontalScrollBar()->maximum(), 0);
    for (auto [key, row] : {std::pair{Qt::Key_End, 39}, std::pair{Qt::Key_Home, 0}, std::pair{Qt::Key_End, 39}}) {
        QTest::keyClick(l->view(), key, Qt::ControlModifier);
        EXPECT_EQ(l->selectedRow(), row);
        EXPECT_EQ(l->view()->horizontalScrollBar()->value(), 0) << "scrolled sideways";
    }
    QTest::keyClick(l->view(), Qt::Key_Home);
    EXPECT_EQ(l->selectedRow(), 0);
    EXPECT_EQ(l->view()->horizontalScrollBar()->value(), 0);
}

} // namespace
