// The tips: the reading of the About window, "Browse Tips" and "Update Tip", offscreen.
#include "entries/TipWindows.h"

#include "shell/AboutWindow.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

using test::button;
using test::whenModal;

class TipsTest : public ::testing::Test {
protected:
    test::TestStore ts;

    // The tips table holding exactly these tips, numbered 1 up.
    void tips(const QStringList& texts) {
        TipOperations ops(ts.store(), ts.messages());
        ASSERT_TRUE(ops.open());
        for (const TipRecord& t : ops.all()) {
            ASSERT_TRUE(Table<TipRecord>(ts.store()).remove(t));
        }
        for (const QString& text : texts) {
            TipRecord t = ops.prime();
            t.tipDesc = text;
            ASSERT_TRUE(ops.save(t, true));
        }
    }
    QStringList listed(BrowseTips& b) {
        QStringList out;
        for (int i = 0; i < b.list()->topLevelItemCount(); ++i) {
            out << b.list()->topLevelItem(i)->text(0);
        }
        return out;
    }
};

// A step: the button pressed, then the tip shown and whether "&Previous" and "&Next" are enabled.
struct Step {
    const char* press; // "" for the opening
    const char* shown;
    bool previous;
    bool next;
};

TEST_F(TipsTest, TheAboutWindowStepsByTheMarksAtBothEndsOfTheTable) {
    struct Case {
        QStringList tips;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {{}, {{"", "", false, false}}},
        {{"only"}, {{"", "only", false, true}, {"&Next", "only", false, false}}},
        {{"one", "two", "three"},
         {{"", "one", false, true},
          {"&Next", "two", true, true},
          {"&Next", "three", true, true},
          {"&Next", "three", true, false},
          {"&Previous", "two", true, true},
          {"&Previous", "one", true, true},
          {"&Previous", "one", false, true},
          {"&Next", "two", true, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tips.join(',').toStdString());
        tips(c.tips);
        AboutWindow about(ts.store(), ts.messages(), nullptr);
        EXPECT_EQ(about.windowTitle(), "About Zendrel");
        TipPanel* panel = about.tips();
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.press);
            if (*s.press) {
                button(panel, s.press)->click();
            }
            EXPECT_EQ(panel->text()->toPlainText(), s.shown);
            EXPECT_EQ(panel->previousButton()->isEnabled(), s.previous);
            EXPECT_EQ(panel->nextButton()->isEnabled(), s.next);
        }
    }
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

TEST_F(TipsTest, ANewTableGetsZendrelsOwnTipsAndOneTheUserEmptiedStaysEmpty) {
    {
        TipOperations ops(ts.store(), ts.messages());
        ASSERT_TRUE(ops.open());
        const auto all = ops.all();
        ASSERT_EQ(all.size(), 12u);
        EXPECT_EQ(all.front().tipId, 1);
        EXPECT_TRUE(all.front().tipDesc.contains("monitoring"));
        for (const TipRecord& t : all) {
            EXPECT_TRUE(Table<TipRecord>(ts.store()).remove(t));
        }
    }
    ts.reopen();
    TipOperations again(ts.store(), ts.messages());
    ASSERT_TRUE(again.open());
    EXPECT_TRUE(again.all().empty());
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

TEST_F(TipsTest, TipsAreAddedChangedAndDeletedThroughTheBrowseWindowAndTheAboutWindowReadsThemAfresh) {
    tips({});
    AboutWindow about(ts.store(), ts.messages(), nullptr);
    TipPanel* panel = about.tips();
    EXPECT_FALSE(panel->nextButton()->isEnabled());

    // "&Add Tip" opens "Browse Tips"; there a tip is added, another added, the first changed, the second deleted.
    QStringList titles;
    whenModal([&](QWidget* browse) {
        EXPECT_EQ(browse->windowTitle(), "Browse Tips");
        auto addTip = [&](const QString& text) {
            whenModal([&titles, text](QWidget* form) {
                titles << form->windowTitle();
                form->findChild<QPlainTextEdit*>()->setPlainText(text);
                button(form, "&OK")->click();
            });
            button(browse, "&Insert")->click();
        };
        addTip("first tip");
        addTip(QString(5000, QLatin1Char('x')));
        auto* b = static_cast<BrowseTips*>(browse);
        EXPECT_EQ(listed(*b), (QStringList{"first tip", QString(255, QLatin1Char('x'))}));
        // The step locator: a digit moves to the first tip numbered at or after it.
        QTest::keyClick(b->list(), Qt::Key_0);
        EXPECT_EQ(b->list()->indexOfTopLevelItem(b->list()->currentItem()), 0);
        QTest::keyClick(b->list(), Qt::Key_2);
        EXPECT_EQ(b->list()->indexOfTopLevelItem(b->list()->currentItem()), 1);
        b->list()->setCurrentItem(b->list()->topLevelItem(0));
        whenModal([&titles](QWidget* form) {
            titles << form->windowTitle();
            EXPECT_EQ(form->findChild<QPlainTextEdit*>()->toPlainText(), "first tip");
            form->findChild<QPlainTextEdit*>()->setPlainText("first tip, changed");
            button(form, "&OK")->click();
        });
        button(browse, "&Change")->click();
        b->list()->setCurrentItem(b->list()->topLevelItem(1));
        ts.messages().answers = {Answer::Yes};
        button(browse, "&Delete")->click();
        EXPECT_EQ(listed(*b), QStringList{"first tip, changed"});
        button(browse, "Cl&ose")->click();
    });
    button(panel, "&Add Tip")->click();

    EXPECT_EQ(titles, (QStringList{"Add Tip", "Add Tip", "Change Tip"}));
    EXPECT_EQ(ts.messages().titles(), QStringList{"Confirm Delete"});
    EXPECT_EQ(ts.messages().shown[0].text, "Are you sure you want to delete the highlighted record?");
    EXPECT_EQ(panel->text()->toPlainText(), "first tip, changed") << "the window reads the tips afresh";
    EXPECT_FALSE(panel->previousButton()->isEnabled());
    EXPECT_TRUE(panel->nextButton()->isEnabled());
}

TEST_F(TipsTest, ALongTipIsCutToItsWidthAndATipsFileOfAnotherLayoutIsReportedNotFatal) {
    tips({});
    {
        TipOperations ops(ts.store(), ts.messages());
        ASSERT_TRUE(ops.open());
        TipRecord t = ops.prime();
        t.tipDesc = QString(5000, QLatin1Char('t'));
        ASSERT_TRUE(ops.save(t, true));
        EXPECT_EQ(ops.all().front().tipDesc.size(), TipOperations::kShown);
    }

    // A tips file written by something else: a table of the same name with other fields.
    test::TestStore other;
    QProcess shell;
    shell.start("sqlcipher", {"-batch", "-bail", other.file("ZNDRL_T")});
    shell.write("CREATE TABLE \"TipOfTheDay\" (\"Text\" TEXT, \"Shown\" INTEGER);\n"
                "INSERT INTO \"TipOfTheDay\" VALUES ('theirs', 1);\n");
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished(30000));
    ASSERT_EQ(shell.exitCode(), 0);
    AboutWindow about(other.store(), other.messages(), nullptr);
    ASSERT_EQ(other.messages().titles(), QStringList{"Invalid File"});
    EXPECT_EQ(other.messages().shown[0].text, "Error: (Invalid Record Declaration (47)) accessing ZNDRL_T.");
    EXPECT_EQ(about.tips()->text()->toPlainText(), "");
    EXPECT_FALSE(about.tips()->previousButton()->isEnabled());
    EXPECT_FALSE(about.tips()->nextButton()->isEnabled());
    EXPECT_TRUE(other.ended.isEmpty()) << "the program goes on without tips";
    EXPECT_EQ(Table<UserRecord>(other.store()).count(), 0);
}

} // namespace
