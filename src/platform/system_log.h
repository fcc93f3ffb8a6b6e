#pragma once

#include "support/log_sink.h"

namespace thwacko {

// The system log: syslog(3) under the ident "thwacko", and standard error as well when it is
// a terminal, so that a developer running the app from a shell sees the lines.
class SystemLog final : public LogSink {
 public:
  SystemLog();
  ~SystemLog() override;
  SystemLog(const SystemLog&) = delete;
  SystemLog& operator=(const SystemLog&) = delete;

  void write(std::string_view line) override;

 private:
  bool toTerminal_;
};

}  // namespace thwacko
