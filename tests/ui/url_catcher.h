#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace thwacko {

// Stands in for the browser: remembers every web address the desktop was asked to open.
class UrlCatcher final : public QObject {
  Q_OBJECT

 public:
  UrlCatcher() {
    for (const char* scheme : {"http", "https"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
  }
  ~UrlCatcher() override {
    for (const char* scheme : {"http", "https"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }
  QStringList opened;

 public slots:
  void open(const QUrl& url) { opened << url.toString(); }
};

}  // namespace thwacko
