// The conversion of version 2.1's tables on the first start, in its progress windows, offscreen.
#include "shell/ConversionWindow.h"

#include "session/ConfigStore.h"
#include "session/LoginWindows.h"
#include "support/PreviousVersionTables.h"
#include "support/TestStore.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

// Counts the "Updating Files" windows that open and keeps what the last one showed when it closed.
class UpdatingFilesWatch final : public QObject {
public:
    UpdatingFilesWatch() { qApp->installEventFilter(this); }
    ~UpdatingFilesWatch() override { qApp->removeEventFilter(this); }

    int opened = 0;
    QStringList texts;
    int bar = -1;
    int barMaximum = -1;
    bool cancelShown = true;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        auto* w = qobject_cast<QDialog*>(o);
        if (!w || w->windowTitle() != QLatin1String("Updating Files")) {
            return false;
        }
        if (e->type() == QEvent::Show) {
            ++opened;
        } else if (e->type() == QEvent::Hide) {
            texts.clear();
            for (auto* l : w->findChildren<QLabel*>()) {
                texts << l->text();
            }
            bar = w->findChild<QProgressBar*>()->value();
            barMaximum = w->findChild<QProgressBar*>()->maximum();
            cancelShown = w->findChild<QPushButton*>()->isVisible();
        }
        return false;
    }
};

TEST(ConversionWindowTest, WithoutAPreviousFileTheWindowOpensAndClosesAndNothingChanges) {
    test::TestStore ts;
    ts.expectOnlyMessages({});
    UpdatingFilesWatch watch;
    ConfigStore config(ts.store());
    loadMainSettings(ts.store(), config, [&] { convertPreviousVersion(ts.store(), ts.messages(), nullptr); });
    EXPECT_EQ(watch.opened, 2) << "one window for the users, one for the entries";
    EXPECT_EQ(Table<UserRecord>(ts.store()).count(), 0);
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).count(), 0);
    EXPECT_FALSE(QFile::exists(ts.file("ZDDATA")));
}

TEST(ConversionWindowTest, TheUsersAndEntriesComeOverInTheirWindowsAndTheUsersAreThereToSelect) {
    test::TestStore ts;
    test::PreviousVersionTables old(ts.dir());
    ASSERT_TRUE(old.create());
    for (const char* name : {"Carol", "Ann", "ANN"}) {
        ASSERT_TRUE(old.addUser({{"Name", name}, {"Password", "Not Required"}, {"ConfirmPassword", "Not Required"}}));
    }
    ASSERT_TRUE(old.addEntries("Ann", 30));
    UpdatingFilesWatch watch;
    ts.messages().answers = {Answer::Yes};
    convertPreviousVersion(ts.store(), ts.messages(), nullptr);

    EXPECT_EQ(watch.opened, 2);
    watch.texts.sort();
    EXPECT_EQ(watch.texts, (QStringList{"30 out of 30 Processed", "Upgrading Files", "Version 2.1"}));
    EXPECT_EQ(watch.bar, 100);
    EXPECT_EQ(watch.barMaximum, 100);
    EXPECT_FALSE(watch.cancelShown) << "the conversion cannot be cancelled halfway";
    ASSERT_EQ(ts.messages().titles(), QStringList{"ERROR"});
    EXPECT_EQ(ts.messages().shown[0].text,
              "Error adding record|Adding this record creates a duplicate entry for the key: Name|Users");
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).count(), 30);
    EXPECT_EQ(old.column("US", "Name"), QStringList{"ANN"});
    EXPECT_EQ(old.count("PW"), -1);

    SelectUsers select(ts.store(), ts.messages(), nullptr);
    auto* list = select.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    QStringList names;
    for (int i = 0; i < list->count(); ++i) {
        names << list->item(i)->text();
    }
    EXPECT_EQ(names, (QStringList{"Ann", "Carol"})) << "no \"Default User\" is made beside them";
}

} // namespace
