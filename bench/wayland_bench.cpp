// Typing and window finding under a headless sway (run it through bench/wayland_bench.sh, which starts one):
// 1. the same 2,000 mixed characters (ASCII, accented letters, CJK) typed into a foot terminal running cat, by
//    Zendrel's Wayland keyboard (send interval 0, one group) and by `wtype`, each timed until the whole line
//    has arrived;
// 2. finding a window among 200 foot windows (clients of one foot server) by its title.
#include "platform/Clock.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "send/Typist.h"
#include "send/WindowFinder.h"
#include "TypingBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace zendrel;

namespace {

QProcess* startFoot(wayland::WaylandDesktop& desktop, const QString& title, const QString& file) {
    auto* p = new QProcess;
    p->start("foot", {"--title", title, "sh", "-c", "stty -echo; exec cat > '" + file + "'"});
    for (int i = 0; i < 400; ++i) {
        if (WindowFinder(desktop).find(title, {}).found()) {
            break;
        }
        QThread::msleep(25);
    }
    QThread::msleep(500);
    return p;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    auto conn = wayland::WaylandConnection::open();
    if (!conn || !conn->canSend()) {
        std::fprintf(stderr, "no wlroots Wayland compositor\n");
        return 1;
    }
    wayland::WaylandDesktop desktop(*conn);
    wayland::WaylandKeyboard keyboard(*conn);
    SystemClock clock;
    QTemporaryDir dir;
    const QString text = bench::mixedText(
        2000, QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                             " .,;:!?@#$%^&*()-_=+/\\|'\"<>{}~`äöüßÄÖÜé€łØ東京空港"));

    // wtype first: its own virtual keyboard is made per run; Zendrel's already exists.
    const QString theirs = dir.filePath("wtype.txt");
    QProcess* f1 = startFoot(desktop, "Typing Wtype", theirs);
    WindowFinder(desktop).activate("Typing Wtype", {}, Activation::Main);
    QThread::msleep(300);
    QElapsedTimer t;
    t.start();
    QProcess::execute("wtype", {text, "-k", "Return"});
    QByteArray got;
    const qint64 wtypeMs = bench::waitForLine(theirs, t, got);
    const bool wtypeExact = QString::fromUtf8(got) == text + "\n";

    const QString ours = dir.filePath("zendrel.txt");
    QProcess* f2 = startFoot(desktop, "Typing Zendrel", ours);
    WindowFinder(desktop).activate("Typing Zendrel", {}, Activation::Main);
    QThread::msleep(300);
    Typist typist(keyboard, clock, SendSettings{7, 0});
    t.restart();
    typist.typeSendText(ExpandedText{text + "\n", std::vector<bool>(static_cast<size_t>(text.size()) + 1, true)});
    const qint64 zendrelMs = bench::waitForLine(ours, t, got);
    const bool zendrelExact = QString::fromUtf8(got) == text + "\n";

    std::printf("typing 2000 characters: zendrel %lld ms (%s), wtype %lld ms (%s), ratio wtype/zendrel %.2f\n",
                static_cast<long long>(zendrelMs), zendrelExact ? "all arrived" : "MISMATCH",
                static_cast<long long>(wtypeMs), wtypeExact ? "all arrived" : "MISMATCH",
                zendrelMs > 0 ? double(wtypeMs) / double(zendrelMs) : 0.0);
    for (QProcess* p : {f1, f2}) {
        p->kill();
        p->waitForFinished();
        delete p;
    }

    // Finding among 200 windows: one foot server, 200 of its client windows.
    QProcess server;
    server.start("foot", {"--server"});
    QThread::msleep(1000);
    std::vector<QProcess*> clients;
    for (int i = 0; i < 200; ++i) {
        auto* c = new QProcess;
        c->start("footclient", {"--title", QStringLiteral("Window number %1").arg(i), "sleep", "600"});
        clients.push_back(c);
    }
    for (int i = 0; i < 600 && desktop.topLevelWindows().size() < 200; ++i) {
        QThread::msleep(50);
    }
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
    std::printf("find among %zu windows: zendrel median %.2f ms, slowest %.2f ms\n", desktop.topLevelWindows().size(),
                ms[ms.size() / 2], ms.back());
    for (QProcess* c : clients) {
        c->kill();
        c->waitForFinished();
        delete c;
    }
    server.kill();
    server.waitForFinished();
    return 0;
}
