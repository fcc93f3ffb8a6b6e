// Runs the panel's Quick Tests (tests/ui/qml*/tst_*.qml) against the real views and core
// objects: an in-memory preferences store, a sensor and a microphone the tests switch on and off, an audio
// output whose periods the tests pull, and an update feed on a local HTTPS server.
#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QObject>
#include <QQmlEngine>
#include <QtQuickTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/coordinator.h"
#include "common/https_test_server.h"
#include "common/recording_log.h"
#include "platform/qt_http_client.h"
#include "platform/qt_main_queue.h"
#include "support/in_memory_preferences.h"
#include "testing/fake_midi_service.h"
#include "testing/no_user_notifications.h"
#include "testing/pulled_audio_output.h"
#include "testing/switchable_microphone.h"
#include "testing/switchable_sensor.h"
#include "ui/app_wiring.h"
#include "ui/url_catcher.h"

namespace thwacko {

// What the QML tests reach besides the panel's own singletons ("Probe").
class Probe final : public QObject {
  Q_OBJECT

 public:
  Probe(Coordinator& coordinator, SwitchableSensor& sensor, SwitchableMicrophone& microphone,
        PulledOutput& audio, NotificationCenter& notifications, Preferences& preferences,
        HttpsTestServer& feed, UpdateChecker& updater)
      : coordinator_(coordinator),
        sensor_(sensor),
        microphone_(microphone),
        audio_(audio),
        preferences_(preferences),
        feed_(feed),
        updater_(updater) {
    appearanceSubscription_ =
        notifications.appearanceChanged.subscribe([this](AppearancePreference) { ++appearanceChanges_; });
  }

  Q_INVOKABLE void setSensorPresent(bool present) { sensor_.present = present; }
  Q_INVOKABLE void setMicrophonePresent(bool present) { microphone_.present = present; }
  Q_INVOKABLE void tap(double magnitude) {
    TapEvent event;
    event.magnitude = magnitude;
    coordinator_.processTap(event);
  }
  // A slap on one palm rest as the detector reports it: the jolt points along x.
  Q_INVOKABLE void slap(double jerkX) {
    TapEvent event;
    event.magnitude = std::abs(jerkX);
    event.jerkX = jerkX;
    event.gravityZ = -1;
    coordinator_.detector().tapSubject().send(event);
  }
  // What the update feed says from now on: a version and, unless empty, a download link.
  Q_INVOKABLE void setFeed(const QString& version, const QString& downloadURL) {
    QString body = QStringLiteral(R"({"version":"%1")").arg(version);
    if (!downloadURL.isEmpty()) body += QStringLiteral(R"(,"download_url":"%1")").arg(downloadURL);
    feed_.setResponse({.body = (body + QLatin1Char('}')).toUtf8()});
  }
  Q_INVOKABLE int feedRequests() const { return feed_.requestCount(); }
  Q_INVOKABLE bool checkingForUpdates() const { return updater_.isChecking(); }
  Q_INVOKABLE void setLocale(const QString& name) { QLocale::setDefault(QLocale(name)); }
  Q_INVOKABLE void setTotalTaps(double total) {
    preferences_.writeInteger(Coordinator::kTotalTapCountKey, static_cast<std::int64_t>(total));
  }
  // The last URL handed to the desktop, empty before any.
  Q_INVOKABLE QString openedURL() const {
    return browser_.opened.isEmpty() ? QString() : browser_.opened.last();
  }
  // How often a look was applied (each save posts the change, also for the same choice).
  Q_INVOKABLE int appearanceChanges() const { return appearanceChanges_; }
  // The loudest sample of the next second of audio: above zero once something was played.
  Q_INVOKABLE double audioPeak() {
    if (!audio_.renderer) return 0;
    double peak = 0;
    for (float sample : audio_.pull(44100)) peak = std::max(peak, std::abs(static_cast<double>(sample)));
    return peak;
  }

 private:
  Coordinator& coordinator_;
  SwitchableSensor& sensor_;
  SwitchableMicrophone& microphone_;
  PulledOutput& audio_;
  Preferences& preferences_;
  HttpsTestServer& feed_;
  UpdateChecker& updater_;
  UrlCatcher browser_;
  int appearanceChanges_ = 0;
  Subscription appearanceSubscription_;
};

class QuickTestSetup final : public QObject {
  Q_OBJECT

 public slots:
  void applicationAvailable() {
    QGuiApplication::setFont(QFont(QStringLiteral("Inter")));
    sensorQueue_ = std::make_unique<QtMainQueue>();
    sensor_ = std::make_unique<SwitchableSensor>(*sensorQueue_, clock_);
    microphone_ = std::make_unique<SwitchableMicrophone>(*sensorQueue_, clock_);
    feed_ = std::make_unique<HttpsTestServer>();
    if (!feed_->started()) qFatal("the update feed server did not start");
    http_ = std::make_unique<QtHttpClient>(QtHttpClient::Options{{feed_->certificate()}});
    wiring_ = std::make_unique<AppWiring>(AppBackEnds{preferences_,
                                                      console_,
                                                      systemLog_,
                                                      *sensor_,
                                                      audio_,
                                                      midi_,
                                                      *http_,
                                                      userNotifications_,
                                                      {"1.0", feed_->url(), "https://home.example/"},
                                                      microphone_.get()});
    probe_ =
        std::make_unique<Probe>(wiring_->coordinator(), *sensor_, *microphone_, audio_,
                                wiring_->notifications(), preferences_, *feed_, wiring_->updateChecker());
    qmlRegisterSingletonInstance("ThwackoTest", 1, 0, "Probe", probe_.get());
  }
  // Everything goes while the application still exists: sockets, timers and the bus need it.
  void cleanupTestCase() {
    probe_.reset();
    wiring_.reset();
    http_.reset();
    feed_.reset();
    microphone_.reset();
    sensor_.reset();
    sensorQueue_.reset();
  }

 private:
  InMemoryPreferences preferences_;
  SystemClock clock_;
  ManualTime time_;
  RecordingLog console_, systemLog_;
  PulledOutput audio_;
  FakeMIDIService midi_{time_};
  NoUserNotifications userNotifications_;
  std::unique_ptr<QtMainQueue> sensorQueue_;
  std::unique_ptr<SwitchableSensor> sensor_;
  std::unique_ptr<SwitchableMicrophone> microphone_;
  std::unique_ptr<HttpsTestServer> feed_;
  std::unique_ptr<QtHttpClient> http_;
  std::unique_ptr<AppWiring> wiring_;
  std::unique_ptr<Probe> probe_;
};

}  // namespace thwacko

QUICK_TEST_MAIN_WITH_SETUP(thwacko_panel, thwacko::QuickTestSetup)

#include "quick_test_main.moc"
