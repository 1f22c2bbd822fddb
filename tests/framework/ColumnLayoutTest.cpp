// Part of the window test program whose main() is in ProgressWindowTest.cpp.
#include "framework/ColumnLayout.h"

#include "framework/WindowPositions.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

const QString kProcedure = QStringLiteral("BrowseUsers");
const QString kList = QStringLiteral("?Browse:1");

// A list's header as its window builds it: the designed columns and widths.
struct List {
    explicit List(int columns, int width = 100) {
        model.setColumnCount(columns);
        header.setModel(&model);
        for (int i = 0; i < columns; ++i) {
            header.resizeSection(i, width);
        }
    }
    QStandardItemModel model;
    QHeaderView header{Qt::Horizontal};
};

class ColumnLayoutTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    WindowPositions positions{dir.filePath(QStringLiteral("POSITION.INI"))};

    // Opens the list, lets the user widen the second column and move the third to the front, closes it.
    void customise(int columns) {
        List list(columns);
        restoreColumns(&list.header, positions, kProcedure, kList);
        list.header.resizeSection(1, 250);
        list.header.moveSection(2, 0);
        saveColumns(&list.header, positions, kProcedure, kList);
    }
};

TEST_F(ColumnLayoutTest, TheUsersLayoutComesBackWhileTheDesignIsUnchanged) {
    customise(3);
    EXPECT_FALSE(positions.value(kProcedure, QStringLiteral("SRCFOriginal?Browse:1")).isEmpty());
    EXPECT_FALSE(positions.value(kProcedure, QStringLiteral("SRCF?Browse:1")).isEmpty());

    List reopened(3);
    restoreColumns(&reopened.header, positions, kProcedure, kList);
    EXPECT_EQ(reopened.header.sectionSize(1), 250);
    EXPECT_EQ(reopened.header.visualIndex(2), 0);
}

struct DesignChange {
    int columns;
    int width;
};

class ChangedDesignTest : public ColumnLayoutTest, public ::testing::WithParamInterface<DesignChange> {};

TEST_P(ChangedDesignTest, DropsTheUsersLayoutForGood) {
    customise(3);
    const DesignChange change = GetParam();
    for (int opening = 0; opening < 2; ++opening) {
        // The second opening sees the new design stored, yet no longer the old user's layout.
        List list(change.columns, change.width);
        const QByteArray design = list.header.saveState();
        restoreColumns(&list.header, positions, kProcedure, kList);
        EXPECT_EQ(list.header.saveState(), design) << "opening " << opening;
        EXPECT_EQ(list.header.sectionSize(1), change.width);
        EXPECT_EQ(list.header.visualIndex(2), 2);
        EXPECT_EQ(positions.value(kProcedure, QStringLiteral("SRCFOriginal?Browse:1")), design);
    }
}

INSTANTIATE_TEST_SUITE_P(Designs, ChangedDesignTest, ::testing::Values(DesignChange{4, 100}, DesignChange{3, 80}));

TEST_F(ColumnLayoutTest, ADamagedUserLayoutLeavesTheDesign) {
    customise(3);
    positions.setValue(kProcedure, QStringLiteral("SRCF?Browse:1"), QByteArray("\x00\x00\x00\xff garbage", 12));
    List list(3);
    const QByteArray design = list.header.saveState();
    restoreColumns(&list.header, positions, kProcedure, kList);
    EXPECT_EQ(list.header.saveState(), design);
}

} // namespace
