#pragma once

#include <sys/types.h>

#include <QSocketNotifier>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace thwacko {

// A character device opened read-only and non-blocking, watched by the Qt event loop. What the
// sensor back ends share: open with a negative error number, one read at a time, and the three
// ways a device ends (end of file, a read error, a vanished node) turned into one reason.
class DeviceNode {
 public:
  DeviceNode() = default;
  DeviceNode(const DeviceNode&) = delete;
  DeviceNode& operator=(const DeviceNode&) = delete;
  ~DeviceNode() { close(); }

  // 0, or the negative error number of open(2).
  std::int32_t open(const std::filesystem::path& path);
  // Takes over a descriptor opened elsewhere (an eventfd), non-blocking like the rest.
  void adopt(int fd);
  // Calls onReadable on the main thread whenever the device has data, an error or a hang-up.
  void watch(std::function<void()> onReadable);
  void unwatch();
  void close();

  // Bytes read (more than 0); nothing when no data is waiting; the reason when the device has
  // ended or failed.
  struct Read {
    std::size_t length = 0;
    std::optional<std::string> lost;
  };
  Read read(std::span<std::uint8_t> buffer);
  // The open descriptor, for the ioctls of a back end; -1 when closed.
  int descriptor() const { return fd_; }

 private:
  int fd_ = -1;
  std::unique_ptr<QSocketNotifier, void (*)(QSocketNotifier*)> notifier_{nullptr, nullptr};
};

}  // namespace thwacko
