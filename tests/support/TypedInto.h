#pragma once

// What the tests that type into real terminals share: finding a window by its exact title, and reading what
// arrived in the file the terminal's cat writes.
#include "platform/Desktop.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QThread>

namespace zendrel::test {

// The first top-level window, front to back, whose title is exactly `title`; 0 for none.
inline WindowId windowTitled(Desktop& desktop, const QString& title) {
    for (const auto& w : desktop.topLevelWindows()) {
        if (QString::fromStdString(w.text) == title) {
            return w.id;
        }
    }
    return 0;
}

// The file's contents once it holds `lines` line ends (or after ten seconds).
inline QByteArray received(const QString& file, int lines = 1) {
    QByteArray data;
    for (int i = 0; i < 400; ++i) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) {
            data = f.readAll();
            if (data.count('\n') >= lines) {
                break;
            }
        }
        QThread::msleep(25);
    }
    return data;
}

} // namespace zendrel::test
