// Runs the panel's Quick Tests (tests/ui/qml/tst_*.qml) against the real views and core
// objects: an in-memory preferences store, a sensor the tests switch on and off, and an audio
// output whose periods the tests pull.
#include <QFont>
#include <QGuiApplication>
#include <QObject>
#include <QQmlEngine>
#include <QtQuickTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/coordinator.h"
#include "app/in_memory_preferences.h"
#include "app/notification_center.h"
#include "common/fake_midi_service.h"
#include "common/pulled_audio_output.h"
#include "common/recording_log.h"
#include "platform/qt_main_queue.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/sample_report.h"
#include "ui/panel_models.h"
#include "ui/theme_palette.h"

namespace thwacko {

// A sensor that is there only while the test says so; when there it lies still for an hour.
class SwitchableSensor final : public Accelerometer {
 public:
  SwitchableSensor(MainQueue& queue, Clock& clock) : still_(stillReports(), queue, clock) {}
  bool present = true;
  Wake wakeDrivers() override { return {}; }
  Listing listCandidates() override { return present ? still_.listCandidates() : Listing{}; }

 private:
  static std::vector<RecordedReport> stillReports() {
    const SampleReport report = encodeSampleReport({0, 0, -1});
    return {{secondsToDuration(0), {report.begin(), report.end()}},
            {secondsToDuration(3600), {report.begin(), report.end()}}};
  }
  ReplayAccelerometer still_;
};

// What the QML tests reach besides the panel's own singletons ("Probe").
class Probe final : public QObject {
  Q_OBJECT

 public:
  Probe(Coordinator& coordinator, SwitchableSensor& sensor, PulledOutput& audio,
        NotificationCenter& notifications)
      : coordinator_(coordinator), sensor_(sensor), audio_(audio) {
    appearanceSubscription_ = notifications.observe(kAppearanceChangedNotification,
                                                    [this](const Notification&) { ++appearanceChanges_; });
  }

  Q_INVOKABLE void setSensorPresent(bool present) { sensor_.present = present; }
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
  PulledOutput& audio_;
  int appearanceChanges_ = 0;
  Subscription appearanceSubscription_;
};

class QuickTestSetup final : public QObject {
  Q_OBJECT

 public slots:
  void applicationAvailable() {
    QGuiApplication::setFont(QFont(QStringLiteral("Inter")));
    queue_ = std::make_unique<QtMainQueue>();
    time_ = std::make_unique<ManualTime>();
    sensor_ = std::make_unique<SwitchableSensor>(*queue_, clock_);
    midi_ = std::make_unique<FakeMIDIService>(*time_);
    coordinator_ = std::make_unique<Coordinator>(CoordinatorServices{
        preferences_, *queue_, clock_, console_, systemLog_, *sensor_, audio_, *midi_, notifications_});
    palette_ = std::make_unique<ThemePalette>();
    models_ = std::make_unique<PanelModels>(*coordinator_, *queue_, clock_, *palette_, preferences_,
                                            notifications_);
    models_->registerWithQml();
    probe_ = std::make_unique<Probe>(*coordinator_, *sensor_, audio_, notifications_);
    qmlRegisterSingletonInstance("ThwackoTest", 1, 0, "Probe", probe_.get());
  }

 private:
  InMemoryPreferences preferences_;
  SystemClock clock_;
  RecordingLog console_, systemLog_;
  PulledOutput audio_;
  NotificationCenter notifications_;
  std::unique_ptr<QtMainQueue> queue_;
  std::unique_ptr<ManualTime> time_;
  std::unique_ptr<SwitchableSensor> sensor_;
  std::unique_ptr<FakeMIDIService> midi_;
  std::unique_ptr<Coordinator> coordinator_;
  std::unique_ptr<ThemePalette> palette_;
  std::unique_ptr<PanelModels> models_;
  std::unique_ptr<Probe> probe_;
};

}  // namespace thwacko

QUICK_TEST_MAIN_WITH_SETUP(thwacko_panel, thwacko::QuickTestSetup)

#include "quick_test_main.moc"
