#pragma once

#include <string_view>

namespace thwacko {

// Where an object's diagnostic lines go: one call per line, without the line break.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void write(std::string_view line) = 0;
};

// Drops every line: for programs and tests that do not show diagnostics.
class NullLog final : public LogSink {
 public:
  void write(std::string_view) override {}
};

// Standard output, flushed per line.
class StdoutLog final : public LogSink {
 public:
  void write(std::string_view line) override;
};

}  // namespace thwacko
