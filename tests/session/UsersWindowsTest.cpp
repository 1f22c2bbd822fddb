#include "framework/WindowPositions.h"
#include "session/Login.h"
#include "session/UsersWindows.h"
#include "support/Mounts.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace zendrel;
using test::button;
using test::whenModal;

namespace {

class UsersWindowsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    WindowPositions positions{ts.file("POSITION.INI")};

    QLineEdit* edit(QWidget* w, const QString& name) {
        for (auto* e : w->findChildren<QLineEdit*>()) {
            if (e->accessibleName() == name) {
                return e;
            }
        }
        return nullptr;
    }
    std::optional<UserRecord> user(const QString& name) { return Login(ts.store()).findUser(name); }
};

TEST_F(UsersWindowsTest, TwoBlankPasswordsMeanNotRequiredAndOneAloneIsRefused) {
    BrowseUsers list(ts.store(), ts.messages(), ts.clock(), &positions);
    EXPECT_EQ(list.list()->topLevelItem(0)->text(0), "Default User");
    whenModal([&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Adding User");
        QTest::keyClicks(edit(w, "Name"), "Ann");
        QTest::keyClicks(edit(w, "Password"), "only once");
        button(w, "&OK")->click();
        EXPECT_TRUE(w->isVisible()) << "the form stays open";
        EXPECT_EQ(w->focusWidget(), edit(w, "Password"));
        edit(w, "Password")->clear();
        w->findChildren<QComboBox*>().at(0)->setCurrentText("Concatenated Word");
        button(w, "&OK")->click();
    });
    list.insertUser();
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Warning");
    EXPECT_EQ(ts.messages().shown[0].text, "Passwords do not match.");
    const auto ann = user("Ann");
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->password, "Not Required");
    EXPECT_EQ(ann->confirmPassword, "Not Required");
    EXPECT_EQ(ann->passwordType, "Concatenated Words") << "the generator's own value is stored";
    EXPECT_EQ(ann->lastDateChanged, ts.clock().today());
}

// A write that fails (the disk is full) keeps the form open with what was typed, to be saved once it can.
TEST(UsersFormTest, AFailedWriteKeepsTheFormOpenWithItsValues) {
    test::FullDisk disk;
    if (!disk.ok()) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    test::TestStore ts(disk.path());
    WindowPositions positions{ts.file("POSITION.INI")};
    BrowseUsers list(ts.store(), ts.messages(), ts.clock(), &positions);
    bool stayedOpen = false;
    QString kept;
    whenModal([&](QWidget* w) {
        auto* name = test::named<QLineEdit>(w, "Name");
        QTest::keyClicks(name, "Ann");
        disk.fill();
        button(w, "&OK")->click();
        stayedOpen = w->isVisible();
        kept = name->text();
        disk.empty();
        button(w, "&OK")->click();
    });
    list.insertUser();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(kept, "Ann");
    ASSERT_FALSE(ts.messages().shown.isEmpty());
    EXPECT_TRUE(ts.messages().shown.first().text.contains("full")) << ts.messages().shown.first().text.toStdString();
    EXPECT_TRUE(Login(ts.store()).findUser("Ann")) << "saved once the disk had room again";
}

TEST_F(UsersWindowsTest, RenamingMovesTheEntriesAndTheLastUserCannotBeDeleted) {
    Login(ts.store()).ensureDefaultUser();
    Table<PasswordRecord> entries(ts.store());
    PasswordRecord e = test::entry("Default User", "Bank", "me");
    ASSERT_TRUE(entries.insert(e));
    BrowseUsers list(ts.store(), ts.messages(), ts.clock(), &positions);
    whenModal([&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Changing User");
        edit(w, "Name")->setText("Dana");
        button(w, "&OK")->click();
    });
    list.changeUser();
    EXPECT_EQ(entries.count("P_:KeyService", {QStringLiteral("Dana")}), 1);
    list.deleteUser();
    EXPECT_EQ(ts.messages().shown.last().title, "Cannot Delete");
    EXPECT_EQ(ts.messages().shown.last().text, "You must have at least one user.");
    EXPECT_TRUE(user("Dana"));
}

TEST_F(UsersWindowsTest, AProtectedUserIsChangedOrDeletedOnlyWithHisPassword) {
    for (const char* name : {"Ann", "Bob"}) {
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = QString::fromLatin1(name) + "-pw";
        ASSERT_TRUE(users.insert(u));
    }
    BrowseUsers list(ts.store(), ts.messages(), ts.clock(), &positions);
    // A wrong password: the form does not open, nothing changes.
    whenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Security Check");
        QTest::keyClicks(w->findChild<QLineEdit*>(), "nope");
        button(w, "&Ok")->click();
    });
    list.changeUser();
    EXPECT_EQ(ts.messages().shown.last().text, "Invalid password");
    // The right one, then the question answered with yes, deletes Ann and her entries.
    whenModal([](QWidget* w) {
        QTest::keyClicks(w->findChild<QLineEdit*>(), "Ann-pw");
        button(w, "&Ok")->click();
    });
    ts.messages().answers = {Answer::Yes};
    list.deleteUser();
    EXPECT_EQ(ts.messages().shown.last().title, "Confirm Delete");
    EXPECT_EQ(ts.messages().shown.last().text, "Are you sure you want to delete the highlighted record?");
    EXPECT_FALSE(user("Ann"));
    EXPECT_TRUE(user("Bob"));
}

} // namespace
