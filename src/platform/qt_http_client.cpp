#include "platform/qt_http_client.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <memory>

namespace thwacko {
namespace {

// Whether the reply ended with a complete HTTP response, whatever its status code: Qt reports
// 4xx as content errors (201-299) and 5xx as server errors (401-499).
bool receivedWholeResponse(const QNetworkReply& reply) {
  const int error = reply.error();
  return error == QNetworkReply::NoError || (error >= 201 && error <= 299) || (error >= 401 && error <= 499);
}

// Qt counts the transfer time-out in whole milliseconds.
int transferTimeoutMs(double seconds) {
  return std::isfinite(seconds) ? static_cast<int>(std::clamp(seconds * 1000.0, 1.0, 3'600'000.0)) : 10'000;
}

}  // namespace

QtHttpClient::QtHttpClient() : QtHttpClient(Options{}) {}

QtHttpClient::QtHttpClient(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

QtHttpClient::~QtHttpClient() {
  for (QNetworkReply* reply : manager_.findChildren<QNetworkReply*>()) {
    reply->disconnect(this);
    reply->abort();
  }
}

void QtHttpClient::get(const HttpRequest& request, Completion completion) {
  QNetworkRequest networkRequest(QUrl(QString::fromStdString(request.url)));
  networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  networkRequest.setTransferTimeout(transferTimeoutMs(request.timeoutSeconds));
  if (!options_.extraCaCertificates.isEmpty()) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(options_.extraCaCertificates);
    networkRequest.setSslConfiguration(tls);
  }

  QNetworkReply* reply = manager_.get(networkRequest);
  const auto limit = static_cast<qint64>(std::min<std::size_t>(request.maxBodyBytes, 1u << 30));
  reply->setReadBufferSize(limit + 1);

  // The body is collected as it arrives so that an over-long one is cut off early.
  struct Transfer {
    QByteArray body;
    bool tooLong = false;
  };
  auto transfer = std::make_shared<Transfer>();
  const auto collect = [reply, transfer, limit] {
    if (transfer->tooLong) return;
    if (reply->isOpen()) transfer->body.append(reply->read(limit + 1 - transfer->body.size()));
    if (transfer->body.size() > limit ||
        reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > limit) {
      transfer->tooLong = true;
      transfer->body.clear();
      reply->abort();
    }
  };
  auto* deadline = new QTimer(reply);
  deadline->setSingleShot(true);
  connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
  connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
  deadline->start(options_.deadline);
  connect(reply, &QNetworkReply::metaDataChanged, this, collect);
  connect(reply, &QNetworkReply::readyRead, this, collect);
  connect(reply, &QNetworkReply::finished, this,
          [reply, transfer, collect, completion = std::move(completion)] {
            reply->deleteLater();
            collect();
            if (transfer->tooLong || !receivedWholeResponse(*reply)) {
              completion(std::nullopt);
            } else {
              completion(transfer->body.toStdString());
            }
          });
}

}  // namespace thwacko
