// Window tests run offscreen, each program with its own QApplication, on one screen of 1280 by 800
// pixels: the smallest desktop the windows are laid out for.
#include "framework/Application.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1280, "height": 800,
                    "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        f.close();
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    zendrel::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
