#include "output/desktop_audio_output.h"

#include <gtest/gtest.h>

#include "common/recording_log.h"
#include "support/manual_time.h"
#include "testing/pulled_audio_output.h"

namespace thwacko {
namespace {

struct CountingRenderer final : AudioRenderer {
  int discards = 0, renders = 0;
  void render(std::span<float>) noexcept override { ++renders; }
  void discardPending() noexcept override { ++discards; }
};

TEST(DesktopAudioOutput, PlaysOnTheFirstThatStartsAndAfterALossRetriesEverySecondInOrder) {
  ManualTime time;
  RecordingLog log;
  PulledOutput first, second;
  first.failure = "first: no server";
  DesktopAudioOutput desktop({&first, &second}, time, log);
  CountingRenderer renderer;
  int lost = 0, restored = 0;
  ASSERT_EQ(desktop.start(renderer, {[&](std::string_view) { ++lost; }, [&] { ++restored; }}), std::nullopt);

  second.events.lost("server gone");
  EXPECT_EQ(log.lines,
            std::vector<std::string>{
                "[SoundEngine] pulled went away (server gone); reconnecting when an audio system answers"});
  EXPECT_EQ(second.stops, 1);
  second.failure = "second: no server";
  time.advance(3.5);  // three quiet retries, one a second
  EXPECT_EQ(std::pair(log.lines.size(), time.pendingCount()), (std::pair<std::size_t, std::size_t>(1, 1)));

  first.failure.reset();  // the first comes back and wins over the second
  time.advance(1.0);
  EXPECT_EQ(log.lines.back(), "[SoundEngine] reconnected to pulled");
  EXPECT_EQ(std::pair(lost, restored), std::pair(1, 1));
  first.pull(1);
  first.pull(1);
  EXPECT_EQ(std::pair(renderer.discards, renderer.renders), std::pair(1, 2))
      << "once, before the first period";

  desktop.stop();
  second.failure = first.failure = "down";
  EXPECT_EQ(desktop.start(renderer, {}), "no audio system answered (down; down)");
}

}  // namespace
}  // namespace thwacko
