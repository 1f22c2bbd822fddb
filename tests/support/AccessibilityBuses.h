#pragma once

// A session bus of the test program's own and the accessibility bus on it, for tests that read windows
// over the bus: registered once per test program as a gtest environment, ended with it.
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace zendrel::test {

class AccessibilityBuses : public ::testing::Environment {
public:
    void SetUp() override {
        QProcess launch;
        launch.start(QStringLiteral("dbus-launch"), {QStringLiteral("--sh-syntax")});
        ASSERT_TRUE(launch.waitForFinished(10000));
        const QString out = QString::fromUtf8(launch.readAllStandardOutput());
        const QRegularExpression line(QStringLiteral("(DBUS_SESSION_BUS_\\w+)='?([^';\\n]*)'?;"));
        for (auto it = line.globalMatch(out); it.hasNext();) {
            const auto m = it.next();
            qputenv(m.captured(1).toLatin1().constData(), m.captured(2).toUtf8());
        }
        ASSERT_FALSE(qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty());
        m_launcher = fork();
        if (m_launcher == 0) {
            setpgid(0, 0);  // with the bus and the registry it starts, so that all end together
            execl("/usr/libexec/at-spi-bus-launcher", "at-spi-bus-launcher", "--launch-immediately", nullptr);
            _exit(127);
        }
    }
    void TearDown() override {
        if (m_launcher > 0) {
            kill(-m_launcher, SIGTERM);
        }
        kill(qEnvironmentVariableIntValue("DBUS_SESSION_BUS_PID"), SIGTERM);
    }

private:
    pid_t m_launcher = 0;
};

} // namespace zendrel::test
