#include <gtest/gtest.h>

#include <string>

#include "modes/experimental_lr_config.h"
#include "modes/json_record.h"
#include "modes/split_config.h"
#include "modes/velocity_config.h"

namespace thwacko {
namespace {

TEST(ModeRecords, RoundTripExactlyAndDecodeInAnyMemberOrderIgnoringUnknownMembers) {
  const SplitConfig split{DrumSound::clap, DrumSound::crash, 0.1 + 0.2};  // not a short decimal
  EXPECT_EQ(decodeRecord<SplitConfig>(*encodeRecord(split)), split);
  EXPECT_EQ(decodeRecord<SplitConfig>(
                R"({"threshold":1, "extra":[{"a":null}], "softSound":"rim","hardSound":"crash"})"),
            (SplitConfig{DrumSound::rim, DrumSound::crash, 1.0}));
  EXPECT_EQ(decodeRecord<ExperimentalLRConfig>(R"({"rightSound":"tom","leftSound":"clap","sound":"kick"})"),
            (ExperimentalLRConfig{DrumSound::clap, DrumSound::tom}));
}

TEST(ModeRecords, DecodingRejectsMissingMembersWrongTypesAndHostileText) {
  for (const char* bad : {
           R"({"softSound":"hatClosed","hardSound":"kick"})",
           R"({"softSound":"hatClosed","hardSound":"Kick","threshold":0.035})",
           R"({"softSound":"hatClosed","hardSound":"kick","threshold":"0.035"})",
           R"({"softSound":"hatClosed","hardSound":"kick","threshold":true})",
           R"({"softSound":"hatClosed","hardSound":"kick","threshold":1e999})",
           R"({"softSound":"hatClosed","hardSound":"kick","threshold":NaN})",
           R"({"softSound":"hatClosed","hardSound":"kick","threshold":0.035)",
           R"([{"softSound":"hatClosed","hardSound":"kick","threshold":0.035}])",
       })
    EXPECT_EQ(decodeRecord<SplitConfig>(bad), std::nullopt) << bad;
  EXPECT_EQ(decodeRecord<VelocityConfig>("{\"sound\":\"sn\xff\"}"), std::nullopt);  // invalid UTF-8
  EXPECT_EQ(decodeRecord<VelocityConfig>(std::string(100000, '[') + std::string(100000, ']')), std::nullopt);
  EXPECT_EQ(decodeRecord<ExperimentalLRConfig>(R"({"leftSound":"snare"})"), std::nullopt);
}

}  // namespace
}  // namespace thwacko
