#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/log_sink.h"

namespace thwacko {

// A log sink that keeps every line, for tests that check diagnostics.
class RecordingLog final : public LogSink {
 public:
  void write(std::string_view line) override { lines.emplace_back(line); }

  std::vector<std::string> lines;
};

}  // namespace thwacko
