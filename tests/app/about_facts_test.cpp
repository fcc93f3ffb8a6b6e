#include "app/about_facts.h"

#include <gtest/gtest.h>

namespace thwacko {
namespace {

TEST(AboutFacts, TheSoundEngineRowNamesTheSystemAndTheDelayItReports) {
  const auto row = [](std::string_view system, std::optional<double> latency) {
    return aboutFacts(std::nullopt, system, latency)[2];
  };
  EXPECT_EQ(row("PipeWire", 0.00133), (AboutFact{"Sound engine", "PipeWire · 1.3 ms"}));
  EXPECT_EQ(row("PulseAudio", 0.01296).value, "PulseAudio · 13.0 ms");
  EXPECT_EQ(row("JACK", std::nullopt).value, "JACK");
  EXPECT_EQ(row("", 0.002).value, "Unavailable");
}

}  // namespace
}  // namespace thwacko
