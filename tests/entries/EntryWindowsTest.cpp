#include "entries/EntryWindows.h"

#include "base/Dates.h"
#include "entries/AdvancedSettings.h"
#include "entries/InfoWindows.h"
#include "platform/sim/SimDesktop.h"
#include "send/KeyTokens.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QCheckBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace zendrel;
using test::button;

namespace {

class GenerateWindowTest : public ::testing::Test {
protected:
    test::TestStore ts;
    SystemRandom random;
    sim::SimClipboard clipboard;
    PasswordRecord entry;
    UserRecord user;

    void SetUp() override {
        Table<UserRecord> users(ts.store());
        user = users.prime();
        user.name = "Ann";
        user.passwordSize = 10;
        user.passwordType = "All Characters";
        ASSERT_TRUE(users.insert(user));
        entry.password = entry.confirmPassword = "old";
    }
};

TEST_F(GenerateWindowTest, OkMakesThePasswordCopiesItAndRemembersTheChoices) {
    GeneratePassword w(entry, user, ts.store(), random, ts.messages(), clipboard, nullptr);
    EXPECT_EQ(w.screenValues().size, 10);
    EXPECT_EQ(w.screenValues().type, "All Characters");
    w.findChild<QSpinBox*>()->setValue(16);
    w.ok();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(entry.password.size(), 16);
    EXPECT_EQ(entry.confirmPassword, entry.password);
    EXPECT_EQ(QString::fromStdString(clipboard.text()), entry.password);
    EXPECT_TRUE(clipboard.secret());
    EXPECT_EQ(Table<UserRecord>(ts.store()).fetch("U_:KeyName", {QStringLiteral("Ann")})->passwordSize, 16);
}

TEST_F(GenerateWindowTest, FastGenerateSavesNoPreferenceAndWordsDisableTheSize) {
    GeneratePassword w(entry, user, ts.store(), random, ts.messages(), clipboard, nullptr);
    w.fastGenerate();
    EXPECT_GE(entry.password.size(), 6);
    EXPECT_LE(entry.password.size(), 12);
    const UserRecord stored = *Table<UserRecord>(ts.store()).fetch("U_:KeyName", {QStringLiteral("Ann")});
    EXPECT_EQ(stored.passwordSize, 10);
    EXPECT_EQ(stored.passwordType, "All Characters");
    EXPECT_EQ(ConfigStore(ts.store()).read("SaveSizeAnn"), "");

    GeneratePassword again(entry, user, ts.store(), random, ts.messages(), clipboard, nullptr);
    for (auto* r : again.findChildren<QRadioButton*>()) {
        if (r->text() == "&Concatenated Words") {
            r->click();
        }
    }
    EXPECT_FALSE(again.findChild<QSpinBox*>()->isEnabled());
    // The window fills the missing words table with the shipped words before drawing two of them.
    again.ok();
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_TRUE(QRegularExpression("^[a-z]{4,7}[-+1-9][a-z]{4,7}$").match(entry.password).hasMatch()) << entry.password.toStdString();
}

TEST_F(GenerateWindowTest, ADrawThatFindsNoWordsLeavesThePasswordAndTheClipboardAsTheyWere) {
    WordRecord shortWord;
    shortWord.word = "ab";  // the only word, too short to be joined
    ASSERT_TRUE(Table<WordRecord>(ts.store()).insert(shortWord));
    clipboard.setText("kept", false);
    GeneratePassword w(entry, user, ts.store(), random, ts.messages(), clipboard, nullptr);
    for (auto* r : w.findChildren<QRadioButton*>()) {
        if (r->text() == "&Concatenated Words") {
            r->click();
        }
    }
    w.ok();
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(entry.password, "old");
    EXPECT_EQ(entry.confirmPassword, "old");
    EXPECT_EQ(clipboard.text(), "kept");
    EXPECT_FALSE(clipboard.secret());
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].text, "There are no words of 4 to 7 letters in the database to join.");
    EXPECT_EQ(Table<UserRecord>(ts.store()).fetch("U_:KeyName", {QStringLiteral("Ann")})->passwordType, "All Characters")
        << "a choice that made nothing is not remembered";
}

TEST(InfoWindowsTest, DisplayAllShowsEveryDetailReadOnlyAndKeyNamesListEveryKey) {
    PasswordRecord e;
    e.user = "Ann";
    e.service = "Bank";
    e.password = "s3cret";
    e.notes = "first\nsecond";
    e.monitor = 1;
    DisplayAll all(e, "d2", nullptr);
    EXPECT_EQ(all.windowTitle(), "Display All Information");
    QStringList shown;
    QMap<QString, QString> byName;
    for (auto* f : all.findChildren<QLineEdit*>()) {
        EXPECT_TRUE(f->isReadOnly());
        shown << f->text();
        byName[f->accessibleName()] = f->text();
    }
    EXPECT_TRUE(shown.contains("s3cret")) << "the password is shown in clear";
    ASSERT_TRUE(byName.contains("Date this record was last changed"));
    EXPECT_EQ(byName.value("Date this record was last changed"), "") << "no last change date: an empty date";
    EXPECT_EQ(byName.value("Time this record was last changed"), "");

    QTemporaryDir empty;
    SelectKeys keys(empty.path(), nullptr);
    // Letters, digits, keypad digits and function keys are listed as ranges, every other name by itself.
    for (const QString& name : keyNames()) {
        if (name.size() > 1 && !name.startsWith("PAD") && !QRegularExpression("^F[0-9]+$").match(name).hasMatch()) {
            EXPECT_TRUE(keys.text().contains(name)) << name.toStdString();
        }
    }
    for (const char* range : {"A to Z", "0 to 9", "PAD0 to PAD9", "F1 to F12"}) {
        EXPECT_TRUE(keys.text().contains(range)) << range;
    }
    QFile own(empty.filePath("KEYCODES.TXT"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("my own list");
    own.close();
    EXPECT_EQ(SelectKeys(empty.path(), nullptr).text(), "my own list");
}

// The last change date follows the program's date code; without one the window keeps its own long date.
TEST(InfoWindowsTest, DisplayAllShowsTheLastChangeDateByTheProgramsDateCode) {
    PasswordRecord e;
    e.lastChangeDate = dayNumber(QDate(1959, 10, 31));
    e.lastChangeTime = 1;
    for (const auto& [code, shown] : std::vector<std::pair<QString, QString>>{
             {"d6", "31/10/1959"}, {"@D8", "31 OCT 1959"}, {"", "October 31, 1959"}}) {
        DisplayAll all(e, code, nullptr);
        EXPECT_EQ(test::named<QLineEdit>(&all, "Date this record was last changed")->text(), shown) << code.toStdString();
    }
}

TEST(AdvancedSettingsTest, CloseTakesTheTextAndDirectSendAndTheMonitorHasNoDirectSend) {
    PasswordRecord e;
    UpdatePasswordAdvSet w(e, nullptr);
    w.findChild<QLineEdit*>()->setText(QString(50, 'x'));
    w.findChild<QCheckBox*>()->setChecked(true);
    button(&w, "Cl&ose")->click();
    EXPECT_EQ(e.windowContents, QString(40, 'x'));
    EXPECT_EQ(e.directSend, 1);
    UpdatePasswordAdvSet monitor(e, nullptr, true);
    EXPECT_EQ(monitor.findChild<QCheckBox*>(), nullptr);
}

TEST(AdvancedSettingsTest, ListsWhatTheWindowOfTheTitleShowsAndADoubleClickTakesALine) {
    sim::SimDesktop desktop;
    const WindowId bank = desktop.addWindow("My Bank - Sign in");
    desktop.addChild(bank, "Enter your bank password and then press the button below to continue");
    desktop.addChild(bank, "");
    desktop.addChild(desktop.addWindow("Editor"), "File");
    PasswordRecord e;
    e.windowTitleToLocate = "*Sign in";
    for (bool monitorVariant : {false, true}) {
        UpdatePasswordAdvSet w(e, nullptr, monitorVariant, &desktop);
        auto* list = test::named<QListWidget>(&w, "Texts the window shows");
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 1);
        EXPECT_EQ(list->item(0)->text(), "Enter your bank password and then press the button below to continue");
        Q_EMIT list->itemDoubleClicked(list->item(0));
        button(&w, "Cl&ose")->click();
        EXPECT_EQ(e.windowContents, "Enter your bank password and then press") << "cut to the field's 40 characters";
    }
    e.windowTitleToLocate = "Mail";
    UpdatePasswordAdvSet none(e, nullptr, false, &desktop);
    EXPECT_FALSE(test::named<QListWidget>(&none, "Texts the window shows")->isEnabled());
    bool said = false;
    for (auto* label : none.findChildren<QLabel*>()) {
        said = said || label->text() == "The associated window does not exist (Mail).";
    }
    EXPECT_TRUE(said);
}

TEST(CalendarWindowTest, TodayClosesAtOnceAndYesterdayAsksFirst) {
    ScriptedMessages messages;
    const int32_t today = dayNumber(QDate(2026, 12, 8));
    Calendar c(0, today, {}, messages, nullptr);
    EXPECT_EQ(c.windowTitle(), "Select Date");
    c.chooseButton(c.model().buttonOf(7));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].title, "Confirm");
    EXPECT_EQ(messages.shown[0].text, "You have selected a date earlier than today.  Do you wish to use this date?");
    EXPECT_NE(c.result(), QDialog::Accepted);
    c.chooseButton(c.model().buttonOf(8));
    EXPECT_EQ(c.result(), QDialog::Accepted);
    EXPECT_EQ(c.chosen(), today);
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_FALSE(c.dayButton(41)->isVisibleTo(&c));
}

TEST(CalendarWindowTest, TheGridKeepsSixRowsSoTheArrowsStayAndTodayStandsOut) {
    ScriptedMessages messages;
    const int32_t today = dayNumber(QDate(2015, 8, 12));
    // February 2015 fills four weeks, March five, August six.
    Calendar c(dayNumber(QDate(2015, 2, 10)), today, {}, messages, nullptr);
    c.show();
    QApplication::processEvents();
    auto* next = test::named<QPushButton>(&c, "Next Month");
    auto* year = test::named<QLineEdit>(&c, "Year");
    const QRect arrow = next->geometry();
    const QRect yearBox = year->geometry();
    const QRect sixthRow = c.dayButton(35)->geometry();
    const QSize size = c.size();
    for (int month = 3; month <= 8; ++month) {
        next->click();
        QApplication::processEvents();
        EXPECT_EQ(next->geometry(), arrow) << "month " << month;
        EXPECT_EQ(year->geometry(), yearBox) << "month " << month;
        EXPECT_EQ(c.dayButton(35)->geometry(), sixthRow) << "month " << month;
        EXPECT_EQ(c.size(), size) << "month " << month;
    }
    ASSERT_EQ(c.model().month(), 8);
    for (int button = 0; button < 42; ++button) {
        EXPECT_EQ(c.dayButton(button)->font().bold(), button == c.model().buttonOf(12)) << button;
    }
    next->click();
    EXPECT_FALSE(c.dayButton(c.model().buttonOf(12))->font().bold()) << "the 12th of September is not today";
}

TEST(CalendarWindowTest, AYearOutOfRangeIsRefusedOnceAndTheBoxReturnsToTheShownYear) {
    ScriptedMessages messages;
    Calendar c(dayNumber(QDate(2026, 5, 10)), dayNumber(QDate(2026, 5, 1)), {}, messages, nullptr);
    c.show();
    QApplication::setActiveWindow(&c);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&c));
    auto* year = test::named<QLineEdit>(&c, "Year");
    auto* month = test::named<QLineEdit>(&c, "Month");
    year->setFocus();
    year->selectAll();
    QTest::keyClicks(year, "1700");
    QTest::keyClick(year, Qt::Key_Return);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].title, "Error Message");
    EXPECT_EQ(messages.shown[0].text, "Year should be between 1801 to 2099");
    EXPECT_TRUE(year->hasFocus());
    EXPECT_EQ(year->text(), "1700") << "kept to be put right";
    // The user leaves the box without putting it right.
    month->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(year->text(), "2026");
    EXPECT_EQ(c.model().year(), 2026);
    EXPECT_EQ(messages.shown.size(), 1);
    // The same for the month.
    month->selectAll();
    QTest::keyClicks(month, "13");
    QTest::keyClick(month, Qt::Key_Return);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[1].text, "Month should be between 1 to 12");
    year->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(month->text(), "5");
    EXPECT_EQ(messages.shown.size(), 2);
}

} // namespace
