#include "platform/system_log.h"

#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace thwacko {

SystemLog::SystemLog() : toTerminal_(isatty(STDERR_FILENO) == 1) { openlog("thwacko", LOG_PID, LOG_USER); }

SystemLog::~SystemLog() { closelog(); }

void SystemLog::write(std::string_view line) {
  const std::string text(line);
  syslog(LOG_NOTICE, "%s", text.c_str());
  if (toTerminal_) std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace thwacko
