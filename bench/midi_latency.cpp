// Timing tool: how long a hit takes from MIDIOutput::send() until its Note On reaches a JACK
// client reading the "thwacko" port. Starts a private jackd on the dummy back end (44100 Hz,
// 64-frame periods, synchronous so that a loaded machine delays cycles rather than dropping
// messages), sends the hits with random gaps so that they land at every phase of the period,
// and prints the median, 90th percentile and maximum.
//
//   midi_latency [hits]      (default 500)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "output/midi_output.h"
#include "platform/rtmidi_service.h"
#include "support/in_memory_preferences.h"
#include "support/log_sink.h"
#include "support/manual_time.h"
#include "testing/jack_midi_reader.h"

extern char** environ;

namespace {

constexpr int kPeriodFrames = 64;

pid_t spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

int waitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double percentile(const std::vector<double>& sorted, double p) {
  return sorted[std::min(sorted.size() - 1,
                         static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace thwacko;
  const int hits = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;

  const std::string server = "thwacko-latency-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  const pid_t jackd = spawn({"jackd", "-n", server, "--no-realtime", "-S", "-d", "dummy", "-r", "44100", "-p",
                             std::to_string(kPeriodFrames)});
  if (jackd < 0 || waitFor(spawn({"jack_wait", "-w", "-t", "10"})) != 0) {
    std::fprintf(stderr, "could not start jackd\n");
    return 1;
  }

  int result = 1;
  {
    JackMidiReader reader("latency-reader", 2 * static_cast<std::size_t>(hits));
    RtMidiService service({RtMidiService::Api::jack});
    InMemoryPreferences preferences;
    preferences.writeBool("midiOutputEnabled", true);
    ManualTime time;
    StdoutLog log;
    MIDIOutput output(service, preferences, time, log);
    if (reader.port().empty() || !output.isAvailable() ||
        waitFor(spawn({"jack_connect", "thwacko:thwacko", reader.port()})) != 0) {
      std::fprintf(stderr, "the MIDI output could not reach the reader\n");
    } else {
      std::mt19937 random(12345);
      std::uniform_int_distribution<int> gapMicroseconds(1000, 6000);
      // Waits until the reader holds this many messages, at most a second.
      auto awaitCount = [&](std::size_t count) {
        for (const jack_time_t start = jack_get_time();
             reader.count() < count && jack_get_time() - start < 1'000'000;) {
          std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return reader.count() >= count;
      };
      std::vector<double> latencies;
      for (int hit = 0; hit < hits; ++hit) {
        const std::size_t before = reader.count();
        const jack_time_t sent = jack_get_time();
        output.send(DrumSound::snare, 1.0f);
        if (awaitCount(before + 1))
          latencies.push_back(static_cast<double>(reader.message(before).at - sent) / 1000.0);
        std::this_thread::sleep_for(std::chrono::microseconds(gapMicroseconds(random)));
        time.advance(MIDIOutput::kNoteLengthSeconds);  // the Note Off
        awaitCount(before + 2);
        std::this_thread::sleep_for(std::chrono::microseconds(gapMicroseconds(random)));
      }
      std::sort(latencies.begin(), latencies.end());
      if (!latencies.empty()) {
        std::printf("send() to Note On at a JACK reader, %zu of %d hits, %d-frame periods (%.2f ms):\n",
                    latencies.size(), hits, kPeriodFrames, kPeriodFrames * 1000.0 / 44100.0);
        std::printf("  median %.3f ms   p90 %.3f ms   max %.3f ms\n", percentile(latencies, 0.5),
                    percentile(latencies, 0.9), latencies.back());
        result = static_cast<int>(latencies.size()) == hits ? 0 : 1;
      }
    }
  }

  kill(jackd, SIGTERM);
  waitFor(jackd);
  return result;
}
