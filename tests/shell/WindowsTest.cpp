// The frame and the login windows, offscreen, with scripted messages and a virtual clock.
#include "base/Dates.h"
#include "entries/BrowsePasswords.h"
#include "framework/Application.h"
#include "framework/WindowPositions.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "session/Login.h"
#include "session/LoginWindows.h"
#include "session/UsersWindows.h"
#include "operations/TipOperations.h"
#include "shell/MainFrame.h"
#include "support/PdfText.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

using test::button;
using test::waitFor;
using test::whenModal;

// The command of a menu of the frame with this caption.
QAction* menuCommand(Main& frame, const QString& menuText, const QString& text) {
    for (QAction* menu : frame.menuBar()->actions()) {
        if (menu->text() == menuText) {
            for (QAction* a : menu->menu()->actions()) {
                if (a->text() == text) {
                    return a;
                }
            }
        }
    }
    return nullptr;
}

class LoginWindowsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    WindowPositions positions{ts.file("POSITION.INI")};

    void addUser(const QString& name, const QString& password) {
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = password;
        ASSERT_TRUE(users.insert(u));
    }
};

TEST_F(LoginWindowsTest, ANewDataDirectoryLetsDefaultUserInWithoutAnyWindow) {
    auto chosen = SelectUsers::choose(ts.store(), ts.messages(), &positions);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->name, "Default User");
    EXPECT_TRUE(ts.messages().shown.isEmpty());
    EXPECT_FALSE(positions.stored("SelectUsers")) << "a window that was never shown keeps no place";
}

// The windows' places as a window that was never laid out would have left them.
TEST_F(LoginWindowsTest, WindowsWithATinyPlaceInTheCornerOpenCentredOverTheFrame) {
    positions.save("SelectUsers", QRect(0, 0, 100, 30));
    positions.save("ConfirmPassword", QRect(0, 0, 100, 30));
    QWidget frame;
    frame.setGeometry(300, 150, 900, 560);
    frame.show();
    auto expectCentred = [&frame](QWidget* w) {
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->windowTitle().toStdString();
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->windowTitle().toStdString();
        EXPECT_LE((w->geometry().center() - frame.geometry().center()).manhattanLength(), 2)
            << w->windowTitle().toStdString();
    };

    // The only user, with a password: "Select User" is passed through unseen, the check opens over the frame.
    addUser("Ann", "Secret");
    int checks = 0;
    whenModal([&](QWidget* check) {
        ++checks;
        EXPECT_EQ(check->windowTitle(), "Security Check");
        expectCentred(check);
        QTest::keyClicks(check->findChild<QLineEdit*>(), "Secret");
        button(check, "&Ok")->click();
    });
    ASSERT_TRUE(SelectUsers::choose(ts.store(), ts.messages(), &positions, LoginVariant::Main, &frame));
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(positions.stored("SelectUsers"), QRect(0, 0, 100, 30)) << "the unseen choice wrote nothing";
    EXPECT_NE(positions.stored("ConfirmPassword"), QRect(0, 0, 100, 30));

    // Two users: the choice is shown, over the frame, and keeps its place from then on.
    addUser("Bob", "Not Required");
    QRect shown;
    whenModal([&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Select User");
        expectCentred(w);
        shown = w->geometry();
        w->findChild<QListWidget*>()->setCurrentRow(1);
        button(w, "&Select")->click();
    });
    ASSERT_TRUE(SelectUsers::choose(ts.store(), ts.messages(), &positions, LoginVariant::Main, &frame));
    EXPECT_EQ(positions.stored("SelectUsers"), shown);

    // A place on a screen that is no longer there is not used either.
    positions.save("SelectUsers", QRect(3000, 2000, 400, 300));
    whenModal([&](QWidget* w) {
        expectCentred(w);
        w->findChild<QListWidget*>()->setCurrentRow(1);
        button(w, "&Select")->click();
    });
    ASSERT_TRUE(SelectUsers::choose(ts.store(), ts.messages(), &positions, LoginVariant::Main, &frame));
}

TEST_F(LoginWindowsTest, AProtectedUserIsAskedAgainUntilThePasswordMatches) {
    addUser("Ann", "Secret");
    addUser("Bob", "Not Required");
    int attempts = 0;
    std::function<void(QWidget*)> selectAnn = [&](QWidget* w) {
        ASSERT_EQ(w->windowTitle(), "Select User");
        auto* list = w->findChild<QListWidget*>();
        list->setCurrentRow(0);
        const QString typed = attempts++ == 0 ? "secret" : "Secret";
        whenModal([typed](QWidget* check) {
            EXPECT_EQ(check->windowTitle(), "Security Check");
            auto* field = check->findChild<QLineEdit*>();
            EXPECT_EQ(field->echoMode(), QLineEdit::Password);
            QTest::keyClicks(field, typed);
            button(check, "&Ok")->click();
        });
        button(w, "&Select")->click();
        if (attempts == 1) {
            whenModal(selectAnn); // still in "Select User" after the refusal
        }
    };
    whenModal(selectAnn);
    auto chosen = SelectUsers::choose(ts.store(), ts.messages(), &positions);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->name, "Ann");
    EXPECT_EQ(attempts, 2);
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Access Denied");
    EXPECT_EQ(ts.messages().shown[0].text, "Invalid password.  Case does not match.");
    EXPECT_TRUE(positions.restore("SelectUsers", {QRect(0, 0, 4000, 4000)}, QRect(0, 0, 4000, 4000)));
}

TEST_F(LoginWindowsTest, CancellingTheChoiceLetsNobodyIn) {
    addUser("Ann", "Secret");
    addUser("Bob", "Not Required");
    whenModal([](QWidget* w) { button(w, "Cancel")->click(); });
    EXPECT_FALSE(SelectUsers::choose(ts.store(), ts.messages(), &positions));
}

TEST_F(LoginWindowsTest, TheSecurityCheckAllowsOneAttemptAndRestoresTheBuffer) {
    UserRecord buffer;
    buffer.name = "Ann";
    buffer.password = buffer.confirmPassword = "Secret";
    whenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Security Check");
        const QLabel* user = w->findChild<QLabel*>("user");
        EXPECT_EQ(user ? user->text() : QString(), "Ann") << "the window says whose password it asks for";
        QStringList labels;
        for (auto* l : w->findChildren<QLabel*>()) {
            labels << l->text();
        }
        EXPECT_TRUE(labels.contains("Confirm Password:"));
        QTest::keyClicks(w->findChild<QLineEdit*>(), "wrong");
        button(w, "&Ok")->click();
    });
    EXPECT_FALSE(ConfirmPassword::check(buffer, ts.messages(), &positions));
    EXPECT_EQ(ts.messages().shown.last().text, "Invalid password");
    EXPECT_EQ(buffer.confirmPassword, "Secret");
    whenModal([](QWidget* w) { button(w, "&OK")->click(); });
    EXPECT_FALSE(ConfirmPassword::check(buffer, ts.messages(), &positions, LoginVariant::Monitor));
}

class FrameTest : public ::testing::Test {
protected:
    test::TestStore ts;
    sim::SimClipboard clipboard;
    std::shared_ptr<sim::SimDesktop> desktop = std::make_shared<sim::SimDesktop>();
    std::shared_ptr<sim::SimKeyboard> keyboard = std::make_shared<sim::SimKeyboard>(nullptr, desktop.get());
    sim::SimShell shell;
    SystemRandom random;
    ScriptedFileDialogs dialogs;
    WindowPositions positions{ts.file("POSITION.INI")};
    QString guide = "/opt/zendrel/guide/index.html";
    std::unique_ptr<Main> frame;

    void open(Settings s) {
        auto d = desktop;
        auto k = keyboard;
        frame = std::make_unique<Main>(FrameContext{ts.store(), ts.messages(), ts.clock(), clipboard, s, &positions,
                                                    [d, k] {
                                                        return SendBackends{nullptr, k.get(), d.get()};
                                                    },
                                                    guide, desktop.get(), &shell, &random, &dialogs, ts.dir()});
        frame->show();
    }
    void ticks(int seconds) {
        for (int i = 0; i < seconds * 2; ++i) {
            ts.clock().advance(50);
            frame->tick();
            if (frame->closeDownWindow()) {
                frame->closeDownWindow()->tick();
            }
            QApplication::processEvents();
        }
    }
};

TEST_F(FrameTest, TheFrameHasItsTitleMenusAndStatus) {
    Settings s;
    s.monitorActive = 0;
    open(s);
    EXPECT_EQ(frame->windowTitle(), "Zendrel");
    QStringList menus;
    for (QAction* a : frame->menuBar()->actions()) {
        menus << a->text();
    }
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "O&ptions", "&Window", "&Help"}));
    EXPECT_EQ(frame->statusField(2), "Monitor Off");
    frame->setMonitorOn(true);
    EXPECT_EQ(frame->statusField(2), "");
}

TEST_F(FrameTest, ImportAndExportAreDisabledWhileOneOfThemRuns) {
    Settings s;
    open(s);
    ASSERT_TRUE(frame->importAction()->isEnabled() && frame->exportAction()->isEnabled());
    bool seen = false;
    whenModal([&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Choose Fields for Export...");
        EXPECT_FALSE(frame->importAction()->isEnabled());
        EXPECT_FALSE(frame->exportAction()->isEnabled());
        frame->importAction()->trigger();  // refused: nothing opens
        seen = true;
        button(w, "&Cancel")->click();
    });
    frame->exportAction()->trigger();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(frame->importAction()->isEnabled() && frame->exportAction()->isEnabled());
    EXPECT_TRUE(dialogs.requests.isEmpty());
}

TEST_F(FrameTest, ThePrintMenuRunsTheReportsWithTheProgramsDateFormat) {
    Settings s;
    s.dateFormat = "d8";
    open(s);
    QStringList commands;
    for (const char* text :
         {"by Service", "by URL", "by Name", "by Last Date Changed", "Master Report", "Print &Setup ..."}) {
        QAction* found = nullptr;
        for (QAction* a : frame->findChildren<QAction*>()) {
            found = a->text() == text ? a : found;
        }
        ASSERT_TRUE(found) << text;
        EXPECT_TRUE(found->isEnabled()) << text;
        commands << found->statusTip();
    }
    EXPECT_EQ(commands, QStringList({"Print ordered by Service", "Print ordered by URL", "Print ordered by Name",
                                     "Print Report", "Print Report", "Setup printer"}));
    // The only user is chosen at once; the printer is a PDF file.
    Table<PasswordRecord> entries(ts.store());
    Table<UserRecord> users(ts.store());
    UserRecord ann = users.prime();
    ann.name = "Ann";
    ann.password = ann.confirmPassword = kNotRequired;
    ASSERT_TRUE(users.insert(ann));
    PasswordRecord e = test::entry("Ann", "Bank", "ann");
    e.id = entries.prime().id;
    e.lastChangeDate = dayNumber(QDate(1959, 10, 31));
    ASSERT_TRUE(entries.insert(e));
    QTemporaryDir out;
    const QString path = QDir(out.path()).filePath("printed.pdf");
    frame->reports().printer().setOutputFormat(QPrinter::PdfFormat);
    frame->reports().printer().setOutputFileName(path);
    ts.messages().answers = {Answer::No};
    for (QAction* a : frame->findChildren<QAction*>()) {
        if (a->text() == "by Last Date Changed") {
            a->trigger();
        }
    }
    EXPECT_EQ(ts.messages().titles(), QStringList{"Preview"});
    EXPECT_TRUE(test::pdfLines(test::pdfText(path)).contains("Bank ann 31 OCT 1959"))
        << test::pdfText(path).toStdString();
}

TEST_F(FrameTest, InactivityClosesTheProgramTenSecondsAfterTheCountdownOpens) {
    Settings s;
    s.inactivityMinutes = 5;
    open(s);
    ticks(4 * 60);
    EXPECT_EQ(frame->closeDownWindow(), nullptr);
    // Input anywhere in the program puts the deadline off.
    QTest::keyClick(frame.get(), Qt::Key_Shift);
    ticks(5 * 60 - 2);
    EXPECT_EQ(frame->closeDownWindow(), nullptr);
    ticks(3);
    ASSERT_NE(frame->closeDownWindow(), nullptr);
    EXPECT_EQ(frame->closeDownWindow()->windowTitle(), "Automatic Close Down");
    QSignalSpy closed(frame.get(), &QObject::destroyed);
    ticks(5);
    EXPECT_TRUE(frame->isVisible());
    ticks(6);
    EXPECT_FALSE(frame->isVisible()) << "closed ten seconds after the countdown opened";
}

TEST_F(FrameTest, CancelKeepsTheProgramOpenAndClosingLeavesTheClipboardClean) {
    Settings s;
    s.inactivityMinutes = 1;
    s.clearSeconds = 30;
    open(s);
    clipboard.setText("s3cret", true);
    ticks(61);
    ASSERT_NE(frame->closeDownWindow(), nullptr);
    button(frame->closeDownWindow(), "Cancel")->click();
    QApplication::processEvents();
    ticks(15);
    EXPECT_TRUE(frame->isVisible());
    frame->close();
    EXPECT_EQ(clipboard.text(), "Cleared by Zendrel.");
    EXPECT_TRUE(positions.restore("Main", {QRect(0, 0, 4000, 4000)}, QRect(0, 0, 4000, 4000)));
}

TEST_F(FrameTest, HelpContentsOpensTheGuideOrSaysWhyItCannot) {
    open(Settings{});
    menuCommand(*frame, "&Help", "&Contents")->trigger();
    EXPECT_EQ(shell.opened, std::vector<std::string>{guide.toStdString()});
    EXPECT_TRUE(ts.messages().shown.isEmpty());
    // No browser on this desktop.
    shell.unopenable.insert(guide.toStdString());
    menuCommand(*frame, "&Help", "&Contents")->trigger();
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Help");
    EXPECT_EQ(ts.messages().shown[0].text,
              "The user guide could not be opened:|/opt/zendrel/guide/index.html|no program to open it is installed");
}

TEST_F(FrameTest, HelpAboutShowsTheVersionAndTheFirstOfZendrelsOwnTips) {
    open(Settings{});
    QString title;
    QString tip;
    bool previous = true;
    whenModal([&](QWidget* w) {
        title = w->windowTitle();
        tip = test::named<QPlainTextEdit>(w, "Tip")->toPlainText();
        previous = button(w, "&Previous")->isEnabled();
        button(w, "&OK")->click();
    });
    menuCommand(*frame, "&Help", "&About")->trigger();
    EXPECT_EQ(title, "About Zendrel");
    EXPECT_EQ(tip, TipOperations::ownTips().first());
    EXPECT_FALSE(previous);
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

TEST_F(FrameTest, TheClipboardFilterCommandCleansTheText) {
    open(Settings{});
    clipboard.setText("a\tb  c~", false);
    frame->filterClipboard();
    EXPECT_EQ(clipboard.text(), "ab c");
}

class FramePasswordsTest : public FrameTest {
protected:
    void SetUp() override {
        Table<UserRecord> users(ts.store());
        for (auto [name, password] : {std::pair{"Ann", "Not Required"}, std::pair{"Bob", "Secret"}}) {
            UserRecord u = users.prime();
            u.name = name;
            u.password = u.confirmPassword = password;
            ASSERT_TRUE(users.insert(u));
        }
        Settings s;
        s.monitorActive = 1;
        open(s);
    }
    // The buttons of the first three users.
    QToolButton* userButton(int index) {
        QList<QToolButton*> buttons;
        for (auto* b : frame->findChildren<QToolButton*>()) {
            if (b->toolTip() == "Passwords of this user") {
                buttons << b;
            }
        }
        return buttons.at(index);
    }
};

TEST_F(FramePasswordsTest, UserButtonsOpenTheirUsersListsAfterTheLoginWhereOneIsSet) {
    EXPECT_EQ(userButton(0)->text(), "Ann");
    EXPECT_EQ(userButton(1)->text(), "Bob");
    EXPECT_FALSE(userButton(2)->isEnabled()) << "there is no third user";
    userButton(0)->click();
    ASSERT_EQ(frame->passwordLists().size(), 1);
    EXPECT_EQ(frame->passwordLists().at(0)->windowTitle(), "Passwords - Ann");
    frame->tick();
    EXPECT_EQ(frame->statusField(2), "Monitoring Ann");

    whenModal([](QWidget* w) {
        QTest::keyClicks(w->findChild<QLineEdit*>(), "wrong");
        button(w, "&Ok")->click();
    });
    userButton(1)->click();
    EXPECT_EQ(frame->passwordLists().size(), 1) << "a refused login opens nothing";
    whenModal([](QWidget* w) {
        QTest::keyClicks(w->findChild<QLineEdit*>(), "Secret");
        button(w, "&Ok")->click();
    });
    userButton(1)->click();
    ASSERT_EQ(frame->passwordLists().size(), 2);
    frame->tick();
    EXPECT_EQ(frame->statusField(2), "Monitoring Ann, Bob");
}

TEST_F(FramePasswordsTest, OpenListsFollowARenameAndCloseWhenTheirUserIsDeleted) {
    userButton(0)->click();
    ASSERT_EQ(frame->passwordLists().size(), 1);
    frame->browseUsers();
    auto* users = frame->findChild<BrowseUsers*>();
    ASSERT_NE(users, nullptr);
    users->list()->setCurrentItem(users->list()->topLevelItem(0));
    whenModal([](QWidget* w) {
        test::named<QLineEdit>(w, "Name")->setText("Anna");
        button(w, "&OK")->click();
    });
    users->changeUser();
    ASSERT_EQ(frame->passwordLists().size(), 1);
    EXPECT_EQ(frame->passwordLists().at(0)->windowTitle(), "Passwords - Anna");
    EXPECT_EQ(userButton(0)->text(), "Anna");

    users->list()->setCurrentItem(users->list()->topLevelItem(0));
    ts.messages().answers << Answer::Yes;
    users->deleteUser();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_TRUE(frame->passwordLists().isEmpty());
    frame->tick();
    EXPECT_EQ(frame->statusField(2), "");
}

TEST_F(FramePasswordsTest, TilingAndCascadingNeverResizeTheFrameAndTwoListsFitSideBySide) {
    frame->setGeometry(100, 80, 853, 600);
    userButton(0)->click();
    userButton(0)->click();
    ASSERT_EQ(frame->passwordLists().size(), 2);
    QApplication::processEvents();
    const QRect before = frame->geometry();
    for (const char* command : {"T&ile", "&Cascade", "T&ile"}) {
        menuCommand(*frame, "&Window", command)->trigger();
        QApplication::processEvents();
        EXPECT_EQ(frame->geometry(), before) << command;
    }

    // The frame across a screen 1280 pixels wide: the two lists tile side by side, each of them whole.
    frame->showMaximized();
    QApplication::processEvents();
    menuCommand(*frame, "&Window", "T&ile")->trigger();
    QApplication::processEvents();
    auto* area = frame->findChild<QMdiArea*>();
    QList<QRect> tiles;
    for (BrowsePasswords* list : frame->passwordLists()) {
        tiles << list->parentWidget()->geometry();
        EXPECT_TRUE(area->viewport()->rect().contains(tiles.last()))
            << tiles.last().x() << "," << tiles.last().y() << " " << tiles.last().width() << "x"
            << tiles.last().height() << " in " << area->viewport()->width() << "x" << area->viewport()->height();
    }
    ASSERT_EQ(tiles.size(), 2);
    EXPECT_EQ(tiles[0].top(), tiles[1].top()) << "side by side";
}

TEST_F(FramePasswordsTest, APasswordListFirstOpensWithEveryColumnWhole) {
    for (int i = 0; i < 20; ++i) {
        PasswordRecord e = test::entry("Ann", QStringLiteral("Service %1").arg(i), "ann");
        e.expiryDate = ts.clock().today() + 30;
        e.lastChangeDate = ts.clock().today();
        ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    }
    userButton(0)->click();
    ASSERT_EQ(frame->passwordLists().size(), 1);
    QApplication::processEvents();
    BrowsePasswords* list = frame->passwordLists().at(0);
    QHeaderView* header = list->view()->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << "title of column " << c << " cut";
    }
    EXPECT_LE(header->length(), list->view()->viewport()->width()) << "a column cut at the right";
    auto* area = frame->findChild<QMdiArea*>();
    EXPECT_TRUE(area->viewport()->rect().contains(list->parentWidget()->geometry()));
    EXPECT_GE(list->view()->viewport()->height(), 10 * list->view()->verticalHeader()->defaultSectionSize());
}

TEST_F(FramePasswordsTest, ClosingWhileAnEntryFormIsOpenDropsTheFormFirst) {
    userButton(0)->click();
    ASSERT_EQ(frame->passwordLists().size(), 1);
    BrowsePasswords* list = frame->passwordLists().at(0);
    // The inactivity close-down, say, comes while the user left the form open.
    whenModal([this](QWidget* form) {
        EXPECT_EQ(form->windowTitle(), "Add Password Information");
        frame->close();
    });
    button(list, "&Add")->click();
    EXPECT_TRUE(waitFor([this] { return !frame->isVisible(); }));
    EXPECT_TRUE(Table<PasswordRecord>(ts.store()).readPhysical().empty()) << "the form was dropped, not saved";
}

// Calls back on every change of a window's state.
class StateWatch : public QObject {
public:
    explicit StateWatch(std::function<void()> changed) : m_changed(std::move(changed)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::WindowStateChange) {
            m_changed();
        }
        return false;
    }

private:
    std::function<void()> m_changed;
};

TEST_F(FramePasswordsTest, ASendThatEndsInAMessageBringsTheMinimisedFrameBack) {
    PasswordRecord e = test::entry("Ann", "Bank", "ann");
    e.windowTitleToLocate = "Nowhere";
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    ts.expectOnlyMessages({"Cannot Send"});
    frame->setWindowState(Qt::WindowMaximized);
    userButton(0)->click();
    ASSERT_EQ(frame->passwordLists().size(), 1);
    BrowsePasswords* list = frame->passwordLists().at(0);
    list->selectRow(0);
    bool minimised = false;
    StateWatch watch([&] { minimised = minimised || frame->isMinimized(); });
    frame->installEventFilter(&watch);
    button(list, "Send")->click();
    ASSERT_TRUE(waitFor([this] { return !ts.messages().shown.isEmpty(); }));
    EXPECT_TRUE(minimised) << "Send minimises the frame first";
    EXPECT_EQ(ts.messages().shown.last().title, "Cannot Send");
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->windowState() & Qt::WindowMaximized) << "restored as it was before";
}

TEST_F(FramePasswordsTest, EveryWindowCarriesTheProgramsIcon) {
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.pixmap(QSize(32, 32)).isNull());
    EXPECT_FALSE(QIcon(":/zendrel/icons/zendrel.svg").pixmap(QSize(32, 32)).isNull()) << "the drawing is read";
    EXPECT_FALSE(applicationIcon("/nonexistent/zendrel.svg").pixmap(QSize(32, 32)).isNull())
        << "some icon even where the drawing cannot be read";

    EXPECT_EQ(frame->windowIcon().cacheKey(), icon.cacheKey());
    userButton(0)->click();
    ASSERT_EQ(frame->passwordLists().size(), 1);
    EXPECT_EQ(frame->passwordLists().at(0)->parentWidget()->windowIcon().cacheKey(), icon.cacheKey());
    qint64 dialog = 0;
    whenModal([&dialog](QWidget* w) {
        dialog = w->windowIcon().cacheKey();
        button(w, "Cancel")->click();
    });
    frame->browsePasswords();
    EXPECT_EQ(dialog, icon.cacheKey());
}

TEST(ApplicationTest, AFailingTableEndsTheEventWithAMessageNotTheProgram) {
    class Reader : public QObject {
    public:
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User) {
                throw StoreError(10, "disk I/O error (10)");
            }
            return QObject::event(e);
        }
    } reader;
    ScriptedMessages messages;
    auto* app = static_cast<Application*>(QCoreApplication::instance());
    app->setMessages(&messages);
    QEvent e(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&reader, &e));
    app->setMessages(nullptr);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].title, "File Access Error");
    EXPECT_EQ(messages.shown[0].text, "The data files could not be read or written:|disk I/O error (10)");
}

} // namespace
