#include "sensing/wav_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace thwacko {
namespace {

std::string little(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

// A WAV header with the given format tag, channels and bits (and for the extensible format the
// subformat's tag), then a text chunk to skip, then `data` as the audio, claiming `dataSize`.
std::string wav(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, const std::string& data,
                std::uint32_t dataSize, std::uint16_t subformat = 0) {
  std::string fmt = little(tag, 2) + little(channels, 2) + little(44100, 4) +
                    little(44100 * channels * bits / 8, 4) + little(channels * bits / 8, 2) + little(bits, 2);
  if (tag == 0xFFFE)
    fmt += little(22, 2) + little(bits, 2) + little(3, 4) + little(subformat, 2) +
           std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);
  return "RIFF" + little(0, 4) + "WAVEfmt " + little(static_cast<std::uint32_t>(fmt.size()), 4) + fmt +
         "LIST" + little(3, 4) + "abc" + '\0' + "data" + little(dataSize, 4) + data;
}

std::vector<float> readAll(const std::string& bytes, std::size_t channels = 2) {
  std::istringstream in(bytes);
  WavReader reader(in);
  EXPECT_FALSE(reader.error()) << *reader.error();
  std::vector<float> all, block(3 * channels);
  while (const std::size_t frames = reader.read(block))
    all.insert(all.end(), block.begin(), block.begin() + frames * channels);
  EXPECT_TRUE(reader.finished());
  return all;
}

TEST(WavReader, DecodesEveryEncodingToFullScaleOneAndReadsStreamsToTheirEnd) {
  const std::vector<float> expected = {0.5f, -1.0f, -0.25f, 0.0f};
  EXPECT_EQ(readAll(wav(1, 2, 16, std::string("\0\x40\0\x80\0\xE0\0\0", 8), 8)), expected);
  EXPECT_EQ(readAll(wav(1, 2, 24, std::string("\0\0\x40\0\0\x80\0\0\xE0\0\0\0", 12), 12)), expected);
  EXPECT_EQ(readAll(wav(0xFFFE, 2, 32, std::string("\0\0\0\x40\0\0\0\x80\0\0\0\xE0\0\0\0\0", 16), 16, 1)),
            expected);
  const std::string floats =
      little(0x3F000000, 4) + little(0xBF800000, 4) + little(0xBE800000, 4) + little(0, 4);
  EXPECT_EQ(readAll(wav(3, 2, 32, floats, 16)), expected);
  // Written into a pipe: no size, or one past the end, and a partial last frame.
  EXPECT_EQ(readAll(wav(3, 1, 32, floats + "\1", 0xFFFFFFFF), 1), expected);
  EXPECT_EQ(readAll(wav(3, 1, 32, floats, 1000), 1), expected);
  EXPECT_EQ(readAll(wav(3, 1, 32, floats, 8), 1), std::vector<float>(expected.begin(), expected.begin() + 2));
}

TEST(WavReader, RefusesWhatItCannotPlayWithOneReason) {
  auto error = [](const std::string& bytes) {
    std::istringstream in(bytes);
    return WavReader(in).error().value_or("");
  };
  EXPECT_EQ(error("RIFF1234WAVX"), "not a WAV file (no RIFF/WAVE header)");
  EXPECT_EQ(error(wav(1, 2, 8, "", 0)),
            "unsupported sample format 1 with 8 bits (16, 24 or 32-bit PCM or 32-bit float)");
  EXPECT_EQ(error(wav(0xFFFE, 2, 32, "", 0, 2)),
            "unsupported sample format 2 with 32 bits (16, 24 or 32-bit PCM or 32-bit float)");
  EXPECT_EQ(error(wav(1, 0, 16, "", 0)), "0 channels (1 to 64)");
  EXPECT_EQ(error(wav(1, 2, 16, "", 0).substr(0, 44)), "no data chunk");
}

}  // namespace
}  // namespace thwacko
