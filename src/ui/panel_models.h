#pragma once

#include "ui/about_model.h"
#include "ui/activity_model.h"
#include "ui/calibration_model.h"
#include "ui/calibration_screen_model.h"
#include "ui/detector_model.h"
#include "ui/midi_model.h"
#include "ui/mode_model.h"
#include "ui/root_model.h"
#include "ui/settings_model.h"
#include "ui/view_text.h"

namespace thwacko {

class Clock;
class Coordinator;
class MainQueue;
class NotificationCenter;
class Preferences;
class ThemePalette;
class UpdateChecker;

// Every object the panel's views read and write, over one coordinator. registerWithQml()
// makes them the singletons of the "Thwacko" module: Root, Detector, Modes, Midi, Calibration,
// CalibrationScreen, Activity, Settings, About, Texts and Theme (the palette).
struct PanelModels {
  PanelModels(Coordinator& coordinator, MainQueue& mainQueue, const Clock& clock, ThemePalette& palette,
              Preferences& preferences, NotificationCenter& notifications, UpdateChecker& updater);

  void registerWithQml();

  ThemePalette& palette;
  RootModel root;
  DetectorModel detector;
  ModeModel modes;
  MidiModel midi;
  CalibrationModel calibration;
  CalibrationScreenModel calibrationScreen;
  ActivityModel activity;
  SettingsModel settings;
  AboutModel about;
  ViewText texts;
};

}  // namespace thwacko
