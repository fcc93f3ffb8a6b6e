#include "platform/device_node.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace thwacko {
namespace {

// The notifier may be going away from inside its own signal (a handler that stops delivery), so
// it is disabled at once and deleted by the event loop.
void retire(QSocketNotifier* notifier) {
  notifier->setEnabled(false);
  notifier->disconnect();
  notifier->deleteLater();
}

}  // namespace

std::int32_t DeviceNode::open(const std::filesystem::path& path) {
  close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return fd_ < 0 ? -errno : 0;
}

void DeviceNode::adopt(int fd) {
  close();
  fd_ = fd;
}

void DeviceNode::watch(std::function<void()> onReadable) {
  if (fd_ < 0) return;
  notifier_ = {new QSocketNotifier(fd_, QSocketNotifier::Read), retire};
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, std::move(onReadable));
}

void DeviceNode::unwatch() { notifier_.reset(); }

void DeviceNode::close() {
  unwatch();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

DeviceNode::Read DeviceNode::read(std::span<std::uint8_t> buffer) {
  while (true) {
    const ssize_t count = ::read(fd_, buffer.data(), buffer.size());
    if (count > 0) return {static_cast<std::size_t>(count), std::nullopt};
    if (count == 0) return {0, "end of file"};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
    return {0, std::strerror(errno)};
  }
}

}  // namespace thwacko
