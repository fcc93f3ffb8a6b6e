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

void QSettingsPreferences::load() {
  const QString path = QString::fromStdString(path_);
  const bool exists = QFileInfo::exists(path);
  bool readable = true;
  if (exists) {
    QFile file(path);
    readable = file.open(QIODevice::ReadOnly);
  }
  settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
  const QStringList keys = settings_->allKeys();  // parses every section, so that status() is final
  if (exists && (!readable || settings_->status() != QSettings::NoError)) {
    settings_.reset();
    if (setAside()) settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    return;
  }
  std::map<std::string, PreferenceValue, std::less<>> values;
  for (const QString& key : keys)
    if (auto value = fromVariant(settings_->value(key))) values.emplace(key.toStdString(), std::move(*value));
  values_.replaceAll(std::move(values));
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
