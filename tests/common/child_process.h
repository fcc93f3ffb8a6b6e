#pragma once

#include <sys/prctl.h>

#include <QProcess>
#include <csignal>

namespace thwacko {

// Whatever `process` starts from now on is killed when this test program ends, also when it
// crashes or ctest kills it: no server or application of a test outlives the test.
inline void endWithThisProgram(QProcess& process) {
  process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

}  // namespace thwacko
