#include "support/log_sink.h"

#include <cstdio>

namespace thwacko {

void StdoutLog::write(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace thwacko
