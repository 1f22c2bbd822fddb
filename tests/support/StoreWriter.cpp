// Inserts entries for one user in committed slices of 100, printing the count after each commit, until
// killed or done. The crash test kills it in the middle.
#include "support/ScriptedServices.h"
#include "data/DataStore.h"
#include "session/OwnerKeys.h"

#include <QCoreApplication>

#include <iostream>

using namespace zendrel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::cerr << "usage: store_writer DIR COUNT\n";
        return 2;
    }
    ScriptedMessages messages;
    SystemClock clock;
    DataStore store({QString::fromLocal8Bit(argv[1]), ownerKeys(), &messages, {}, &clock});
    const int total = std::atoi(argv[2]);
    int written = 0;
    while (written < total) {
        std::vector<Row> rows;
        for (int i = 0; i < 100; ++i, ++written) {
            PasswordRecord e;
            e.user = "Writer";
            e.service = QStringLiteral("Service %1").arg(written, 7, 10, QLatin1Char('0'));
            e.name = "name";
            e.password = "secret";
            e.notes = QString(200, 'n');
            e.level = 4000;
            rows.push_back(toRow(e));
        }
        if (!store.insertMany(tables::passwords(), rows)) {
            std::cerr << messages.shown.value(0).text.toStdString() << std::endl;
            return 1;
        }
        std::cout << written << std::endl;
    }
    return 0;
}
