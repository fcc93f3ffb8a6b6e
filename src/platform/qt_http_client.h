#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSslCertificate>
#include <chrono>

#include "app/http_client.h"

namespace thwacko {

// HttpClient over QNetworkAccessManager. Servers must present a certificate that the system's
// certificate authorities (plus any extra ones given) vouch for; redirects are followed unless
// they go from https to http; nothing is read from or written to a cache.
class QtHttpClient final : public QObject, public HttpClient {
  Q_OBJECT

 public:
  struct Options {
    // Trusted in addition to the system's authorities, e.g. a test server's own certificate.
    QList<QSslCertificate> extraCaCertificates;
    // A request still unfinished this long after it started is given up, however steadily its
    // bytes arrive (the transfer time-out only catches a transfer that stalls).
    std::chrono::milliseconds deadline{30'000};
  };

  QtHttpClient();
  explicit QtHttpClient(Options options, QObject* parent = nullptr);
  // Requests still in flight are abandoned without calling their completions.
  ~QtHttpClient() override;

  void get(const HttpRequest& request, Completion completion) override;

 private:
  Options options_;
  QNetworkAccessManager manager_;
};

}  // namespace thwacko
