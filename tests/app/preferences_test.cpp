#include "support/in_memory_preferences.h"

#include <gtest/gtest.h>

#include <cmath>

namespace thwacko {
namespace {

TEST(Preferences, AbsentKeysReadAsNothingZeroOrFalse) {
  InMemoryPreferences prefs;
  EXPECT_EQ(prefs.readString("k"), std::nullopt);
  EXPECT_EQ(prefs.readData("k"), std::nullopt);
  EXPECT_EQ(prefs.readDouble("k"), 0.0);
  EXPECT_EQ(prefs.readFloat("k"), 0.0f);
  EXPECT_FALSE(prefs.readBool("k"));
  EXPECT_EQ(prefs.readInteger("k"), 0);
}

TEST(Preferences, TypedWritesReadBackExactly) {
  InMemoryPreferences prefs;
  prefs.writeDouble("d", 0.015);
  prefs.writeFloat("f", 0.7f);
  prefs.writeBool("b", true);
  prefs.writeInteger("i", -2147483648LL);
  prefs.writeString("s", "split");
  prefs.writeData("j", std::string("{\"sound\":\"snare\"}\0x", 19));
  EXPECT_EQ(prefs.readDouble("d"), 0.015);
  EXPECT_EQ(prefs.readFloat("f"), 0.7f);
  EXPECT_TRUE(prefs.readBool("b"));
  EXPECT_EQ(prefs.readInteger("i"), -2147483648LL);
  EXPECT_EQ(prefs.readString("s"), "split");
  EXPECT_EQ(prefs.readData("j")->size(), 19u);
}

TEST(Preferences, TextFromAStoreThatKeepsOnlyTextReadsAsTheWrittenType) {
  InMemoryPreferences prefs;
  prefs.writeString("d", "0.015");
  prefs.writeString("b", "true");
  prefs.writeString("i", "42");
  prefs.writeString("n", "nan");
  EXPECT_EQ(prefs.readDouble("d"), 0.015);
  EXPECT_TRUE(prefs.readBool("b"));
  EXPECT_EQ(prefs.readInteger("i"), 42);
  EXPECT_TRUE(std::isnan(prefs.readDouble("n")));
}

TEST(Preferences, ValuesOfAnotherTypeReadAsNoValue) {
  InMemoryPreferences prefs;
  prefs.writeString("s", "not a number");
  prefs.writeData("data", "0.5");
  prefs.writeDouble("huge", 1e300);
  EXPECT_EQ(prefs.readDouble("s"), 0.0);
  EXPECT_FALSE(prefs.readBool("s"));
  EXPECT_EQ(prefs.readDouble("data"), 0.0);  // data is never read as a number
  EXPECT_EQ(prefs.readString("data"), std::nullopt);
  EXPECT_EQ(prefs.readData("s"), std::nullopt);
  EXPECT_EQ(prefs.readInteger("huge"), 0);
}

TEST(Preferences, ObserversOfAKeyHearEveryWriteToThatKeyOnly) {
  InMemoryPreferences prefs;
  int calls = 0;
  auto subscription = prefs.observe("appearancePreference", [&] { ++calls; });
  prefs.writeString("appearancePreference", "dark");
  prefs.writeString("appearancePreference", "dark");
  prefs.writeString("other", "x");
  EXPECT_EQ(calls, 2);
  subscription.reset();
  prefs.writeString("appearancePreference", "light");
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace thwacko
