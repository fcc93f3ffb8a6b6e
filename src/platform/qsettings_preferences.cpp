#include "platform/qsettings_preferences.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

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

std::optional<std::map<std::string, PreferenceValue, std::less<>>> QSettingsPreferences::readFile(
    const std::string& path) {
  const QString file = QString::fromStdString(path);
  std::map<std::string, PreferenceValue, std::less<>> values;
  if (!QFileInfo::exists(file)) return values;
  if (QFile readable(file); !readable.open(QIODevice::ReadOnly)) return std::nullopt;
  QSettings settings(file, QSettings::IniFormat);
  const QStringList keys = settings.allKeys();  // parses every section, so that status() is final
  if (settings.status() != QSettings::NoError) return std::nullopt;
  for (const QString& key : keys)
    if (auto value = fromVariant(settings.value(key))) values.emplace(key.toStdString(), std::move(*value));
  return values;
}

void QSettingsPreferences::load() {
  auto values = readFile(path_);
  if (!values && !setAside()) return;
  if (values) values_.replaceAll(std::move(*values));
  settings_ = std::make_unique<QSettings>(QString::fromStdString(path_), QSettings::IniFormat);
}

bool QSettingsPreferences::setAside() {
  const QString path = QString::fromStdString(path_);
  const QString stamp = QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss'Z'");
  QString target = path + ".unreadable-" + stamp;
  for (int n = 2; QFileInfo::exists(target); ++n)
    target = path + ".unreadable-" + stamp + "-" + QString::number(n);
  if (QFile::rename(path, target)) {
    log_.write("[Preferences] Could not read " + path_ + "; moved it to " + target.toStdString() +
               " and started from default settings");
    return true;
  }
  log_.write("[Preferences] Could not read " + path_ +
             " nor move it aside; using default settings, and changes will not be saved");
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
