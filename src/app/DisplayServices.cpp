#include "app/DisplayServices.h"

#include "app/DesktopChoice.h"

#include <cstdio>
#include <cstdlib>

namespace zendrel {

SendBackends displayBackends() {
    auto opened = std::make_shared<OpenedDesktop>(openDesktop(true, ownApplicationIds()));
    return {opened, opened->keyboard.get(), opened->desktop.get()};
}

ThreadDesktop threadDesktop() {
    OpenedDesktop opened = openDesktop(false, ownApplicationIds());
    ThreadDesktop d;
    d.desktop = std::move(opened.desktop);
    d.owner = std::move(opened.owner);
    d.note = opened.note;
    return d;
}

TerminateHandler endProgram(const char* program) {
    return [program](const QString& reason) {
        std::fprintf(stderr, "%s: %s\n", program, qPrintable(reason));
        std::exit(1);
    };
}

} // namespace zendrel
