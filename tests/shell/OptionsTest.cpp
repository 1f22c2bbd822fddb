// The options window, offscreen, on a real configuration table with scripted messages; and the frame that
// takes its values at once.
#include "framework/StoredValueSpinBox.h"
#include "framework/WindowPositions.h"
#include "platform/Random.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "shell/MainFrame.h"
#include "shell/Options.h"
#include "support/Mounts.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

using namespace zendrel;

namespace {

using test::button;
using test::named;
using test::waitFor;
using test::whenModal;

const QString kInterval = QStringLiteral("Send Interval (1/100ths of a second)");
const QString kGroup = QStringLiteral("Maximum Number of Characters per Send Group");
const QString kClear = QStringLiteral("Clear clipboard contents after how many seconds");
const QString kInactivity = QStringLiteral("Close after how many minutes of inactivity");
const QString kMonitor = QStringLiteral("Monitor Active at Startup");

std::map<QString, QString> storedSettings(DataStore& store) {
    std::map<QString, QString> out;
    for (const auto& [name, value] : OptionsOperations(store).allSettings()) {
        out[name] = value;
    }
    return out;
}

class OptionsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    WindowPositions positions{ts.file("POSITION.INI")};
    ConfigStore config{ts.store()};
    Settings program;

    void SetUp() override {
        program = loadMainSettings(ts.store(), config);
        ts.expectOnlyMessages({});
    }
    QString stored(const QString& name) { return config.read(name); }
    void removeSetting(const QString& name) {
        Table<ConfigRecord> table(ts.store());
        auto r = table.fetch("CF:KeyDataType", {name});
        ASSERT_TRUE(r);
        ASSERT_TRUE(table.remove(*r));
    }
    // Opens the window, lets `act` work on it, and closes it with the button of that caption.
    void run(const std::function<void(Options&)>& act, const QString& closeWith = "&Ok") {
        OptionsOperations operations(ts.store());
        Options window(operations, program, &positions);
        window.show();
        act(window);
        button(&window, closeWith)->click();
        EXPECT_FALSE(window.isVisible());
    }
    static StoredValueSpinBox* spin(QWidget& w, const QString& name) { return named<StoredValueSpinBox>(&w, name); }
    static QComboBox* dates(QWidget& w) { return named<QComboBox>(&w, "Date Format"); }
};

TEST_F(OptionsTest, TheWindowShowsItsTabsControlsTipsAndRanges) {
    run([](Options& w) {
        EXPECT_EQ(w.windowTitle(), "Zendrel Options");
        auto* tabs = w.findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i) {
            names << tabs->tabText(i);
        }
        EXPECT_EQ(names, QStringList({"Preferences", "Security", "Send to Other Applications", "Reports"}));

        struct Check {
            const char* caption;
            const char* tip;
            int tab;
        };
        for (const Check& c : {Check{"Skip Copy/Paste Buttons when tabbing through password form",
                                     "Copy/paste buttons in tab sequence?", 0},
                               Check{"Hide Clipboard Contents", "Hide clipboard display on passwords windows", 0},
                               Check{"Monitor Active at Startup", "", 2}}) {
            auto* box = named<QCheckBox>(&w, c.caption);
            ASSERT_NE(box, nullptr) << c.caption;
            EXPECT_EQ(box->text(), c.caption);
            EXPECT_EQ(box->toolTip(), c.tip);
            EXPECT_TRUE(tabs->widget(c.tab)->isAncestorOf(box)) << c.caption;
        }
        struct Spin {
            const QString& name;
            const char* tip;
            int64_t low;
            int64_t high;
            int tab;
        };
        for (const Spin& s : {Spin{kClear, "Enter # of seconds or 0 to disable", 0, 9999, 1},
                              Spin{kInactivity, "Enter # of minutes or 0 to disable", 0, 120, 1},
                              Spin{kInterval, "", 25, 250, 2}, Spin{kGroup, "", 1, 10, 2}}) {
            auto* box = spin(w, s.name);
            ASSERT_NE(box, nullptr) << s.name.toStdString();
            EXPECT_EQ(box->toolTip(), s.tip);
            EXPECT_EQ(box->minimum(), s.low);
            EXPECT_EQ(box->maximum(), s.high);
            EXPECT_TRUE(tabs->widget(s.tab)->isAncestorOf(box));
            // Its caption, with the colon, stands beside it.
            bool captioned = false;
            for (auto* label : w.findChildren<QLabel*>()) {
                captioned = captioned || (label->buddy() == box && label->text() == s.name + ":");
            }
            EXPECT_TRUE(captioned) << s.name.toStdString();
        }
        QStringList entries;
        for (int i = 0; i < dates(w)->count(); ++i) {
            entries << dates(w)->itemText(i);
        }
        EXPECT_EQ(entries, QStringList({"Windows Default", "October 31, 1959", "OCT 31,1959", "10/31/59", "10/31/1959",
                                        "31 OCT 59", "31 OCT 1959", "31/10/59", "31/10/1959", "59/10", "1959/10",
                                        "10/59", "10/1959", "Windows Default 2"}));
        EXPECT_TRUE(tabs->widget(3)->isAncestorOf(dates(w)));
        EXPECT_NE(button(&w, "Select Report Font"), nullptr);
        EXPECT_EQ(w.sample()->text(), "Sample Text");
        EXPECT_NE(button(&w, "Cancel"), nullptr);
    });
    EXPECT_TRUE(positions.stored("Options")) << "the window keeps its place under its name";
}

TEST_F(OptionsTest, ASendIntervalOf5IsShownAndWrittenAs20AndStaysAfterCancel) {
    ASSERT_TRUE(config.write("ZD_GD", int64_t{5}));
    run(
        [this](Options& w) {
            EXPECT_EQ(spin(w, kInterval)->value(), 20);
            EXPECT_EQ(stored("ZD_GD"), "20") << "written back on opening";
        },
        "Cancel");
    EXPECT_EQ(stored("ZD_GD"), "20");
    EXPECT_EQ(program.sendInterval, 50) << "the program's copy changes on \"&Ok\" only";
    ASSERT_TRUE(config.write("ZD_GD", int64_t{5}));
    run([](Options&) {});
    EXPECT_EQ(program.sendInterval, 20) << "below 20 becomes 20 here, where the start raises it to 50";
}

TEST_F(OptionsTest, AStoreWithoutAGroupSizeGives7AndTurnsTheMonitorOnAtStartUp) {
    removeSetting("ZD_BS");
    ASSERT_TRUE(config.write("ZD_MA", int64_t{0}));
    run(
        [this](Options& w) {
            EXPECT_EQ(spin(w, kGroup)->value(), 7);
            EXPECT_TRUE(named<QCheckBox>(&w, kMonitor)->isChecked());
            EXPECT_EQ(stored("ZD_BS"), "7");
            EXPECT_EQ(stored("ZD_MA"), "1");
        },
        "Cancel");
    EXPECT_EQ(stored("ZD_MA"), "1");
}

TEST_F(OptionsTest, AChosenDateFormatIsStoredAsItsCodeAndSelectedAgainOnReopening) {
    // A blank code (the first run) shows blank and stays blank: each window keeps its own picture.
    run([](Options& w) {
        EXPECT_EQ(dates(w)->currentIndex(), -1);
        EXPECT_EQ(dates(w)->placeholderText(), "");
    });
    EXPECT_EQ(stored("DateFormat"), "");
    EXPECT_EQ(storedSettings(ts.store()).count("DateFormat"), 0u);
    run([](Options& w) { dates(w)->setCurrentIndex(dates(w)->findText("31 OCT 1959")); });
    EXPECT_EQ(stored("DateFormat"), "d8");
    EXPECT_EQ(program.dateFormat, "d8");
    run([](Options& w) { EXPECT_EQ(dates(w)->currentText(), "31 OCT 1959"); }, "Cancel");

    // A code the list does not know shows as it is and is kept, in the store as in the program.
    for (const char* code : {"d9", "x", "d12"}) {
        ASSERT_TRUE(config.write("DateFormat", QString::fromLatin1(code)));
        program.dateFormat = code;
        run([code](Options& w) {
            EXPECT_EQ(dates(w)->currentIndex(), -1);
            EXPECT_EQ(dates(w)->placeholderText(), code);
        });
        EXPECT_EQ(stored("DateFormat"), code);
        EXPECT_EQ(program.dateFormat, code);
    }
}

TEST_F(OptionsTest, OkWithoutEditsChangesNoStoredValueButTheVersion) {
    // Values outside the spins' ranges, written by zendrel-cli, and texts that are no value at all.
    const std::map<QString, QString> odd = {
        {"ZD_Skip", "5"},        {"ZD_CI", "20000"},     {"ZD_IT", "-1"},          {"ZD_HC", "yes"},
        {"ZD_GD", "1000"},       {"ZD_BS", "200"},       {"ZD_MA", "0"},           {"ZD_Tray", "3"},
        {"DateFormat", QString(40, QLatin1Char('z'))},   {"FontSize", "abc"},      {"FontColour", "#zz"},
        {"FontStyle", "-3"},     {"FontType", "No Such Typeface At All"},
    };
    for (const auto& [name, value] : odd) {
        ASSERT_TRUE(config.write(name, value));
    }
    program = loadMainSettings(ts.store(), config);
    ASSERT_TRUE(config.write("ZD_Version", QStringLiteral("2.5")));
    auto before = storedSettings(ts.store());
    run([](Options& w) {
        EXPECT_EQ(spin(w, kClear)->text(), "20000");
        EXPECT_EQ(spin(w, kInactivity)->text(), "-1");
        EXPECT_EQ(spin(w, kInterval)->text(), "1000");
        EXPECT_EQ(spin(w, kGroup)->text(), "200");
        EXPECT_TRUE(named<QCheckBox>(&w, "Skip Copy/Paste Buttons when tabbing through password form")->isChecked());
        EXPECT_EQ(dates(w)->placeholderText(), "zzzz");
    });
    before["ZD_Version"] = "2.7";
    EXPECT_EQ(storedSettings(ts.store()), before);
    // The program uses them within the ranges their use can take.
    EXPECT_EQ(program.clearSeconds, 9999);
    EXPECT_EQ(program.inactivityMinutes, 0);
    EXPECT_EQ(program.sendInterval, 250);
    EXPECT_EQ(program.groupSize, 10);
    EXPECT_EQ(program.tray, 3);

    // A flag turned off and on again, and a spin stepped away and back, are values left alone too.
    run([](Options& w) {
        auto* skip = named<QCheckBox>(&w, "Skip Copy/Paste Buttons when tabbing through password form");
        skip->setChecked(false);
        skip->setChecked(true);
        spin(w, kGroup)->stepBy(-1);
        EXPECT_EQ(spin(w, kGroup)->value(), 10) << "a step brings it into the range";
        spin(w, kGroup)->setValue(200);
    });
    EXPECT_EQ(storedSettings(ts.store()), before);
}

TEST_F(OptionsTest, EditedValuesAreWrittenAndReachTheProgramsCopies) {
    run([](Options& w) {
        named<QCheckBox>(&w, "Hide Clipboard Contents")->setChecked(true);
        spin(w, kClear)->setValue(45);
        auto* interval = spin(w, kInterval);
        interval->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(interval->findChild<QLineEdit*>(), "120");
        Q_EMIT interval->editingFinished();
    });
    EXPECT_EQ(stored("ZD_HC"), "1");
    EXPECT_EQ(stored("ZD_CI"), "45");
    EXPECT_EQ(stored("ZD_GD"), "120");
    EXPECT_EQ(program.hideClipboard, 1);
    EXPECT_EQ(program.clearSeconds, 45);
    EXPECT_EQ(program.sendInterval, 120);
}

struct StepCase {
    int64_t low, high, start;
    int steps;
    int64_t expected;
};

TEST(StoredValueSpinBoxTest, AValueOutsideTheRangeIsShownAsItIsAndAStepBringsItIn) {
    for (const StepCase& c : {StepCase{25, 250, 20, 1, 25}, StepCase{25, 250, 20, -1, 25},
                              StepCase{0, 9999, 20000, -1, 9999}, StepCase{0, 9999, 20000, 1, 9999},
                              StepCase{0, 120, -1, 1, 0}, StepCase{1, 10, 5, 3, 8}, StepCase{1, 10, 10, 1, 10},
                              StepCase{1, 10, 2, -5, 1}}) {
        StoredValueSpinBox box(c.low, c.high);
        box.setValue(c.start);
        EXPECT_EQ(box.value(), c.start);
        EXPECT_EQ(box.text(), QString::number(c.start));
        box.stepBy(c.steps);
        EXPECT_EQ(box.value(), c.expected) << c.start << " by " << c.steps;
    }
    // Typed: only what lies in the range is taken; what is left half typed goes back to the value.
    StoredValueSpinBox box(25, 250);
    box.setValue(20);
    box.show();
    box.findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(box.findChild<QLineEdit*>(), "9x");
    EXPECT_EQ(box.value(), 20);
    Q_EMIT box.editingFinished();
    EXPECT_EQ(box.text(), "20");
    box.findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(box.findChild<QLineEdit*>(), "2600");
    EXPECT_EQ(box.value(), 26) << "a fourth digit beyond the range is refused";
}

TEST_F(OptionsTest, TheReportFontIsChosenWithItsColourAndStoredOnOkOnly) {
    // A typeface with a bold italic style, so that the dialog can show the choice as it is.
    QString family;
    for (const QString& f : QFontDatabase::families()) {
        for (const QString& style : QFontDatabase::styles(f)) {
            if (family.isEmpty() && QFontDatabase::bold(f, style) && QFontDatabase::italic(f, style)) {
                family = f;
            }
        }
    }
    if (family.isEmpty()) {
        GTEST_SKIP() << "no typeface with a bold italic style is installed";
    }
    ASSERT_TRUE(config.write("FontSize", QStringLiteral("11")));
    program = loadMainSettings(ts.store(), config);
    auto before = storedSettings(ts.store());
    auto choose = [&](Options& w) {
        whenModal([&](QWidget* dialog) {
            EXPECT_EQ(dialog->windowTitle(), "Select Font...");
            QFont f(family, 14);
            f.setWeight(QFont::Bold);
            f.setItalic(true);
            dialog->findChild<QFontDialog*>()->setCurrentFont(f);
            auto* colour = named<QComboBox>(dialog, "Colour");
            colour->setCurrentIndex(colour->findText("Red"));
            button(dialog, "&Ok")->click();
        });
        button(&w, "Select Report Font")->click();
        EXPECT_EQ(w.sample()->font().family(), family);
        EXPECT_EQ(w.sample()->font().pointSize(), 14);
        EXPECT_TRUE(w.sample()->font().bold());
        EXPECT_TRUE(w.sample()->font().italic());
        EXPECT_EQ(w.sample()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        EXPECT_EQ(storedSettings(ts.store()), before) << "nothing is stored before \"&Ok\"";
    };
    run(choose, "Cancel");
    EXPECT_EQ(storedSettings(ts.store()), before);
    EXPECT_EQ(program.fontSize, "11");
    EXPECT_EQ(program.fontType, "");

    run(choose);
    EXPECT_EQ(stored("FontType"), family.left(32));
    EXPECT_EQ(stored("FontSize"), "14");
    EXPECT_EQ(stored("FontColour"), "16711680");
    EXPECT_EQ(stored("FontStyle"), "4796");
    EXPECT_EQ(program.fontSize, "14");
    EXPECT_EQ(program.fontColour, "16711680");
    // Reopened, the sample shows the stored font.
    run([&](Options& w) {
        EXPECT_EQ(w.sample()->font().pointSize(), 14);
        EXPECT_EQ(w.sample()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    }, "Cancel");
}

struct FontCase {
    ReportFont::Texts texts;
    bool type, size, colour, style;
};

TEST(ReportFontTest, EachTextIsTakenOnlyWhenItReads) {
    for (const FontCase& c : {
             FontCase{{"", "", "", ""}, false, false, false, false},
             FontCase{{"Serif", "12", "255", "700"}, true, true, true, true},
             FontCase{{"  ", "abc", "#ff0000", "bold"}, false, false, false, false},
             FontCase{{"x", "-3", "-1", "-3"}, true, false, false, false},
             FontCase{{"x", "5000", "16777216", "1001"}, true, false, false, false},
             FontCase{{"x", "0", "16777215", "32768"}, true, false, true, false},
             FontCase{{"x", "400", "0", "28672"}, true, true, true, false},
             FontCase{{"x", " 9 ", "1e3", "29672"}, true, true, false, true},
         }) {
        const ReportFont f = ReportFont::read(c.texts);
        const std::string what = (c.texts.size + "|" + c.texts.colour + "|" + c.texts.style).toStdString();
        EXPECT_EQ(f.typeface.has_value(), c.type) << what;
        EXPECT_EQ(f.pointSize.has_value(), c.size) << what;
        EXPECT_EQ(f.rgb.has_value(), c.colour) << what;
        EXPECT_EQ(f.style.has_value(), c.style) << what;
    }
    const ReportFont bold = ReportFont::read({"", "", "", "29372"});
    ASSERT_TRUE(bold.style);
    EXPECT_EQ(*bold.style, (ReportFont::Style{700, true, true, true}));
    EXPECT_EQ(ReportFont::texts("Serif", 12, 0x00FF00, {400, false, true, false}),
              (ReportFont::Texts{"Serif", "12", "65280", "8592"}));

    // Where the font is applied, an unknown typeface and texts that do not read leave the window's font.
    const QFont base = QApplication::font();
    QColor colour(1, 2, 3);
    const QFont f = Options::fontOf({"No Such Typeface At All", "5000", "#zz", "-3"}, base, &colour);
    EXPECT_EQ(f.family(), base.family());
    EXPECT_EQ(f.pointSize(), base.pointSize());
    EXPECT_EQ(f.weight(), base.weight());
    EXPECT_EQ(colour, QColor(1, 2, 3));
}

TEST(OptionValueTest, AValueLeftAloneIsWrittenAsItWasStored) {
    OptionValue v{"007", 7, false, 7};
    EXPECT_EQ(v.textToWrite(), "007");
    v.value = 8;
    EXPECT_EQ(v.textToWrite(), "8");
    OptionValue missing{"", 0, false, 0};
    EXPECT_EQ(missing.textToWrite(), "0") << "a missing value is written as the number it reads as";
    OptionValue flag{"5", 5, false, 5};
    flag.setFlag(true);
    EXPECT_EQ(flag.textToWrite(), "5");
    flag.setFlag(false);
    EXPECT_EQ(flag.textToWrite(), "0");
}

// A configuration table that cannot be written: the store's messages, and the program goes on with what
// it has.
TEST(OptionsReadOnlyTest, ATableThatCannotBeWrittenGivesTheStoresMessagesAndChangesNothing) {
    QTemporaryDir dir;
    {
        test::TestStore ts(dir.path());
        ConfigStore config(ts.store());
        loadMainSettings(ts.store(), config);
        ASSERT_TRUE(config.write("ZD_GD", int64_t{5}));
    }
    test::ReadOnlyMount mount(dir.path());
    if (!mount.ok()) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    std::map<QString, QString> before;
    Settings program;
    program.sendInterval = 50;
    {
        test::TestStore ts(mount.path());
        before = storedSettings(ts.store());
        OptionsOperations operations(ts.store());
        Options window(operations, program, nullptr);
        EXPECT_EQ(named<StoredValueSpinBox>(&window, kInterval)->value(), 20) << "shown as it is used";
        named<StoredValueSpinBox>(&window, kClear)->setValue(30);
        named<QComboBox>(&window, "Date Format")->setCurrentIndex(3);
        button(&window, "&Ok")->click();
        QStringList errors;
        for (const Message& m : ts.messages().shown) {
            if (m.title == "Error!") {
                errors << m.text.section(" - ", 0, 0);
            }
        }
        EXPECT_TRUE(errors.contains("Error writing configuration information.  Code ZD_GD" + QString(35, ' ')))
            << errors.join('\n').toStdString();
        EXPECT_TRUE(errors.contains("Error writing configuration information.  Code ZD_CI" + QString(35, ' ')));
        EXPECT_TRUE(errors.contains("Error writing configuration information.  Code DateFormat" + QString(30, ' ')));
        EXPECT_EQ(program.clearSeconds, 0) << "read back as the store holds it";
        EXPECT_EQ(program.sendInterval, 20);
        EXPECT_EQ(storedSettings(ts.store()), before);
    }
}

// The frame with the options: what "&Ok" accepts works at once.
class OptionsFrameTest : public ::testing::Test {
protected:
    test::TestStore ts;
    sim::SimClipboard clipboard;
    std::shared_ptr<sim::SimDesktop> desktop = std::make_shared<sim::SimDesktop>();
    std::shared_ptr<sim::SimKeyboard> keyboard = std::make_shared<sim::SimKeyboard>(&ts.clock(), desktop.get());
    sim::SimShell shell;
    SystemRandom random;
    ScriptedFileDialogs dialogs;
    WindowPositions positions{ts.file("POSITION.INI")};
    std::unique_ptr<Main> frame;

    void SetUp() override {
        ConfigStore config(ts.store());
        Settings s = loadMainSettings(ts.store(), config);
        s.monitorActive = 0;
        auto d = desktop;
        auto k = keyboard;
        frame = std::make_unique<Main>(FrameContext{ts.store(), ts.messages(), ts.clock(), clipboard, s, &positions,
                                                    [d, k] {
                                                        return SendBackends{nullptr, k.get(), d.get()};
                                                    },
                                                    {}, desktop.get(), &shell, &random, &dialogs, ts.dir()});
        frame->show();
    }
    void TearDown() override { frame.reset(); }
    void ticks(int seconds) {
        for (int i = 0; i < seconds * 2; ++i) {
            ts.clock().advance(50);
            frame->tick();
            QApplication::processEvents();
        }
    }
    // "O&ptions", `act` on the window, "&Ok".
    void options(const std::function<void(QWidget*)>& act) {
        QAction* command = nullptr;
        for (QAction* a : frame->menuBar()->actions()) {
            if (a->text() == "O&ptions") {
                command = a;
            }
        }
        ASSERT_NE(command, nullptr);
        ASSERT_TRUE(command->isEnabled());
        bool done = false;
        whenModal([&](QWidget* w) {
            EXPECT_EQ(w->windowTitle(), "Zendrel Options");
            act(w);
            button(w, "&Ok")->click();
            done = true;
        });
        command->trigger();
        EXPECT_TRUE(done);
    }
};

TEST_F(OptionsFrameTest, NewClearingAndInactivityTimesTakeEffectWithoutARestart) {
    clipboard.setText("s3cret", true);
    ticks(20);
    EXPECT_EQ(clipboard.text(), "s3cret") << "clearing is off";
    options([](QWidget* w) {
        named<StoredValueSpinBox>(w, kClear)->setValue(5);
        named<StoredValueSpinBox>(w, kInactivity)->setValue(1);
    });
    ticks(4);
    EXPECT_EQ(clipboard.text(), "s3cret");
    ticks(2);
    EXPECT_EQ(clipboard.text(), "");
    EXPECT_EQ(frame->closeDownWindow(), nullptr);
    ticks(56);
    EXPECT_NE(frame->closeDownWindow(), nullptr) << "a minute without input";
}

TEST_F(OptionsFrameTest, ANewPaceReachesTheSendEngineBeforeItsNextPassAndTheMonitorKeepsItsState) {
    options([](QWidget* w) {
        named<StoredValueSpinBox>(w, kInterval)->setValue(200);
        named<StoredValueSpinBox>(w, kGroup)->setValue(2);
        named<QCheckBox>(w, kMonitor)->setChecked(true);
    });
    EXPECT_FALSE(frame->monitorOn()) << "the monitor at start-up waits for the next start";
    EXPECT_EQ(frame->settings().sendInterval, 200);
    const WindowId bank = desktop->addWindow("Bank");
    PasswordRecord e = test::entry("Ann", "Bank", "abcd");
    e.paste = "[Name][Enter]";  // characters before a key are typed in groups
    e.windowTitleToLocate = "Bank";
    e.secondsToWait = 0;
    frame->monitor().queueEntry(e);
    ASSERT_TRUE(waitFor([&] { return keyboard->textReceivedBy(bank) == "abcd\n"; }));
    // Two groups of two characters, 200 hundredths apart.
    std::vector<int64_t> downs;
    for (const auto& ev : keyboard->events()) {
        if (ev.down && ev.vk >= 'A' && ev.vk <= 'D') {
            downs.push_back(ev.time);
        }
    }
    ASSERT_EQ(downs.size(), 4u);
    EXPECT_LT(downs[1] - downs[0], 200);
    EXPECT_GE(downs[2] - downs[1], 200);
    EXPECT_LT(downs[3] - downs[2], 200);
}

} // namespace
