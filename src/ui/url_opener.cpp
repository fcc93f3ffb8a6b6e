#include "ui/url_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace thwacko {

void openURL(const std::string& url) {
  const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
  if (parsed.isValid() && !parsed.scheme().isEmpty()) QDesktopServices::openUrl(parsed);
}

}  // namespace thwacko
