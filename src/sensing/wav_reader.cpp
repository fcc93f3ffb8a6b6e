#include "sensing/wav_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string_view>

namespace thwacko {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT share everything after their first two bytes.
constexpr std::array<std::uint8_t, 14> kSubformatTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::size_t kFramesPerRead = 1024;
constexpr std::size_t kMostChannels = 64;

std::uint32_t little(const std::uint8_t* bytes, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  return value;
}

std::string_view tag(const std::uint8_t* bytes) { return {reinterpret_cast<const char*>(bytes), 4}; }

}  // namespace

WavReader::WavReader(std::istream& in) : in_(in) {
  if (!readHeader()) {
    finished_ = true;
    return;
  }
  bytes_.resize(kFramesPerRead * channels_ * bytesPerSample_);
  remaining_ = dataSize_;
}

bool WavReader::refuse(std::string message) {
  error_ = std::move(message);
  return false;
}

bool WavReader::readHeader() {
  std::array<std::uint8_t, 12> riff{};
  if (!in_.read(reinterpret_cast<char*>(riff.data()), riff.size()) || tag(riff.data()) != "RIFF" ||
      tag(riff.data() + 8) != "WAVE")
    return refuse("not a WAV file (no RIFF/WAVE header)");
  bool haveFormat = false;
  for (;;) {
    std::array<std::uint8_t, 8> chunk{};
    if (!in_.read(reinterpret_cast<char*>(chunk.data()), chunk.size()))
      return refuse(haveFormat ? "no data chunk" : "no fmt chunk");
    const std::uint32_t size = little(chunk.data() + 4, 4);
    if (tag(chunk.data()) == "fmt ") {
      if (!readFormat(size)) return false;
      haveFormat = true;
    } else if (tag(chunk.data()) == "data") {
      if (!haveFormat) return refuse("the data chunk comes before the fmt chunk");
      if (size != 0 && size != 0xFFFFFFFF) dataSize_ = size - size % (channels_ * bytesPerSample_);
      dataStart_ = in_.tellg();
      return true;
    } else {
      in_.ignore(static_cast<std::streamsize>(size) + (size & 1));  // a file that ends here has no data chunk
    }
  }
}

bool WavReader::readFormat(std::uint32_t size) {
  std::array<std::uint8_t, 40> fmt{};
  if (size < 16) return refuse("the fmt chunk is too short");
  const std::uint32_t kept = std::min<std::uint32_t>(size, fmt.size());
  if (!in_.read(reinterpret_cast<char*>(fmt.data()), kept)) return refuse("the fmt chunk is too short");
  in_.ignore(static_cast<std::streamsize>(size - kept) + (size & 1));
  std::uint32_t format = little(fmt.data(), 2);
  channels_ = little(fmt.data() + 2, 2);
  sampleRate_ = little(fmt.data() + 4, 4);
  const std::uint32_t blockAlign = little(fmt.data() + 12, 2);
  const std::uint32_t bits = little(fmt.data() + 14, 2);
  if (format == kFormatExtensible) {
    if (kept < 40 || !std::equal(kSubformatTail.begin(), kSubformatTail.end(), fmt.begin() + 26))
      return refuse("unknown WAVE_FORMAT_EXTENSIBLE subformat");
    format = little(fmt.data() + 24, 2);
  }
  if (format == kFormatPcm && bits == 16) {
    encoding_ = Encoding::pcm16;
  } else if (format == kFormatPcm && bits == 24) {
    encoding_ = Encoding::pcm24;
  } else if (format == kFormatPcm && bits == 32) {
    encoding_ = Encoding::pcm32;
  } else if (format == kFormatFloat && bits == 32) {
    encoding_ = Encoding::float32;
  } else {
    return refuse("unsupported sample format " + std::to_string(format) + " with " + std::to_string(bits) +
                  " bits (16, 24 or 32-bit PCM or 32-bit float)");
  }
  bytesPerSample_ = bits / 8;
  if (channels_ == 0 || channels_ > kMostChannels)
    return refuse(std::to_string(channels_) + " channels (1 to " + std::to_string(kMostChannels) + ")");
  if (sampleRate_ == 0) return refuse("a sample rate of 0");
  if (blockAlign != channels_ * bytesPerSample_)
    return refuse("a frame of " + std::to_string(blockAlign) + " bytes for " + std::to_string(channels_) +
                  " channels of " + std::to_string(bits) + " bits");
  return true;
}

std::size_t WavReader::read(std::span<float> interleaved) {
  if (finished_) return 0;
  const std::size_t frameBytes = channels_ * bytesPerSample_;
  std::size_t wanted = std::min(interleaved.size() / channels_, kFramesPerRead);
  if (remaining_) wanted = std::min<std::uint64_t>(wanted, *remaining_ / frameBytes);
  if (wanted == 0) {
    finished_ = remaining_ == 0u;
    return 0;
  }
  in_.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(wanted * frameBytes));
  const std::size_t frames = static_cast<std::size_t>(in_.gcount()) / frameBytes;
  if (remaining_) *remaining_ -= frames * frameBytes;
  if (frames < wanted || remaining_ == 0u) finished_ = true;

  const std::uint8_t* in = bytes_.data();
  for (std::size_t i = 0; i < frames * channels_; ++i, in += bytesPerSample_) {
    switch (encoding_) {
      case Encoding::pcm16:
        interleaved[i] = static_cast<float>(static_cast<std::int16_t>(little(in, 2))) / 32768.0f;
        break;
      case Encoding::pcm24:  // the top byte's sign spreads from bit 31 down
        interleaved[i] = static_cast<float>(static_cast<std::int32_t>(little(in, 3) << 8) >> 8) / 8388608.0f;
        break;
      case Encoding::pcm32:
        interleaved[i] = static_cast<float>(static_cast<std::int32_t>(little(in, 4))) / 2147483648.0f;
        break;
      case Encoding::float32:
        interleaved[i] = std::bit_cast<float>(little(in, 4));
        break;
    }
  }
  return frames;
}

bool WavReader::rewind() {
  if (error_) return false;
  in_.clear();
  if (dataStart_ < 0 || !in_.seekg(dataStart_)) {
    in_.clear();
    return false;
  }
  remaining_ = dataSize_;
  finished_ = false;
  return true;
}

}  // namespace thwacko
