// The contents check over the accessibility bus (run it through bench/contents_bench.sh, which starts an X
// server, a session bus and the accessibility bus):
// 1. the contents check of a Qt window with 500 labels (label_window), the text found in its last label;
// 2. a send pass over 50 windows of one title, the 49 in front plain X windows without the text and the one
//    behind them the window with the 500 labels: every window is checked before the last one passes.
#include "platform/atspi/AtspiTexts.h"
#include "platform/x11/X11Desktop.h"
#include "send/WindowFinder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <X11/Xlib.h>

using namespace zendrel;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class F> std::vector<double> timed(int runs, F f) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_contents LABEL_WINDOW\n");
        return 2;
    }
    auto conn = x11::X11Connection::open();
    if (!conn) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    x11::X11Desktop desktop(*conn);
    QProcess window;
    window.start(QString::fromLocal8Bit(argv[1]), {"Sign in", "Enter your bank password", "500"});
    window.waitForStarted();
    atspi::AtspiTexts texts;
    AccessibleReading reading;
    for (int i = 0; i < 100; ++i) {
        reading = texts.read(window.processId(), "Sign in");
        if (std::find(reading.texts.begin(), reading.texts.end(), "Row 500") != reading.texts.end()) {
            break;
        }
        QThread::msleep(100);
    }
    if (std::find(reading.texts.begin(), reading.texts.end(), "Row 500") == reading.texts.end()) {
        std::fprintf(stderr, "the window's labels cannot be read\n");
        return 1;
    }
    bool ok = true;
    WindowFinder finder(desktop);
    const auto check = timed(41, [&] { ok = ok && finder.find("Sign in", "Row 500").found(); });
    const auto read = timed(41, [&] { texts.read(window.processId(), "Sign in"); });
    std::printf("contents check of a window with %zu texts: median %.2f ms (reading alone %.2f ms)%s\n",
                reading.texts.size(), median(check), median(read), ok ? "" : " NOT FOUND");

    Display* d = conn->display();
    for (int i = 0; i < 49; ++i) {
        Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), i % 40, i % 30, 50, 50, 0, 0, 0);
        XStoreName(d, w, "Sign in");
        XMapWindow(d, w);
    }
    XSync(d, False);
    QThread::msleep(1500);  // the window manager adopts them, in front of the labelled window
    const size_t windows = desktop.topLevelWindows().size();
    const auto pass = timed(41, [&] { ok = ok && finder.find("Sign in", "Row 500").found(); });
    std::printf("send pass over %zu windows titled alike, the labelled one last: median %.2f ms, slowest %.2f ms%s\n",
                windows, median(pass), *std::max_element(pass.begin(), pass.end()), ok ? "" : " NOT FOUND");
    window.kill();
    window.waitForFinished();
    return ok ? 0 : 1;
}
