#include "platform/qsettings_preferences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <variant>

namespace thwacko {
namespace {

// Long enough to gather a burst of writes (a slider drag, a run of taps) into one save.
constexpr int kSaveDelayMs = 250;

QVariant toVariant(const PreferenceValue& value) {
  if (const auto* data = std::get_if<PreferenceData>(&value))
    return QByteArray(data->bytes.data(), static_cast<qsizetype>(data->bytes.size()));
  // Everything else as text: an INI file gives back text anyway, and numbers are written with
  // enough digits (%.17g) to read back exactly.
  return QString::fromStdString(*preferenceString(value));
}

std::optional<PreferenceValue> fromVariant(const QVariant& variant) {
  switch (variant.typeId()) {
    case QMetaType::QByteArray: {
      const QByteArray bytes = variant.toByteArray();
      return PreferenceData{std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()))};
    }
    case QMetaType::QString:
      return variant.toString().toStdString();
    default:
      return std::nullopt;  // lists and other types are not ours: read as no value
  }
}

using Values = std::map<std::string, PreferenceValue, std::less<>>;

// Why the file at the path cannot be used as a settings file, if it cannot. Only a regular file,
// or a symbolic link to one, is opened at all (without blocking, should it have changed in the
// meantime): a FIFO would block the reader, and a device is not a settings file. Every line
// QSettings writes ends in a line end, so a file that stops inside a line was cut short (a crash
// or a full disk during a save that was not atomic), and so was its last value.
std::optional<std::string> unusable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "not a regular file";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "cannot be opened";
  char last = '\n';
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const bool whole = info.st_size == 0 || (::pread(fd, &last, 1, info.st_size - 1) == 1 && last == '\n');
  ::close(fd);
  if (!regular) return "not a regular file";
  if (!whole) return "cut short";
  return std::nullopt;
}

// The values of the settings file at the path (none when nothing is there), or why it cannot be
// used.
std::variant<Values, std::string> parseFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0)
    return errno == ENOENT ? std::variant<Values, std::string>(Values{}) : "cannot be inspected";
  if (auto problem = unusable(path)) return *problem;
  QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
  const QStringList keys = settings.allKeys();  // parses every section, so that status() is final
  if (settings.status() != QSettings::NoError) return "not in the settings format";
  Values values;
  for (const QString& key : keys)
    if (auto value = fromVariant(settings.value(key))) values.emplace(key.toStdString(), std::move(*value));
  return values;
}

// Whether anything is at the path, a dangling link included.
bool taken(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::string QSettingsPreferences::defaultPath() {
  return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/thwacko/thwacko.conf")
      .toStdString();
}

QSettingsPreferences::QSettingsPreferences(std::string path, LogSink& log)
    : path_(std::move(path)), log_(log), saveTimer_(std::make_unique<QTimer>()) {
  load();
  saveTimer_->setSingleShot(true);
  saveTimer_->setInterval(kSaveDelayMs);
  QObject::connect(saveTimer_.get(), &QTimer::timeout, saveTimer_.get(), [this] { flush(); });
  if (auto* application = QCoreApplication::instance())
    QObject::connect(application, &QCoreApplication::aboutToQuit, saveTimer_.get(), [this] { flush(); });
}

QSettingsPreferences::~QSettingsPreferences() { flush(); }

std::optional<Values> QSettingsPreferences::readFile(const std::string& path) {
  auto parsed = parseFile(path);
  if (auto* values = std::get_if<Values>(&parsed)) return std::move(*values);
  return std::nullopt;
}

void QSettingsPreferences::load() {
  auto parsed = parseFile(path_);
  if (auto* values = std::get_if<Values>(&parsed)) {
    values_.replaceAll(std::move(*values));
  } else if (!setAside(std::get<std::string>(parsed))) {
    return;
  }
  settings_ = std::make_unique<QSettings>(QString::fromStdString(path_), QSettings::IniFormat);
}

bool QSettingsPreferences::setAside(const std::string& problem) {
  const std::string stamp = QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss'Z'").toStdString();
  std::string target = path_ + ".unreadable-" + stamp;
  for (int n = 2; taken(target); ++n) target = path_ + ".unreadable-" + stamp + "-" + std::to_string(n);
  // rename(2) moves the entry itself: a symbolic link is moved, never what it points to, and
  // nothing is opened.
  const std::string reason = "[Preferences] Could not read " + path_ + " (" + problem + ")";
  if (::rename(path_.c_str(), target.c_str()) == 0) {
    log_.write(reason + "; moved it to " + target + " and started from default settings");
    return true;
  }
  log_.write(reason + " nor move it aside; using default settings, and changes will not be saved");
  return false;
}

std::optional<PreferenceValue> QSettingsPreferences::value(std::string_view key) const {
  return values_.value(key);
}

void QSettingsPreferences::setValue(std::string_view key, PreferenceValue value) {
  if (settings_) {
    unsaved_.emplace(key);
    // Without an application there is no event loop: pending writes wait for flush().
    if (!saveTimer_->isActive() && QCoreApplication::instance()) saveTimer_->start();
  }
  values_.setValue(key, std::move(value));
}

Subscription QSettingsPreferences::observe(std::string_view key, std::function<void()> listener) {
  return values_.observe(key, std::move(listener));
}

void QSettingsPreferences::flush() {
  saveTimer_->stop();
  if (!settings_ || unsaved_.empty()) return;
  for (const std::string& key : unsaved_)
    settings_->setValue(QString::fromStdString(key), toVariant(*values_.value(key)));
  unsaved_.clear();
  settings_->sync();  // QSettings keeps what it could not save and retries on the next sync
  const bool failed = settings_->status() != QSettings::NoError;
  if (failed && !saveFailureReported_) log_.write("[Preferences] Could not save settings to " + path_);
  saveFailureReported_ = failed;
}

}  // namespace thwacko
