#pragma once

namespace zendrel {

// What every program does first in main(), before any key or secret exists:
//  - no core file: the core size limit is 0, and the process is marked not dumpable, which also keeps
//    other processes of the same user from reading its memory through /proc or a debugger (a core
//    handler behind a pipe may ignore the size limit, but not the mark);
//  - every file the program creates is readable by its owner only, and every directory it creates is
//    his alone (umask 077). Files that exist keep their modes.
// Returns false when one of the steps failed; the others are still taken.
bool hardenProcess();

} // namespace zendrel
