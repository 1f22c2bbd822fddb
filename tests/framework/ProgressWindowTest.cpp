// Window tests: built as their own program (linking zendrel_ui and GTest::gtest), since widgets need a
// QApplication rather than the QCoreApplication of the other test programs.
#include "framework/ProgressWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace zendrel;

namespace {

// Lets queued events and timers run for a while, as the interface would between slices.
void spin(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(ProgressWindow, RunsSlicesToTheEndWhileShownAndEndsAccepted) {
    int slices = 0;
    bool alwaysShown = true;
    ProgressWindow window([&](ProgressWindow& w) {
        alwaysShown = alwaysShown && w.isVisible();
        ++slices;
        w.setProgress(slices, 5);
        w.setLines(QStringLiteral("Sending"), QStringLiteral("%1% Completed").arg(slices * 20));
        return slices < 5;
    });
    EXPECT_EQ(window.run(), QDialog::Accepted);
    EXPECT_EQ(slices, 5);
    EXPECT_TRUE(alwaysShown);
    EXPECT_FALSE(window.cancelled());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Progress...");
    EXPECT_EQ(window.bar()->value(), window.bar()->maximum());
    EXPECT_EQ(window.upperLine()->text(), "Sending");
    EXPECT_EQ(window.lowerLine()->text(), "100% Completed");
    EXPECT_EQ(window.cancelButton()->text(), "Cancel");
    EXPECT_EQ(window.cancelButton()->accessibleName(), "Cancel");
    EXPECT_EQ(window.lowerLine()->accessibleName(), "100% Completed");
}

enum class CancelBy { Button, Escape, CloseBox };

class CancelTest : public ::testing::TestWithParam<CancelBy> {};

TEST_P(CancelTest, StopsThePassAndEndsRejected) {
    int slices = 0;
    ProgressWindow window([&](ProgressWindow& w) {
        if (++slices == 3) {
            // Queued, so that it arrives between slices as a person's action would.
            switch (GetParam()) {
            case CancelBy::Button:
                QTimer::singleShot(0, w.cancelButton(), &QPushButton::click);
                break;
            case CancelBy::Escape:
                QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                break;
            case CancelBy::CloseBox:
                QTimer::singleShot(0, &w, &QWidget::close);
                break;
            }
        }
        return true;
    });
    EXPECT_EQ(window.run(), QDialog::Rejected);
    EXPECT_TRUE(window.cancelled());
    EXPECT_GE(slices, 3);
    const int atCancel = slices;
    spin(50);
    EXPECT_EQ(slices, atCancel);
}

INSTANTIATE_TEST_SUITE_P(Ways, CancelTest, ::testing::Values(CancelBy::Button, CancelBy::Escape, CancelBy::CloseBox));

TEST(ProgressWindow, ASliceShowingAMessageIsNotEnteredAgainMeanwhile) {
    int slices = 0;
    int depth = 0;
    int deepest = 0;
    ProgressWindow window([&](ProgressWindow&) {
        deepest = std::max(deepest, ++depth);
        if (++slices == 1) {
            spin(50); // the event loop of a message box
        }
        --depth;
        return slices < 3;
    });
    EXPECT_EQ(window.run(), QDialog::Accepted);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(slices, 3);
}

TEST(ProgressWindow, AFailingSliceEndsThePassAndTheFailureReachesTheCaller) {
    int slices = 0;
    ProgressWindow window([&](ProgressWindow&) -> bool {
        if (++slices == 2) {
            throw std::runtime_error("disk full");
        }
        return true;
    });
    EXPECT_THROW(window.run(), std::runtime_error);
    EXPECT_EQ(slices, 2);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.cancelled());
}

TEST(ProgressWindow, CountsBeyondTheBarsRangeAreScaledAndNonsenseIsBounded) {
    ProgressWindow window([](ProgressWindow&) { return false; });
    window.setProgress(3'000'000'000LL, 6'000'000'000LL);
    EXPECT_GT(window.bar()->maximum(), 0);
    EXPECT_NEAR(2.0 * window.bar()->value() / window.bar()->maximum(), 1.0, 0.001);
    window.setProgress(7, 0);
    EXPECT_EQ(window.bar()->value(), 0);
    window.setProgress(-5, 10);
    EXPECT_EQ(window.bar()->value(), 0);
    window.setProgress(15, 10);
    EXPECT_EQ(window.bar()->value(), window.bar()->maximum());
}

} // namespace
