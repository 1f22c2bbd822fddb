// What windows show, read over a real accessibility bus: the test starts a session bus and the accessibility
// bus on it, and small Qt windows (label_window) on the X server that with-x11.sh started.
#include "platform/atspi/AtspiTexts.h"
#include "support/AccessibilityBuses.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

using namespace zendrel;
using namespace std::chrono_literals;

namespace {

const auto* const kBuses = ::testing::AddGlobalTestEnvironment(new test::AccessibilityBuses);

// A label_window on the screen, described on the bus.
class LabelWindow {
public:
    LabelWindow(const QString& title, const QString& label, int extraLabels = 0) : m_title(title.toStdString()) {
        // Qt describes its windows only for a screen reader, or when told to always.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(ZENDREL_LABEL_WINDOW), {title, label, QString::number(extraLabels)});
        m_process.waitForStarted(10000);
    }
    ~LabelWindow() {
        if (m_stopped) {
            kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
        }
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    int64_t pid() const { return m_process.processId(); }
    const std::string& title() const { return m_title; }
    // Waits until the window's label can be read.
    bool described(AccessibleTexts& texts, const std::string& label) {
        for (int i = 0; i < 100; ++i) {
            const auto r = texts.read(pid(), m_title).texts;
            if (std::find(r.begin(), r.end(), label) != r.end()) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    void stop() {
        kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
        m_stopped = true;
    }

private:
    QProcess m_process;
    std::string m_title;
    bool m_stopped = false;
};

bool has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

TEST(AccessibleTextsTest, ReadsTheLabelsOfTheWindowOfThatProgramAndTitleOnly) {
    atspi::AtspiTexts texts;
    LabelWindow bank("Sign in", "Enter your bank password");
    LabelWindow help("Sign in", "Help");
    ASSERT_TRUE(bank.described(texts, "Enter your bank password"));
    ASSERT_TRUE(help.described(texts, "Help"));
    EXPECT_TRUE(atspi::AtspiTexts::busAvailable());
    const auto read = texts.read(bank.pid(), "Sign in");
    EXPECT_FALSE(read.timedOut);
    EXPECT_TRUE(has(read.texts, "Typed")) << "the field's name";
    EXPECT_FALSE(has(read.texts, "Help"));
    EXPECT_FALSE(has(read.texts, "Sign in")) << "the window's own title is not one of its texts";
    EXPECT_TRUE(texts.read(bank.pid(), "Sign in - other").texts.empty()) << "another title";
    EXPECT_TRUE(texts.read(getpid(), "Sign in").texts.empty()) << "this program itself is never asked";
}

TEST(AccessibleTextsTest, TextsAreCutTo254CharactersAndLargeWindowsToTheLimits) {
    atspi::AtspiTexts texts;
    const QString longLabel = QStringLiteral("\u00e9").repeated(300);
    LabelWindow window("Many", longLabel, 500);
    const std::string cut = QString(longLabel.left(254)).toStdString();
    ASSERT_TRUE(window.described(texts, cut));
    const auto all = texts.read(window.pid(), "Many");
    EXPECT_TRUE(has(all.texts, "Row 500")) << "500 labels are within the default limits";

    atspi::AtspiTexts few(atspi::TextLimits{40, 50, 200});
    const auto some = few.read(window.pid(), "Many");
    EXPECT_FALSE(some.timedOut);
    EXPECT_TRUE(has(some.texts, cut));
    EXPECT_FALSE(has(some.texts, "Row 100")) << "no more than 50 controls are looked at";
    EXPECT_LE(some.texts.size(), 100u);
}

TEST(AccessibleTextsTest, AProgramThatStopsAnsweringCostsAtMostTheLimitAndShowsNothing) {
    atspi::AtspiTexts texts;
    LabelWindow window("Stopped", "Enter your bank password", 200);
    ASSERT_TRUE(window.described(texts, "Enter your bank password"));
    window.stop();
    for (int pass = 0; pass < 2; ++pass) {
        const auto began = std::chrono::steady_clock::now();
        const auto read = texts.read(window.pid(), "Stopped");
        const auto took = std::chrono::steady_clock::now() - began;
        EXPECT_TRUE(read.timedOut) << "pass " << pass;
        EXPECT_TRUE(read.texts.empty());
        EXPECT_LT(took, 400ms) << "pass " << pass << ": the limit is 200 ms";
    }
}

} // namespace
