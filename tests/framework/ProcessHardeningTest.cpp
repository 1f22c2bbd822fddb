#include "base/ProcessHardening.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the routine and reports, as bits of the result, each of its effects that is missing.
int checksAfterHardening() {
    ::umask(022);
    const struct rlimit generous { RLIM_INFINITY, RLIM_INFINITY };
    ::setrlimit(RLIMIT_CORE, &generous);
    int failed = zendrel::hardenProcess() ? 0 : 1;
    struct rlimit core {};
    ::getrlimit(RLIMIT_CORE, &core);
    failed |= (core.rlim_cur != 0 || core.rlim_max != 0) ? 2 : 0;
    failed |= ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0 ? 4 : 0;
    char dir[] = "/tmp/hardeningXXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        return 64;
    }
    const std::string file = std::string(dir) + "/made";
    std::FILE* f = std::fopen(file.c_str(), "w");
    struct stat st {};
    failed |= (f == nullptr || ::stat(file.c_str(), &st) != 0 || (st.st_mode & 0777) != 0600) ? 8 : 0;
    const std::string sub = std::string(dir) + "/sub";
    failed |=
        (::mkdir(sub.c_str(), 0777) != 0 || ::stat(sub.c_str(), &st) != 0 || (st.st_mode & 0777) != 0700) ? 16 : 0;
    if (f != nullptr) {
        std::fclose(f);
    }
    ::unlink(file.c_str());
    ::rmdir(sub.c_str());
    ::rmdir(dir);
    return failed;
}

// In a child process, so that this test program keeps its own limits: the routine leaves no core size, a
// process that is not dumpable, and files made by the owner for the owner alone.
TEST(ProcessHardeningTest, NoCoreNoDumpingAndPrivateNewFiles) {
    EXPECT_EXIT(std::_Exit(checksAfterHardening()), ::testing::ExitedWithCode(0), "");
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
namespace {

void* volatile g_lastBlock = nullptr;

__attribute__((noinline)) void loseBlocks() {
    for (int i = 0; i < 8; ++i) {
        g_lastBlock = std::malloc(4321);
    }
    g_lastBlock = nullptr;
}

// The leak checker stops the threads with ptrace at exit; a process that is not dumpable must not keep it
// from reporting. Also without root's privilege to trace anything: tests may run as another user.
TEST(ProcessHardeningTest, TheLeakCheckerStillReportsAfterHardening) {
    EXPECT_EXIT(
        {
            zendrel::hardenProcess();
            if (::geteuid() == 0) {
                ::setgid(65534);
                ::setuid(65534);
            }
            loseBlocks();
            std::exit(0);
        },
        [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }, "LeakSanitizer: detected memory leaks");
}

} // namespace
#endif
