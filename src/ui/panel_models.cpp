#include "ui/panel_models.h"

#include <QQmlEngine>

#include "app/coordinator.h"
#include "ui/theme_palette.h"

namespace thwacko {

PanelModels::PanelModels(Coordinator& coordinator, MainQueue& mainQueue, const Clock& clock,
                         ThemePalette& palette, Preferences& preferences, NotificationCenter& notifications,
                         UpdateChecker& updater)
    : palette(palette),
      root(coordinator),
      detector(coordinator.detector()),
      modes(coordinator.modeStore()),
      midi(coordinator.midiOutput()),
      calibration(coordinator.palmCalibration()),
      calibrationScreen(coordinator, mainQueue),
      activity(coordinator.log(), mainQueue, clock, palette),
      settings(coordinator.soundEngine(), preferences, palette, notifications),
      about(coordinator, updater, preferences) {}

void PanelModels::registerWithQml() {
  constexpr const char* kModule = "Thwacko";
  qmlRegisterSingletonInstance(kModule, 1, 0, "Root", &root);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Detector", &detector);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Modes", &modes);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Midi", &midi);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Calibration", &calibration);
  qmlRegisterSingletonInstance(kModule, 1, 0, "CalibrationScreen", &calibrationScreen);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Activity", &activity);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Settings", &settings);
  qmlRegisterSingletonInstance(kModule, 1, 0, "About", &about);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Texts", &texts);
  qmlRegisterSingletonInstance(kModule, 1, 0, "Theme", &palette);
}

}  // namespace thwacko
