// thwacko-replay [--prefs FILE] [--realtime] [--audio] [--midi] RECORDING
//
// Runs the real core headless on a sensor recording, with the app's start-up sequence: the
// panel "appears", listening switches on, and every report reaches the detector at its recorded
// time. Standard output carries the detector's console lines and one line per event-log entry
// (seconds since the start of the recording, a tab, the entry type, a tab, the message).
//
// Time is virtual unless --realtime: the clock jumps from one due report or delayed action to
// the next, so a replay is instant and its output the same on every run. Without --audio and
// --midi no device is opened. Preferences come from FILE (the app's settings format, read
// only: the replay never changes it) or start empty. RECORDING is read as the replay goes, so
// it may be of any length, or a pipe that another program is still writing. A WAV file (named
// .wav, or any file with a RIFF header) is a microphone session: its audio runs through the
// onset detector and the knocks it finds reach the detector as taps.
#include <QCoreApplication>
#include <QTimer>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/coordinator.h"
#include "app/notification_center.h"
#include "platform/desktop_audio.h"
#include "platform/qsettings_preferences.h"
#include "platform/qt_main_queue.h"
#include "platform/rtmidi_service.h"
#include "platform/system_log.h"
#include "sensing/recording.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/replay_microphone.h"
#include "sensing/wav_reader.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"

namespace {

using namespace thwacko;

struct Options {
  std::optional<std::string> prefs;
  bool realtime = false;
  bool audio = false;
  bool midi = false;
  std::string recording;
};

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--prefs" && i + 1 < argc) {
      options.prefs = argv[++i];
    } else if (argument == "--realtime") {
      options.realtime = true;
    } else if (argument == "--audio") {
      options.audio = true;
    } else if (argument == "--midi") {
      options.midi = true;
    } else if (options.recording.empty() && !argument.starts_with("-")) {
      options.recording = argument;
    } else {
      return std::nullopt;
    }
  }
  if (options.recording.empty()) return std::nullopt;
  return options;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "thwacko-replay: %s\n", message.c_str());
  return 2;
}

// What keeps PATH from being read as a file, if anything; a pipe is read like a file.
std::optional<std::string> notAFile(const std::string& path, std::string_view what) {
  std::error_code error;
  switch (std::filesystem::status(path, error).type()) {
    case std::filesystem::file_type::regular:
    case std::filesystem::file_type::fifo:
      return std::nullopt;
    case std::filesystem::file_type::not_found:
      return path + ": no such " + std::string(what);
    case std::filesystem::file_type::directory:
      return path + ": is a directory, not a " + std::string(what);
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return path + ": is a device, not a " + std::string(what);
    default:
      if (error) return path + ": " + error.message();
      return path + ": is not a " + std::string(what);
  }
}

// A WAV file by its name or, for a file named otherwise, by its header (a pipe cannot be read twice).
bool isWav(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".wav") return true;
  if (!std::filesystem::is_regular_file(path)) return false;
  char magic[4] = {};
  std::ifstream(path, std::ios::binary).read(magic, sizeof magic);
  return std::string_view(magic, sizeof magic) == "RIFF";
}

// Audio that goes nowhere: the engine runs, nothing is opened.
class NoAudio final : public AudioOutput {
 public:
  std::optional<std::string> start(AudioRenderer&, Events) override { return std::nullopt; }
  void stop() override {}
  std::string apiName() const override { return "none"; }
};

// No MIDI service: the output stays unavailable and silent.
class NoMIDI final : public MIDIService {
 public:
  std::int32_t createClient(std::string_view) override { return RtMidiService::kNoMIDIServer; }
  std::int32_t createSource(std::string_view) override { return RtMidiService::kNoMIDIServer; }
  std::int32_t sourceUniqueID() const override { return 0; }
  bool setSourceUniqueID(std::int32_t) override { return false; }
  void send(std::uint32_t) override {}
  void disposeSource() override {}
  void disposeClient() override {}
};

// Without devices the sound engine's and the MIDI output's lines say nothing about the replay.
// Prints each new event-log entry once, relative to the start of the recording.
class EntryPrinter {
 public:
  EntryPrinter(const EventLog& log, const Clock& clock) : log_(log), origin_(clock.now()) {}

  void printNew() {
    const auto& entries = log_.entries();
    std::size_t first = 0;
    for (std::size_t i = entries.size(); i > 0; --i) {
      if (lastPrinted_ && entries[i - 1].id == *lastPrinted_) {
        first = i;
        break;
      }
    }
    for (std::size_t i = first; i < entries.size(); ++i) {
      const EventLogEntry& entry = entries[i];
      std::printf("%.3f\t%s\t%s\n", durationToSeconds(entry.timestamp - origin_),
                  std::string(rawValue(entry.type)).c_str(), entry.message.c_str());
      lastPrinted_ = entry.id;
    }
    std::fflush(stdout);
  }

 private:
  const EventLog& log_;
  WallTime origin_;
  std::optional<Uuid> lastPrinted_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parseOptions(argc, argv);
  if (!options)
    return fail("usage: thwacko-replay [--prefs FILE] [--realtime] [--audio] [--midi] RECORDING");

  if (const auto problem = notAFile(options->recording, "recording")) return fail(*problem);
  std::ifstream file(options->recording, std::ios::binary);
  if (!file) return fail(options->recording + ": " + std::strerror(errno));
  const bool wav = isWav(options->recording);
  std::optional<WavReader> audio;
  if (wav) audio.emplace(file);
  if (audio && audio->error()) return fail(options->recording + ": " + *audio->error());
  RecordingReader recording(file);
  const auto recordingError = [&] {
    const RecordingError& error = *recording.error();
    std::string where = options->recording;
    if (error.line > 0) where.append(":").append(std::to_string(error.line));
    return fail(where + ": " + error.message);
  };
  const auto finished = [&] { return audio ? audio->finished() : recording.finished(); };
  // A file is checked whole before anything plays; a pipe only as it is replayed.
  if (!wav && std::filesystem::is_regular_file(options->recording)) {
    while (recording.next()) {
    }
    if (recording.error()) return recordingError();
    recording.rewind();
  }

  InMemoryPreferences preferences;
  if (options->prefs) {
    if (const auto problem = notAFile(*options->prefs, "preferences file")) return fail(*problem);
    auto values = QSettingsPreferences::readFile(*options->prefs);
    if (!values) return fail(*options->prefs + ": not a readable preferences file");
    preferences.replaceAll(std::move(*values));
  }

  QCoreApplication app(argc, argv);
  ManualTime virtualTime;
  QtMainQueue realQueue;
  SystemClock realClock;
  MainQueue& queue = options->realtime ? static_cast<MainQueue&>(realQueue) : virtualTime;
  Clock& clock = options->realtime ? static_cast<Clock&>(realClock) : virtualTime;

  StdoutLog console;
  SystemLog systemLog;
  NullLog quiet;
  NoAudio noAudio;
  std::optional<DesktopAudio> realAudio;
  if (options->audio) realAudio.emplace(realQueue, systemLog);
  NoMIDI noMidi;
  std::optional<RtMidiService> realMidi;
  if (options->midi) realMidi.emplace();
  NotificationCenter notifications;
  std::optional<ReplayAccelerometer> accelerometer;
  std::optional<ReplayMicrophone> microphone;
  if (audio)
    microphone.emplace(*audio, queue, clock);
  else
    accelerometer.emplace(recording, queue, clock);
  Accelerometer& sensor = audio ? static_cast<Accelerometer&>(*microphone) : *accelerometer;

  Coordinator coordinator(
      CoordinatorServices{preferences, queue, clock, console,
                          options->audio || options->midi ? static_cast<LogSink&>(systemLog) : quiet, sensor,
                          realAudio ? realAudio->output() : noAudio,
                          realMidi ? static_cast<MIDIService&>(*realMidi) : noMidi, notifications,
                          // A microphone session is found whichever tap sensor the settings choose.
                          microphone ? &*microphone : nullptr});
  if (options->midi) coordinator.midiOutput().setEnabled(true);

  EntryPrinter printer(coordinator.log(), clock);
  auto printing = coordinator.log().observe([&] { printer.printNew(); });
  coordinator.appear();

  // Past the last report, every delayed action (MIDI Note Off, highlights, ripples) has run.
  constexpr double kSettleSeconds = 1.0;
  if (options->realtime) {
    QTimer ending;
    QObject::connect(&ending, &QTimer::timeout, &app, [&] {
      if (!finished()) return;
      ending.stop();
      realQueue.postAfter(kSettleSeconds, [] { QCoreApplication::quit(); });
    });
    ending.start(100);
    app.exec();
  } else {
    while (!finished() && virtualTime.pendingCount() > 0) virtualTime.advance(kSettleSeconds);
    virtualTime.advance(kSettleSeconds);
    // What was sent to real devices in no time needs a moment of real time to leave.
    if (options->audio || options->midi) {
      QTimer::singleShot(500, &app, &QCoreApplication::quit);
      app.exec();
    }
  }
  if (recording.error()) return recordingError();
  return 0;
}
