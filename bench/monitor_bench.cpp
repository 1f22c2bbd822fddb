// A send pass of the monitor engine over 1,000 monitored entries whose windows are absent, with 50
// top-level windows open, on a real X server (run it through bench/monitor_bench.sh).
#include "BenchData.h"
#include "monitor/MonitorEngine.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Keyboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>

using namespace zendrel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    auto conn = x11::X11Connection::open();
    if (!conn) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    Display* d = conn->display();
    for (int i = 0; i < 50; ++i) {
        Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), i, i, 40, 40, 0, 0, 0);
        XStoreName(d, w, QStringLiteral("Open window %1").arg(i).toUtf8().constData());
        XMapWindow(d, w);
    }
    XSync(d, False);
    QThread::msleep(1000);

    QTemporaryDir dir;
    bench::QuietMessages messages;
    SystemClock clock;
    DataStore store({dir.path(), ownerKeys(), &messages, {}, &clock});
    std::vector<Row> rows;
    for (int i = 0; i < 1000; ++i) {
        PasswordRecord e = bench::benchEntry(i);
        e.monitor = 1;
        e.secondsToWait = 0;
        e.doNotRepeatSeconds = 30;
        e.windowTitleToLocate = QStringLiteral("Absent window %1*").arg(i);
        rows.push_back(toRow(e));
    }
    store.insertMany(tables::passwords(), rows);

    x11::X11Desktop desktop(*conn);
    x11::X11Keyboard keyboard(*conn);
    MonitorEngine engine(EngineProgram::Main, store, keyboard, desktop, clock, SendSettings{7, 50}, {});
    engine.userOpened(QStringLiteral("Bench User"));
    engine.processUserList();
    std::vector<double> ms;
    for (int i = 0; i < 31; ++i) {
        QElapsedTimer t;
        t.start();
        engine.runSendPass(false);
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("send pass over %zu monitored rows, %zu windows open: median %.2f ms, worst %.2f ms\n",
                engine.rows().size(), desktop.topLevelWindows().size(), ms[ms.size() / 2], ms.back());
    return 0;
}
