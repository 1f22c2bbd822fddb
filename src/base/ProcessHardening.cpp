#include "base/ProcessHardening.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace zendrel {

bool hardenProcess() {
    bool ok = true;
    const struct rlimit none {0, 0};
    ok = ::setrlimit(RLIMIT_CORE, &none) == 0 && ok;
    ok = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && ok;
    ::umask(077);
    // The leak checker of sanitizer builds still works: it marks the process dumpable itself while it stops
    // the threads to look at their memory.
    return ok;
}

} // namespace zendrel
