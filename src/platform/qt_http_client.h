#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSslCertificate>

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
  };

  explicit QtHttpClient(Options options = {}, QObject* parent = nullptr);
  // Requests still in flight are abandoned without calling their completions.
  ~QtHttpClient() override;

  void get(const HttpRequest& request, Completion completion) override;

 private:
  Options options_;
  QNetworkAccessManager manager_;
};

}  // namespace thwacko
