// From starting `zendrel` to its frame shown, on a data directory of 100,000 entries (run it through
// bench/frame_bench.sh, which starts a display and fills the directory).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_frame ZENDREL DATA_DIR\n");
        return 2;
    }
    std::vector<double> ms;
    for (int i = 0; i < 11; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(QString::fromLocal8Bit(argv[1]), {"Data=" + QString::fromLocal8Bit(argv[2]), "--report-shown"});
        while (p.waitForReadyRead(20000)) {
            if (p.readAll().contains("shown")) {
                break;
            }
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
        p.waitForFinished(20000);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("process start to frame shown: median %.1f ms (best %.1f, worst %.1f)\n", ms[ms.size() / 2],
                ms.front(), ms.back());
    return 0;
}
