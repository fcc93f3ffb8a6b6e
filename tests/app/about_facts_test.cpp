#include "app/about_facts.h"

#include <gtest/gtest.h>

namespace thwacko {
namespace {

TEST(AboutFacts, TheSoundEngineRowNamesTheSystemAndTheDelayItReports) {
  EXPECT_EQ(aboutFacts(std::nullopt, "PipeWire", 0.00133)[2],
            (AboutFact{"Sound engine", "PipeWire · 1.3 ms"}));
  EXPECT_EQ(aboutFacts(std::nullopt, "PulseAudio", 0.01296)[2].value, "PulseAudio · 13.0 ms");
  EXPECT_EQ(aboutFacts(std::nullopt, "", 0.002)[2].value, "Unavailable");
}

}  // namespace
}  // namespace thwacko
