// session_soak MINUTES: replays a synthetic session in virtual time through the whole core
// (detector, coordinator, sound engine, MIDI logic, event log) at 1 kHz with a tap every 120 ms,
// then prints the wall time and the process's peak resident memory. Run it for 10 and for 60
// minutes: the peak must not grow with the length of the session.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/coordinator.h"
#include "sensing/replay_accelerometer.h"
#include "sensing/sample_report.h"
#include "support/in_memory_preferences.h"
#include "support/manual_time.h"
#include "testing/fake_midi_service.h"
#include "testing/pulled_audio_output.h"

using namespace thwacko;

int main(int argc, char** argv) {
  const long minutes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
  if (minutes <= 0) {
    std::fprintf(stderr, "usage: session_soak MINUTES\n");
    return 2;
  }
  ManualTime time;
  InMemoryPreferences preferences;
  NullLog console, systemLog;
  ReplayAccelerometer sensor({}, time, time);  // an open device that delivers nothing itself
  PulledOutput audio;
  FakeMIDIService midi(time);
  NotificationCenter notifications;
  Coordinator coordinator(
      CoordinatorServices{preferences, time, time, console, systemLog, sensor, audio, midi, notifications});
  coordinator.midiOutput().setEnabled(true);  // exercise the delayed Note Offs too
  coordinator.appear();

  const long reports = minutes * 60 * 1000;
  std::uint32_t noise = 1;
  const auto started = std::chrono::steady_clock::now();
  for (long i = 0; i < reports; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double jitter = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * 0.002;
    const double tap = i % 120 == 0 ? 0.02 + 0.06 * static_cast<double>((i / 120) % 7) / 6 : 0.0;
    const SampleReport report = encodeSampleReport({tap + jitter, jitter, -1.0 + jitter});
    time.advance(0.001);
    coordinator.detector().handleReport(report.data(), report.size(), time.now());
    if (audio.renderer && i % 64 == 0) audio.pull(64);  // the audio thread's share, in line
    if (midi.words.size() > 4096) midi.words.clear();   // what a reader takes off the port
  }
  time.advance(2.0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld min, %ld reports, %zu log entries, tap count %lld: %.2f s wall, peak RSS %ld KiB\n", minutes,
              reports, coordinator.log().entries().size(),
              static_cast<long long>(preferences.readInteger(Coordinator::kTotalTapCountKey)), seconds,
              usage.ru_maxrss);
  return 0;
}
