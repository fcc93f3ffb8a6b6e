#pragma once

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <string>

namespace thwacko {

// An HTTPS server on 127.0.0.1 (a free port) for back-end tests. Its certificate is made fresh
// by the openssl tool for IP address 127.0.0.1 and signed by itself, so only a client told to
// trust certificate() accepts it. Every request gets the same configurable response.
class HttpsTestServer {
 public:
  struct Response {
    int status = 200;
    QByteArray body{};
    // Without a Content-Length the body ends when the connection closes.
    bool sendLength = true;
    // Accept the request and never answer.
    bool stall = false;
    // Send the body one byte at a time, this many milliseconds apart.
    int trickleMs = 0;
  };

  HttpsTestServer() : listener_(*this) {
    const QString cert = dir_.filePath(QStringLiteral("cert.pem"));
    const QString key = dir_.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-days", "2", "-subj", "/CN=thwacko test server", "-addext", "subjectAltName=IP:127.0.0.1",
                   "-keyout", key, "-out", cert});
    if (!openssl.waitForFinished(15000) || openssl.exitCode() != 0) {
      qWarning("openssl could not make a certificate: %s", openssl.readAll().constData());
      return;
    }
    const auto certificates = QSslCertificate::fromPath(cert);
    QFile keyFile(key);
    if (certificates.size() != 1 || !keyFile.open(QIODevice::ReadOnly)) return;
    certificate_ = certificates.front();
    key_ = QSslKey(&keyFile, QSsl::Ec);
    started_ = !key_.isNull() && listener_.listen(QHostAddress::LocalHost);
  }

  HttpsTestServer(const HttpsTestServer&) = delete;
  HttpsTestServer& operator=(const HttpsTestServer&) = delete;

  bool started() const { return started_; }
  const QSslCertificate& certificate() const { return certificate_; }
  std::string url(const char* path = "/version.json") const {
    return "https://127.0.0.1:" + std::to_string(listener_.serverPort()) + path;
  }
  void setResponse(Response response) { response_ = std::move(response); }
  // Requests read in full so far.
  int requestCount() const { return requestCount_; }

 private:
  class Listener final : public QTcpServer {
   public:
    explicit Listener(HttpsTestServer& server) : server_(server) {}

   protected:
    void incomingConnection(qintptr descriptor) override {
      auto* socket = new QSslSocket(this);
      if (!socket->setSocketDescriptor(descriptor)) return socket->deleteLater();
      socket->setLocalCertificate(server_.certificate_);
      socket->setPrivateKey(server_.key_);
      connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QSslSocket::sslErrors, socket, [socket] { socket->abort(); });
      connect(socket, &QSslSocket::readyRead, socket, [this, socket] { server_.serve(*socket); });
      socket->startServerEncryption();
    }

   private:
    HttpsTestServer& server_;
  };

  void serve(QSslSocket& socket) {
    // Requests are small GETs: one header block, no body. Anything bigger is dropped.
    QByteArray& request = pending_[&socket];
    request += socket.readAll();
    if (request.size() > 16 * 1024) return socket.abort();
    if (!request.contains("\r\n\r\n")) return;
    pending_.remove(&socket);
    ++requestCount_;
    if (response_.stall) return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response_.status) + " Test\r\nConnection: close\r\n";
    if (response_.sendLength) head += "Content-Length: " + QByteArray::number(response_.body.size()) + "\r\n";
    const bool trickling = response_.trickleMs > 0;
    socket.write(head + "Content-Type: application/json\r\n\r\n" +
                 (trickling ? QByteArray() : response_.body));
    if (!trickling) return socket.disconnectFromHost();  // after the pending bytes are written
    auto* trickle = new QTimer(&socket);
    QObject::connect(trickle, &QTimer::timeout, &socket,
                     [&socket, body = response_.body, sent = 0]() mutable {
                       if (sent == body.size()) return socket.disconnectFromHost();
                       socket.write(body.mid(sent++, 1));
                     });
    trickle->start(response_.trickleMs);
  }

  QTemporaryDir dir_;
  QSslCertificate certificate_;
  QSslKey key_;
  Response response_;
  QHash<QSslSocket*, QByteArray> pending_;
  int requestCount_ = 0;
  bool started_ = false;
  Listener listener_;
};

}  // namespace thwacko
