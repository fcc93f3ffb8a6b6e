#include "sensing/wav_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/test_signals.h"

namespace thwacko {
namespace {

using thwacko::testing::little;
using thwacko::testing::wavFile;

std::vector<float> readAll(const std::string& bytes, std::size_t channels = 2) {
  std::istringstream in(bytes);
  WavReader reader(in);
  EXPECT_EQ(reader.error().value_or(""), "");
  std::vector<float> all, block(3 * channels);
  while (const std::size_t frames = reader.read(block))
    all.insert(all.end(), block.begin(), block.begin() + frames * channels);
  EXPECT_TRUE(reader.finished());
  return all;
}

TEST(WavReader, DecodesEveryEncodingReadsStreamsToTheirEndAndRefusesTheRestWithOneReason) {
  const std::vector<float> expected = {0.5f, -1.0f, -0.25f, 0.0f};
  EXPECT_EQ(readAll(wavFile(1, 2, 16, std::string("\0\x40\0\x80\0\xE0\0\0", 8))), expected);
  EXPECT_EQ(readAll(wavFile(1, 2, 24, std::string("\0\0\x40\0\0\x80\0\0\xE0\0\0\0", 12))), expected);
  EXPECT_EQ(readAll(wavFile(0xFFFE, 2, 32, std::string("\0\0\0\x40\0\0\0\x80\0\0\0\xE0\0\0\0\0", 16), {}, 1)),
            expected);
  const std::string floats =
      little(0x3F000000, 4) + little(0xBF800000, 4) + little(0xBE800000, 4) + little(0, 4);
  EXPECT_EQ(readAll(wavFile(3, 2, 32, floats)), expected);
  // Written into a pipe: no size, or one past the end, and a partial last frame.
  EXPECT_EQ(readAll(wavFile(3, 1, 32, floats + "\1", 0xFFFFFFFF), 1), expected);
  EXPECT_EQ(readAll(wavFile(3, 1, 32, floats, 1000), 1), expected);
  EXPECT_EQ(readAll(wavFile(3, 1, 32, floats, 8), 1),
            std::vector<float>(expected.begin(), expected.begin() + 2));

  auto error = [](const std::string& bytes) {
    std::istringstream in(bytes);
    return WavReader(in).error().value_or("");
  };
  EXPECT_EQ(error("RIFF1234WAVX"), "not a WAV file (no RIFF/WAVE header)");
  EXPECT_EQ(error(wavFile(0xFFFE, 2, 32, "", {}, 2)),
            "unsupported sample format 2 with 32 bits (16, 24 or 32-bit PCM or 32-bit float)");
  EXPECT_EQ(error(wavFile(1, 0, 16, "")), "0 channels (1 to 64)");
  EXPECT_EQ(error(wavFile(1, 2, 16, "").substr(0, 44)), "no data chunk");
}

}  // namespace
}  // namespace thwacko
