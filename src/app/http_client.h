#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace thwacko {

struct HttpRequest {
  std::string url;
  // Gives up when the transfer stalls for this long.
  double timeoutSeconds = 10;
  // A longer body is not delivered: the transfer stops once it is exceeded.
  std::size_t maxBodyBytes = 64 * 1024;
};

// HTTP(S) GET over the network, never from a local cache, with the server's certificate
// verified. Main thread.
class HttpClient {
 public:
  // The response body whatever the status code, or none when no response arrived (transport
  // or TLS failure, time-out) or the body was too long.
  using Completion = std::function<void(std::optional<std::string> body)>;

  virtual ~HttpClient() = default;
  // Starts the request and returns at once. The completion runs exactly once, on the main
  // thread, unless the client is destroyed first.
  virtual void get(const HttpRequest& request, Completion completion) = 0;
};

}  // namespace thwacko
