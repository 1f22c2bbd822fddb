#include "base/Dates.h"
#include "operations/EntryOperations.h"
#include "support/TestStore.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class EntryFormTest : public ::testing::Test {
protected:
    test::TestStore ts;
    EntryOperations form{ts.store(), ts.messages(), ts.clock()};
    UserRecord ann;

    void SetUp() override {
        ts.clock().set(dayNumber(QDate(2026, 12, 8)), 17 * 360000 + 30 * 6000 + 1);
        Table<UserRecord> users(ts.store());
        ann = users.prime();
        ann.name = "Ann";
        ann.lastNameUsed = "ann.smith";
        ASSERT_TRUE(users.insert(ann));
    }
    PasswordRecord fresh() {
        PasswordRecord e = Table<PasswordRecord>(ts.store()).prime();
        form.prime(e, "Ann");
        return e;
    }
    EntryOperations::Outcome save(PasswordRecord& e, EntryOperations::Request r = EntryOperations::Request::Insert) {
        return form.save(e, r, 0);
    }
};

TEST_F(EntryFormTest, ANewEntryIsPrimedAndTakesTheLastNameAndAnAddressOnTheScreen) {
    PasswordRecord e = fresh();
    EXPECT_EQ(e.user, "Ann");
    EXPECT_EQ(e.moreNotes, "Added December 8, 2026  5:30PM");
    EXPECT_EQ(e.paste, "[Name][Tab][Password][Enter]");
    EXPECT_EQ(e.secondsToWait, 2);
    EXPECT_EQ(e.level, 4000);
    form.open(e, EntryOperations::Request::Insert, ann,
              {"Terminal", "Bank - http://bank.example/login?x=1 - Browser", "www.other.example"}, "http://clip");
    EXPECT_EQ(e.name, "ann.smith");
    EXPECT_EQ(e.url, "http://bank.example/login?x=1");
    PasswordRecord f = fresh();
    form.open(f, EntryOperations::Request::Insert, ann, {"Mail"}, "see \"www.Clip.example\" here");
    EXPECT_EQ(f.url, "www.Clip.example");
    EXPECT_EQ(Table<ScriptPasteRecord>(ts.store()).count(), 8);
}

TEST_F(EntryFormTest, TheChecksComeInTheirOrderWithTheirMessagesAndFocus) {
    PasswordRecord e = fresh();
    e.password = "a";
    e.confirmPassword = "A";
    EXPECT_EQ(save(e).focus, EntryOperations::Focus::OkButton);
    EXPECT_EQ(ts.messages().shown.last().title, "Error");
    EXPECT_EQ(ts.messages().shown.last().text, "Passwords do not match.");
    e.confirmPassword = "a";
    EXPECT_EQ(save(e).focus, EntryOperations::Focus::Service);
    EXPECT_EQ(ts.messages().shown.last().text, "To identify this record, a service must be entered.|");
    e.service = "Bank";
    e.name = "";
    EXPECT_EQ(save(e).focus, EntryOperations::Focus::Name);
    e.name = "ann";
    e.monitor = 1;
    EXPECT_EQ(save(e).focus, EntryOperations::Focus::WindowTitle);
    EXPECT_EQ(ts.messages().shown.last().title, "Information Required");
    e.windowTitleToLocate = "*Bank";
    const EntryOperations::Outcome o = save(e);
    EXPECT_TRUE(o.saved);
    EXPECT_TRUE(o.monitorChanged);
    EXPECT_EQ(e.lastChangeDate, ts.clock().today());
}

// A test that names the messages it expects fails at once on another, which is answered with Cancel.
TEST_F(EntryFormTest, AMessageATestDoesNotExpectFailsItAtOnce) {
    ts.expectOnlyMessages({"Error"});
    PasswordRecord e = fresh();
    e.password = "a";
    e.confirmPassword = "A";
    EXPECT_FALSE(save(e).saved);  // "Error": expected
    e.confirmPassword = "a";
    e.service = "Bank";
    e.name = "ann";
    e.monitor = 1;
    EXPECT_NONFATAL_FAILURE(save(e), "unexpected message: Information Required");
}

TEST_F(EntryFormTest, DuplicatesAreNamedByServiceThenNameThenAddress) {
    PasswordRecord first = fresh();
    first.service = "Bank";
    first.name = "ann";
    ASSERT_TRUE(save(first).saved);
    PasswordRecord same = fresh();
    same.service = "BANK";
    same.name = "Ann";
    EXPECT_EQ(save(same).focus, EntryOperations::Focus::Service);
    EXPECT_EQ(ts.messages().shown.last().text, "This entry duplicates another already entered.|Service:  BANK.");
    // Blank addresses count as a value: the same name under another service is refused by the address.
    PasswordRecord other = fresh();
    other.service = "Mail";
    other.name = "ann";
    EXPECT_EQ(save(other).focus, EntryOperations::Focus::Url);
    EXPECT_EQ(ts.messages().shown.last().text, "This entry duplicates another already entered.|URL:  .");
    other.url = "https://mail.example";
    EXPECT_TRUE(save(other).saved);
    // Saving an entry unchanged is no duplicate of itself.
    EXPECT_TRUE(save(first, EntryOperations::Request::Change).saved);
    EXPECT_FALSE(save(first, EntryOperations::Request::Change).monitorChanged);
}

TEST_F(EntryFormTest, TheLastNameUsedGoesOnTheUserAsStoredNow) {
    Table<UserRecord> users(ts.store());
    UserRecord renamedMeanwhile = *users.fetch("U_:KeyName", {QStringLiteral("Ann")});
    renamedMeanwhile.password = renamedMeanwhile.confirmPassword = "changed elsewhere";
    ASSERT_TRUE(users.change(renamedMeanwhile));
    PasswordRecord e = fresh();
    e.service = "Bank";
    e.name = QString(70, 'n');
    ASSERT_TRUE(save(e).saved);
    const UserRecord stored = *users.fetch("U_:KeyName", {QStringLiteral("Ann")});
    EXPECT_EQ(stored.lastNameUsed, QString(60, 'n'));
    EXPECT_EQ(stored.password, "changed elsewhere");
}

// The monitor program's form differs from the main program's in three points of "&OK": the caption of
// the mismatch message, the moment of the change stamp, and the notice about the user. What was mended in
// "&OK" holds for both.
TEST_F(EntryFormTest, TheMonitorProgramsFormDiffersFromTheMainFormsInThreePointsOfOk) {
    using Variant = EntryOperations::FormVariant;
    struct Form {
        Variant variant;
        const char* service;
        const char* mismatchTitle;
        bool stampedBeforeTheChecks;
        bool notice;
    };
    Table<UserRecord> users(ts.store());
    for (const Form& f : {Form{Variant::Main, "Bank", "Error", false, true},
                          Form{Variant::Monitor, "Mail", "Cannot Save Changes", true, false}}) {
        SCOPED_TRACE(f.service);
        auto save = [&](PasswordRecord& e, EntryOperations::Request r, uint8_t openingMonitor) {
            return form.save(e, r, openingMonitor, f.variant);
        };
        PasswordRecord e = fresh();
        ASSERT_EQ(e.lastChangeDate, 0);
        e.password = "a";
        e.confirmPassword = "A";
        EXPECT_EQ(save(e, EntryOperations::Request::Insert, 0).focus, EntryOperations::Focus::OkButton);
        EXPECT_EQ(ts.messages().shown.last().title.toStdString(), f.mismatchTitle);
        EXPECT_EQ(ts.messages().shown.last().text, "Passwords do not match.");
        EXPECT_EQ(e.lastChangeDate, 0) << "unequal passwords stamp nothing";

        e.confirmPassword = "a";
        EXPECT_EQ(save(e, EntryOperations::Request::Insert, 0).focus, EntryOperations::Focus::Service);
        EXPECT_EQ(e.lastChangeDate == ts.clock().today() && e.lastChangeTime == ts.clock().clock(),
                  f.stampedBeforeTheChecks);

        // Mended in both: a watched entry needs a window title, and the name last used goes on the user's
        // record as stored now, not over a change made elsewhere.
        e.service = f.service;
        e.name = QStringLiteral("ann@") + f.service;
        e.monitor = 1;
        EXPECT_EQ(save(e, EntryOperations::Request::Insert, 0).focus, EntryOperations::Focus::WindowTitle);
        EXPECT_EQ(ts.messages().shown.last().title, "Information Required");
        UserRecord elsewhere = *users.fetch("U_:KeyName", {QStringLiteral("Ann")});
        elsewhere.password = elsewhere.confirmPassword = QStringLiteral("changed by ") + f.service;
        ASSERT_TRUE(users.change(elsewhere));
        e.windowTitleToLocate = "*Login*";
        ts.clock().advance(100);
        const EntryOperations::Outcome inserted = save(e, EntryOperations::Request::Insert, 0);
        ASSERT_TRUE(inserted.saved);
        EXPECT_EQ(e.lastChangeTime, ts.clock().clock());
        const UserRecord stored = *users.fetch("U_:KeyName", {QStringLiteral("Ann")});
        EXPECT_EQ(stored.lastNameUsed, e.name);
        EXPECT_EQ(stored.password, elsewhere.password);

        // The notice about the user: for a watched entry, and for one whose watching was switched off.
        EXPECT_EQ(inserted.monitorChanged, f.notice);
        e.monitor = 0;
        EXPECT_EQ(save(e, EntryOperations::Request::Change, 1).monitorChanged, f.notice);
        EXPECT_FALSE(save(e, EntryOperations::Request::Change, 0).monitorChanged);
    }
}

TEST_F(EntryFormTest, AddToDefaultsKeepsEachTextOnce) {
    EXPECT_TRUE(form.addToDefaults("[Name][Enter]"));
    EXPECT_FALSE(form.addToDefaults("[NAME][ENTER]  "));
    EXPECT_FALSE(form.addToDefaults("   "));
    EXPECT_EQ(Table<ScriptPasteRecord>(ts.store()).count(), 1);
}

TEST_F(EntryFormTest, AnEntryWhoseOwnerWentMeanwhileIsNotSavedAndTheFormKeepsItsValues) {
    PasswordRecord e = fresh();
    e.service = "Bank";
    e.name = "ann";
    // Another program renames Ann while her form is open.
    Table<UserRecord> users(ts.store());
    UserRecord renamed = *users.fetch("U_:KeyName", {QString("Ann")});
    renamed.name = "Anna";
    ASSERT_TRUE(users.change(renamed));
    const auto out = save(e);
    EXPECT_FALSE(out.saved);
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Cannot Save");
    EXPECT_EQ(ts.messages().shown[0].text, "The user Ann was renamed or deleted elsewhere, so this entry was not saved.");
    EXPECT_EQ(e.service, "Bank");
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).count(), 0);
}

TEST_F(EntryFormTest, APathLongerThanItsFieldIsRefusedNeverCut) {
    for (QString PasswordRecord::*field : {&PasswordRecord::filename, &PasswordRecord::encryptedFilename}) {
        ts.messages().shown.clear();
        PasswordRecord e = fresh();
        e.service = "Bank";
        e.name = "ann";
        e.*field = "/opt/" + QString(300, 'p');
        const auto out = save(e);
        EXPECT_FALSE(out.saved);
        EXPECT_EQ(out.focus, EntryOperations::Focus::Program);
        ASSERT_EQ(ts.messages().shown.size(), 1);
        EXPECT_EQ(ts.messages().shown[0].text, "The path has 305 characters; an entry keeps paths of at most 255.");
    }
    PasswordRecord e = fresh();
    e.service = "Bank";
    e.name = "ann";
    e.filename = "/opt/" + QString(250, 'p');
    EXPECT_TRUE(save(e).saved) << "255 characters fit";
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).get(e.rowId)->filename.size(), 255);
}

} // namespace
