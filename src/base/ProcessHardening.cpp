#include "base/ProcessHardening.h"

#include <cstdlib>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace zendrel {

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The leak checker stops the program's threads with ptrace from a helper process at exit, which a process
// that is not dumpable refuses to anyone but root: the mark is lifted just before it runs. Only sanitizer
// builds do this; what they test is the rest of the program.
void allowLeakCheck() {
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
}
#endif

} // namespace

bool hardenProcess() {
    bool ok = true;
    const struct rlimit none {0, 0};
    ok = ::setrlimit(RLIMIT_CORE, &none) == 0 && ok;
    ok = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && ok;
    ::umask(077);
#if defined(__SANITIZE_ADDRESS__)
    static const bool registered = std::atexit(allowLeakCheck) == 0;
    (void)registered;
#endif
    return ok;
}

} // namespace zendrel
