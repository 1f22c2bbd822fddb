#include "app/cli/Cli.h"

#include <QCoreApplication>

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    zendrel::CliIo io{std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) == 1};
    return zendrel::runCli(args, io);
}
