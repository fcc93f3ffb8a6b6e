#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace thwacko {

// A private root directory with the sys/ and dev/ parts the sensor back ends read; device nodes
// are FIFOs that a test writes reports into. Removed with everything in it when destroyed.
class FakeSensorTree {
 public:
  FakeSensorTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "thwacko-sensor-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directories(root_ / "dev");
    std::signal(SIGPIPE, SIG_IGN);  // a write to a FIFO nobody reads fails instead
  }
  FakeSensorTree(const FakeSensorTree&) = delete;
  FakeSensorTree& operator=(const FakeSensorTree&) = delete;
  ~FakeSensorTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  const std::filesystem::path& root() const { return root_; }

  void writeFile(const std::filesystem::path& relative, std::string_view content) {
    std::filesystem::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << content;
  }
  void makeFifo(const std::filesystem::path& relative) {
    if (mkfifo((root_ / relative).c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  }

  // hidrawN with the given report descriptor, its node a FIFO.
  void addHidraw(int number, std::span<const std::uint8_t> descriptor) {
    const std::string name = "hidraw" + std::to_string(number);
    writeFile("sys/class/hidraw/" + name + "/device/report_descriptor",
              std::string_view(reinterpret_cast<const char*>(descriptor.data()), descriptor.size()));
    makeFifo("dev/" + name);
  }

 private:
  std::filesystem::path root_;
};

// The writing end of a FIFO, opened without waiting for a reader: a reader is held open just
// long enough for the open to succeed. Closing it is what a vanishing device looks like.
class FifoWriter {
 public:
  explicit FifoWriter(const std::filesystem::path& fifo) {
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    fd_ = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader >= 0) ::close(reader);
    if (fd_ < 0) throw std::runtime_error("cannot open " + fifo.string() + " for writing");
  }
  FifoWriter(const FifoWriter&) = delete;
  FifoWriter& operator=(const FifoWriter&) = delete;
  ~FifoWriter() { close(); }

  // One write: a report of up to PIPE_BUF bytes arrives whole.
  bool write(std::span<const std::uint8_t> bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

}  // namespace thwacko
