#include "session/Login.h"
#include "session/Startup.h"
#include "support/TestStore.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class LoginTest : public ::testing::Test {
protected:
    test::TestStore ts;
    Login login{ts.store()};
    Table<UserRecord> users{ts.store()};

    UserRecord add(const QString& name, const QString& password) {
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = password;
        EXPECT_TRUE(users.insert(u));
        return u;
    }
};

TEST_F(LoginTest, AnEmptyTableGetsDefaultUserWithoutPassword) {
    login.ensureDefaultUser();
    login.ensureDefaultUser();
    ASSERT_EQ(login.userCount(), 1);
    const UserRecord u = *login.findUser("default user");
    EXPECT_EQ(u.name, "Default User");
    EXPECT_EQ(u.password, "Not Required");
    EXPECT_EQ(u.confirmPassword, "Not Required");
    EXPECT_EQ(u.level, 4000);
    EXPECT_FALSE(Login::requiresPassword(u));
}

TEST_F(LoginTest, OnlyTheExactTextNotRequiredMeansNoPassword) {
    UserRecord u;
    for (const char* pw : {"not required", "NOT REQUIRED", "Not  Required", " Not Required"}) {
        u.password = pw;
        EXPECT_TRUE(Login::requiresPassword(u)) << pw;
    }
    u.password = "Not Required   ";
    EXPECT_FALSE(Login::requiresPassword(u));
    // A blank password is a password: only the exact text means none.
    for (const char* pw : {"", "   "}) {
        u.password = pw;
        EXPECT_TRUE(Login::requiresPassword(u)) << '"' << pw << '"';
    }
}

struct Attempt {
    const char* typed;
    Login::Check expected;
    const char* message;
};

class PasswordCheckTest : public ::testing::TestWithParam<Attempt> {};

TEST_P(PasswordCheckTest, ComparesExactlyAndRestoresTheBufferAfterAFailure) {
    ScriptedMessages messages;
    UserRecord buffer;
    buffer.name = "Ann";
    buffer.password = buffer.confirmPassword = "Secret";
    EXPECT_EQ(Login::confirm(buffer, GetParam().typed, messages), GetParam().expected);
    if (GetParam().message) {
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_EQ(messages.shown[0].title, "Access Denied");
        EXPECT_EQ(messages.shown[0].text, GetParam().message);
        // Writing the buffer back now would not change the stored password.
        EXPECT_EQ(buffer.confirmPassword, "Secret");
    } else {
        EXPECT_TRUE(messages.shown.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Attempts, PasswordCheckTest,
                         ::testing::Values(Attempt{"Secret", Login::Check::Accepted, nullptr},
                                           Attempt{"Secret   ", Login::Check::Accepted, nullptr},
                                           Attempt{"secret", Login::Check::WrongCase,
                                                   "Invalid password.  Case does not match."},
                                           Attempt{"SECRET", Login::Check::WrongCase,
                                                   "Invalid password.  Case does not match."},
                                           Attempt{"Secrets", Login::Check::Wrong, "Invalid password"},
                                           Attempt{"", Login::Check::Wrong, "Invalid password"},
                                           // Only trailing blanks are not significant: a leading blank or a
                                           // trailing tab is another password.
                                           Attempt{" Secret", Login::Check::Wrong, "Invalid password"},
                                           Attempt{"Secret\t", Login::Check::Wrong, "Invalid password"}));

TEST_F(LoginTest, QuickUsersAreTakenInStoredOrder) {
    add("Zed", "Not Required");
    add("Amy", "pw");
    EXPECT_EQ(login.quickUser(1)->name, "Zed");
    EXPECT_EQ(login.quickUser(2)->name, "Amy");
    EXPECT_FALSE(login.quickUser(3));
    EXPECT_FALSE(login.quickUser(0));
    std::vector<QString> names;
    for (const auto& u : login.usersByName()) {
        names.push_back(u.name);
    }
    EXPECT_EQ(names, (std::vector<QString>{"Amy", "Zed"}));
}

TEST(StartupTest, TheDataFlagNamesTheDataDirectory) {
    EXPECT_EQ(dataDirectoryArgument({"zendrel", "Data=/srv/zd"}), "/srv/zd");
    EXPECT_EQ(dataDirectoryArgument({"zendrel", "/data=x y"}), "x y");
    EXPECT_EQ(dataDirectoryArgument({"zendrel", "Sync=1"}), "");
    EXPECT_EQ(dataDirectoryArgument({"zendrel", "Data="}), "");
}

TEST(StartupTest, ADataDirectoryThatCannotBeEnteredEndsStartUpWithItsName) {
    ScriptedMessages messages;
    const QString before = QDir::currentPath();
    EXPECT_FALSE(enterDataDirectory("/nonexistent/zendrel-data", messages));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].text.contains("/nonexistent/zendrel-data"));
    EXPECT_EQ(QDir::currentPath(), before);

    test::TestStore ts;
    EXPECT_TRUE(enterDataDirectory(ts.dir(), messages));
    EXPECT_EQ(QDir::currentPath(), QDir(ts.dir()).canonicalPath());
    QDir::setCurrent(before);
}

} // namespace
