// Typing and window finding on a real X server (run it through bench/x11_bench.sh, which starts one):
// 1. the same 2,000-character text typed into an xterm running cat, by Zendrel's X11 keyboard (send
//    interval 0, one group) and by `xdotool type --delay 0`, each timed until the whole line has arrived;
// 2. finding a window among 200 top-level windows, beside `xdotool search --name`.
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Keyboard.h"
#include "send/Typist.h"
#include "send/WindowFinder.h"
#include "TypingBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdio>

using namespace zendrel;

namespace {

QProcess* startTerm(const QString& title, const QString& file) {
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    p->setProcessEnvironment(env);
    p->start("xterm", {"-u8", "-T", title, "-e", "sh", "-c", "stty -echo; exec cat > '" + file + "'"});
    QThread::msleep(1500);
    return p;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    auto conn = x11::X11Connection::open();
    if (!conn) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    x11::X11Desktop desktop(*conn);
    x11::X11Keyboard keyboard(*conn);
    SystemClock clock;
    QTemporaryDir dir;
    const QString text = bench::mixedText(
        2000, QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                             " .,;:!?@#$%^&*()-_=+/\\|'\"<>{}~`"));

    // Typing.
    const QString ours = dir.filePath("zendrel.txt");
    QProcess* t1 = startTerm("Typing Zendrel", ours);
    WindowFinder(desktop).activate("Typing Zendrel", {}, Activation::Main);
    QThread::msleep(300);
    Typist typist(keyboard, clock, SendSettings{7, 0});
    QElapsedTimer t;
    t.start();
    typist.typeSendText(ExpandedText{text + "\n", std::vector<bool>(static_cast<size_t>(text.size()) + 1, true)});
    QByteArray got;
    const qint64 zendrelMs = bench::waitForLine(ours, t, got);
    const bool zendrelExact = QString::fromUtf8(got) == text + "\n";

    const QString theirs = dir.filePath("xdotool.txt");
    QProcess* t2 = startTerm("Typing Xdotool", theirs);
    WindowFinder(desktop).activate("Typing Xdotool", {}, Activation::Main);
    QThread::msleep(300);
    t.restart();
    QProcess::execute("xdotool", {"type", "--delay", "0", text + "\n"});
    const qint64 xdotoolMs = bench::waitForLine(theirs, t, got);
    const bool xdotoolExact = QString::fromUtf8(got) == text + "\n";

    std::printf("typing 2000 characters: zendrel %lld ms (%s), xdotool %lld ms (%s), ratio xdotool/zendrel %.2f\n",
                static_cast<long long>(zendrelMs), zendrelExact ? "all arrived" : "MISMATCH",
                static_cast<long long>(xdotoolMs), xdotoolExact ? "all arrived" : "MISMATCH",
                zendrelMs > 0 ? double(xdotoolMs) / double(zendrelMs) : 0.0);
    for (QProcess* p : {t1, t2}) {
        p->kill();
        p->waitForFinished();
        delete p;
    }

    // Finding among 200 top-level windows.
    Display* d = conn->display();
    std::vector<Window> windows;
    for (int i = 0; i < 200; ++i) {
        Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), i % 40, i % 30, 50, 50, 0, 0, 0);
        const QByteArray name = QStringLiteral("Window number %1").arg(i).toUtf8();
        XStoreName(d, w, name.constData());
        XMapWindow(d, w);
        windows.push_back(w);
    }
    XSync(d, False);
    QThread::msleep(1500);  // the window manager adopts them
    std::vector<double> ms;
    WindowFinder finder(desktop);
    for (int i = 0; i < 41; ++i) {
        QElapsedTimer f;
        f.start();
        const Located l = finder.find("Window number 0", {});
        ms.push_back(f.nsecsElapsed() / 1e6);
        if (!l.found()) {
            std::printf("find failed\n");
        }
    }
    std::sort(ms.begin(), ms.end());
    std::vector<double> xd;
    for (int i = 0; i < 11; ++i) {
        QElapsedTimer f;
        f.start();
        QProcess search;
        search.start("xdotool", {"search", "--name", "^Window number 0$"});
        search.waitForFinished();
        xd.push_back(f.nsecsElapsed() / 1e6);
    }
    std::sort(xd.begin(), xd.end());
    std::printf("find among %zu windows: zendrel median %.2f ms, xdotool search --name median %.2f ms\n",
                desktop.topLevelWindows().size(), ms[ms.size() / 2], xd[xd.size() / 2]);
    return 0;
}
