// The import and export windows, offscreen, with scripted messages and file choices.
#include "shell/TransferWindows.h"

#include "base/DatePicture.h"
#include "framework/AskPicture.h"
#include "framework/ProgressWindow.h"
#include "framework/WindowPositions.h"
#include "session/Login.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

using test::button;
using test::whenModal;

class TransferWindowsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    QTemporaryDir files;
    QString csv = QDir(files.path()).filePath("out.csv");
    ScriptedFileDialogs dialogs;
    WindowPositions positions{ts.file("POSITION.INI")};
    int activity = 0;

    TransferContext context() {
        return TransferContext{ts.store(), ts.messages(), dialogs, &positions, [this] { ++activity; }};
    }
    void addEntries(const QString& user, int n) {
        Table<PasswordRecord> entries(ts.store());
        for (int i = 0; i < n; ++i) {
            PasswordRecord e = test::entry(user, QStringLiteral("S%1").arg(i), QStringLiteral("n%1").arg(i));
            e.notes = QStringLiteral("two\nlines, \"quoted\"");
            e.expiryDate = 80000 + i;
            e.id = entries.prime().id;
            ASSERT_TRUE(entries.insert(e));
        }
    }
    static QStringList rows(QTreeWidget* list, int column) {
        QStringList l;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            l << list->topLevelItem(i)->text(column);
        }
        return l;
    }
    static void selectAll(QListWidget* list, const QStringList& names) {
        for (int i = 0; i < list->count(); ++i) {
            list->item(i)->setSelected(names.isEmpty() || names.contains(list->item(i)->text()));
        }
    }
};

TEST_F(TransferWindowsTest, FieldsAreChosenOrderedGivenPicturesAndExported) {
    Login(ts.store()).ensureDefaultUser();
    addEntries("Default User", 30);
    dialogs.answers = {csv};
    bool checked = false;
    // The user is chosen once the window is up: the window is examined after that.
    whenModal([&](QWidget* modal) { QTimer::singleShot(50, modal, [&, modal] {
        QWidget* w = modal;
        auto* window = qobject_cast<ExportPasswords*>(w);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->windowTitle(), "Choose Fields for Export...");
        ASSERT_TRUE(window->user().has_value());
        EXPECT_EQ(window->user()->name, "Default User");
        for (const char* b : {"&Add ->", "&Remove", "Shift &Up", "Shift &Down", "&Picture", "&OK", "&Cancel"}) {
            EXPECT_TRUE(button(w, b)) << b;
        }
        EXPECT_EQ(window->allFields()->count(), 20);
        EXPECT_EQ(window->allFields()->item(0)->text(), "P_:Notes");
        EXPECT_EQ(window->allFields()->item(19)->text(), "P_:EncryptedFilename");
        EXPECT_EQ(window->header()->text(), "Include &header record with field names");

        button(w, "&OK")->click();
        ASSERT_EQ(ts.messages().titles(), QStringList{"No Fields Selected for Export!"});

        selectAll(window->allFields(), {"P_:Service", "P_:Name", "P_:ExpiryDate", "P_:Notes"});
        button(w, "&Add ->")->click();
        // The list's order, each with its default picture; the first row becomes the selected one.
        EXPECT_EQ(rows(window->exportFields(), 0), QStringList({"P_:Notes", "P_:Service", "P_:Name", "P_:ExpiryDate"}));
        EXPECT_EQ(rows(window->exportFields(), 1), QStringList({"@s255", "@s128", "@s128", "@d17"}));
        EXPECT_EQ(window->typeLabel()->text(), "Alpha-numeric");
        // Adding again adds nothing twice.
        selectAll(window->allFields(), {"P_:Service", "P_:Level"});
        button(w, "&Add ->")->click();
        EXPECT_EQ(rows(window->exportFields(), 0).size(), 5);

        button(w, "Shift &Up")->click();  // the first place stays the first
        button(w, "Shift &Down")->click();
        EXPECT_EQ(rows(window->exportFields(), 0).mid(0, 2), QStringList({"P_:Service", "P_:Notes"}));
        window->exportFields()->topLevelItem(4)->setSelected(true);  // P_:Level
        button(w, "&Remove")->click();
        EXPECT_EQ(rows(window->exportFields(), 0), QStringList({"P_:Service", "P_:Notes", "P_:Name", "P_:ExpiryDate"}));

        // A picture without "@" is refused and the entry stays; then "@d2" is taken.
        window->exportFields()->setCurrentItem(window->exportFields()->topLevelItem(3));
        whenModal([&](QWidget* ask) {
            EXPECT_EQ(ask->windowTitle(), "Enter Picture...");
            auto* entry = qobject_cast<AskPicture*>(ask)->entry();
            EXPECT_EQ(entry->text(), "@d17");
            EXPECT_EQ(entry->maxLength(), 30);
            entry->setText("d2");
            button(ask, "&OK")->click();
            EXPECT_TRUE(ask->isVisible());
            EXPECT_EQ(ts.messages().shown.last().title, "Invalid Picture!");
            EXPECT_EQ(ts.messages().shown.last().text, "Pictures must begin with \"@\"");
            entry->setText("@d2");
            button(ask, "&OK")->click();
        });
        button(w, "&Picture")->click();
        EXPECT_EQ(window->exportFields()->topLevelItem(3)->text(1), "@d2");
        EXPECT_EQ(window->typeLabel()->text(), "@d2");

        window->header()->setChecked(true);
        checked = true;
        button(w, "&OK")->click();
    }); });
    ExportPasswords::run(context());
    ASSERT_TRUE(checked);
    EXPECT_FALSE(DelimitedText::busy());
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].title, "Export Comma-Separated Value File");
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
    ASSERT_EQ(lines.size(), 32);
    EXPECT_EQ(lines[0], "\"P_:Service\",\"P_:Notes\",\"P_:Name\",\"P_:ExpiryDate\"");
    EXPECT_EQ(lines[1], "\"S0\",\"two\nlines, \"\"quoted\"\"\",\"n0\",\"" + formatDate(80000, "d2") + "\"");
    EXPECT_EQ(lines[31], "");
}

TEST_F(TransferWindowsTest, ColumnsAreAssignedByHandOrAutomaticallyAndImported) {
    Login(ts.store()).ensureDefaultUser();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\"P_:Service\",\"P_:Name\",\"Other\",\"P_:ExpiryDate\"\r\n"
            "\"Mail\",\"ann\",17,\"" + formatDate(81234, "d17").toUtf8() + "\"\r\n"
            "\"Bank\",\"bob\",18,\"\"\r\n");
    f.close();
    dialogs.answers = {csv};
    bool checked = false;
    whenModal([&](QWidget* w) {
        auto* window = qobject_cast<ImportPasswords*>(w);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->windowTitle(), "Assign fields for Import...");
        for (const char* b : {"&Next", "&Picture", "&Assign", "A&uto", "&Unassign", "&OK", "&Cancel", "Help"}) {
            EXPECT_TRUE(button(w, b)) << b;
        }
        EXPECT_EQ(rows(window->columnList(), 0), QStringList({"Field_1", "Field_2", "Field_3", "Field_4"}));
        EXPECT_EQ(rows(window->columnList(), 1), QStringList({"Alpha-num", "Alpha-num", "Numeric", "Alpha-num"}));
        EXPECT_EQ(rows(window->columnList(), 2).first(), "P_:Service");
        EXPECT_EQ(window->targetList()->topLevelItemCount(), 20);
        EXPECT_EQ(window->recordCounter()->text(), "Rec# 1");
        EXPECT_EQ(window->stripHeader()->text(), "Strip &header record (field names)");

        button(w, "&OK")->click();
        EXPECT_EQ(ts.messages().titles(), QStringList{"No Fields Selected for Import!"});

        button(w, "A&uto")->click();
        EXPECT_TRUE(window->stripHeader()->isChecked());
        const QStringList signs = rows(window->targetList(), 1);
        EXPECT_EQ(signs.count("="), 3);
        EXPECT_EQ(rows(window->targetList(), 2)[2], "Field_1");  // P_:Service

        // Selecting a target selects its column, and a column its target.
        window->targetList()->setCurrentItem(window->targetList()->topLevelItem(4));  // P_:Name
        EXPECT_EQ(window->columnList()->indexOfTopLevelItem(window->columnList()->currentItem()), 1);
        window->columnList()->setCurrentItem(window->columnList()->topLevelItem(0));
        EXPECT_EQ(window->targetList()->indexOfTopLevelItem(window->targetList()->currentItem()), 2);

        // One column feeds a second target by hand; then the date column gets its picture.
        window->columnList()->setCurrentItem(window->columnList()->topLevelItem(0));
        window->targetList()->setCurrentItem(window->targetList()->topLevelItem(13));  // P_:WindowTitleToLocate
        button(w, "&Assign")->click();
        EXPECT_EQ(window->assignment()[13], 0);
        window->columnList()->setCurrentItem(window->columnList()->topLevelItem(2));
        window->targetList()->setCurrentItem(window->targetList()->topLevelItem(5));  // P_:Password
        button(w, "&Assign")->click();
        button(w, "&Unassign")->click();
        EXPECT_EQ(window->assignment()[5], -1);
        window->columnList()->setCurrentItem(window->columnList()->topLevelItem(3));
        whenModal([&](QWidget* ask) {
            qobject_cast<AskPicture*>(ask)->entry()->setText("@d17");
            button(ask, "&OK")->click();
        });
        button(w, "&Picture")->click();
        EXPECT_EQ(rows(window->columnList(), 1)[3], "@d17");

        button(w, "&Next")->click();
        EXPECT_EQ(window->recordCounter()->text(), "Rec# 2");
        EXPECT_FALSE(button(w, "A&uto")->isEnabled());
        EXPECT_EQ(rows(window->columnList(), 2)[0], "Mail");
        button(w, "&Next")->click();
        button(w, "&Next")->click();
        EXPECT_FALSE(button(w, "&Next")->isEnabled());
        checked = true;
        button(w, "&OK")->click();
    });
    ImportPasswords::run(context());
    ASSERT_TRUE(checked);
    EXPECT_EQ(dialogs.requests[0].title, "Import Comma-Separated Value File");
    EXPECT_EQ(activity, 2);
    const auto entries = Table<PasswordRecord>(ts.store()).readPhysical();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].service, "Mail");
    EXPECT_EQ(entries[0].name, "ann");
    EXPECT_EQ(entries[0].windowTitleToLocate, "Mail");
    EXPECT_EQ(entries[0].expiryDate, 81234);
    EXPECT_EQ(entries[0].password, "");
    EXPECT_EQ(entries[1].expiryDate, 0);
    EXPECT_EQ(entries[1].level, 4000);
}

TEST_F(TransferWindowsTest, CancellingTheUserOrTheFileEndsWithoutAWindow) {
    Login(ts.store()).ensureDefaultUser();
    ImportPasswords::run(context());  // the dialog is cancelled
    EXPECT_EQ(dialogs.requests.size(), 1);
    EXPECT_FALSE(DelimitedText::busy());
    auto held = DelimitedText::claim(ts.messages());
    ImportPasswords::run(context());  // another transfer holds the engine: nothing happens
    ExportPasswords::run(context());
    EXPECT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

} // namespace
