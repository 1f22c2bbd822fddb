#pragma once

// What the typing benchmarks share: a reproducible mixed text and waiting for it to arrive in a file.
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QThread>

#include <random>

namespace zendrel::bench {

// `n` characters drawn from `pool` by a fixed seed, the same in every run.
inline QString mixedText(int n, const QString& pool) {
    std::mt19937 rng(7);
    QString s;
    for (int i = 0; i < n; ++i) {
        s += pool.at(static_cast<qsizetype>(rng() % pool.size()));
    }
    return s;
}

// Waits until the file holds a full line; returns milliseconds since `t` started, or -1 after a minute.
inline qint64 waitForLine(const QString& file, const QElapsedTimer& t, QByteArray& data) {
    while (t.elapsed() < 60000) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) {
            data = f.readAll();
            if (data.endsWith('\n')) {
                return t.elapsed();
            }
        }
        QThread::usleep(500);
    }
    return -1;
}

} // namespace zendrel::bench
