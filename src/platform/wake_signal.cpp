#include "platform/wake_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace thwacko {

int WakeSignal::open(std::function<void()> onWake) {
  close();
  fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd_ < 0) return -errno;
  node_.adopt(fd_);
  node_.watch([this, onWake = std::move(onWake)] {
    std::array<std::uint8_t, sizeof(std::uint64_t)> count{};
    node_.read(count);
    onWake();
  });
  return 0;
}

void WakeSignal::wake() noexcept {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void WakeSignal::close() {
  node_.close();
  fd_ = -1;
}

}  // namespace thwacko
