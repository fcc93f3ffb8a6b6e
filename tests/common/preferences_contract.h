#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "support/preferences.h"

namespace thwacko {

// What every preferences store promises, run against each store by a typed test. A Store has
// open(), the store, and reopen(), the same store after a restart (the very store where there
// is no restart).

// A value of every kind, with the awkward cases of each.
inline std::vector<std::pair<std::string, PreferenceValue>> everyKindOfValue() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += std::string("\0a\0f\x01\x39\\x00\"@ByteArray(", 22);  // escapes, and the file's own markup
  return {{"thwacko.velocityCeiling.v1", 0.1 + 0.2},
          {"tiny", 4.9406564584124654e-324},
          {"huge", -std::numeric_limits<double>::max()},
          {"thwacko.volume", 0.7f},
          {"invertPalmAxis", true},
          {"midiOutputEnabled", false},
          {"midiSourceUniqueID", std::numeric_limits<std::int64_t>::min()},
          {"totalTapCount", std::numeric_limits<std::int64_t>::max()},
          {"awkward text", std::string("@a, b; c = \"d\"\n\t\u00e9\u2603 [General]")},
          {"empty", std::string()},
          {"bytes", PreferenceData{bytes}},
          {"no bytes", PreferenceData{}}};
}

inline void writeEveryKindOfValue(Preferences& prefs) {
  for (const auto& [key, value] : everyKindOfValue()) prefs.setValue(key, value);
}

// Each value read back with the typed read that matches what was written.
inline void expectEveryKindOfValue(const Preferences& prefs) {
  for (const auto& [key, written] : everyKindOfValue()) {
    const PreferenceValue read[] = {prefs.readString(key).value_or("(none)"),
                                    PreferenceData{prefs.readData(key).value_or("(none)")},
                                    prefs.readDouble(key),
                                    prefs.readFloat(key),
                                    prefs.readBool(key),
                                    prefs.readInteger(key)};
    EXPECT_EQ(read[written.index()], written) << key;
  }
  EXPECT_EQ(prefs.readData("awkward text"), std::nullopt);  // text stays text, data stays data
  EXPECT_EQ(prefs.readString("bytes"), std::nullopt);
}

template <typename Store>
class PreferencesContract : public testing::Test {
 protected:
  Store store_;
};
TYPED_TEST_SUITE_P(PreferencesContract);

TYPED_TEST_P(PreferencesContract, EveryKindReadsBackAtOnceAndAfterARestart) {
  Preferences& prefs = this->store_.open();
  for (const auto& [key, value] : everyKindOfValue()) EXPECT_EQ(prefs.value(key), std::nullopt) << key;
  EXPECT_EQ(prefs.readDouble("absent") + prefs.readFloat("absent") + prefs.readInteger("absent"), 0);
  EXPECT_FALSE(prefs.readBool("absent"));
  writeEveryKindOfValue(prefs);
  expectEveryKindOfValue(prefs);
  expectEveryKindOfValue(this->store_.reopen());
}

TYPED_TEST_P(PreferencesContract, TextReadsAsTheNumberOrBooleanItSpellsAndNothingElseDoes) {
  Preferences& prefs = this->store_.open();
  prefs.writeString("d", "0.015");
  prefs.writeString("b", "true");
  prefs.writeString("i", "42");
  prefs.writeString("n", "nan");
  prefs.writeString("s", "not a number");
  prefs.writeData("data", "0.5");
  prefs.writeDouble("huge", 1e300);
  Preferences& read = this->store_.reopen();
  EXPECT_EQ(read.readDouble("d"), 0.015);
  EXPECT_TRUE(read.readBool("b"));
  EXPECT_EQ(read.readInteger("i"), 42);
  EXPECT_TRUE(std::isnan(read.readDouble("n")));
  EXPECT_EQ(read.readDouble("s"), 0.0);
  EXPECT_FALSE(read.readBool("s"));
  EXPECT_EQ(read.readDouble("data"), 0.0);  // data is never read as a number
  EXPECT_EQ(read.readInteger("huge"), 0);
}

TYPED_TEST_P(PreferencesContract, ObserversHearEveryWriteToTheirKeyOnlyWithTheValueInPlace) {
  Preferences& prefs = this->store_.open();
  int calls = 0;
  auto subscription = prefs.observe("appearancePreference", [&] {
    EXPECT_EQ(prefs.readString("appearancePreference"), "dark");
    ++calls;
  });
  prefs.writeString("appearancePreference", "dark");
  prefs.writeString("appearancePreference", "dark");
  prefs.writeString("updateLastNotifiedVersion", "1.2");
  EXPECT_EQ(calls, 2);
  subscription.reset();
  prefs.writeString("appearancePreference", "light");
  EXPECT_EQ(calls, 2);
}

REGISTER_TYPED_TEST_SUITE_P(PreferencesContract, EveryKindReadsBackAtOnceAndAfterARestart,
                            TextReadsAsTheNumberOrBooleanItSpellsAndNothingElseDoes,
                            ObserversHearEveryWriteToTheirKeyOnlyWithTheValueInPlace);

}  // namespace thwacko
