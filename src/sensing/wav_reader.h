#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace thwacko {

// Reads a WAV file's audio as it is played: PCM of 16, 24 or 32 bits or 32-bit float (plain or
// WAVE_FORMAT_EXTENSIBLE), any number of channels, any sample rate. Chunks other than "fmt " and
// "data" are skipped. A data chunk that claims more than the stream holds, or the size 0 or
// 0xFFFFFFFF that programs writing into a pipe leave there, is read up to the end of the stream.
class WavReader {
 public:
  // Reads the header up to the start of the audio; error() tells what is wrong with it, if
  // anything, and then no audio is read.
  explicit WavReader(std::istream& in);
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  const std::optional<std::string>& error() const { return error_; }
  std::uint32_t sampleRate() const { return sampleRate_; }
  std::size_t channels() const { return channels_; }

  // Fills `interleaved` with up to interleaved.size() / channels() frames, full scale being 1,
  // and returns how many; 0 at the end of the audio.
  std::size_t read(std::span<float> interleaved);
  // Whether read() has given the last frame.
  bool finished() const { return finished_; }
  // Back to the first frame. A stream that cannot go back (a pipe) carries on where it is, and
  // the answer is false.
  bool rewind();

 private:
  enum class Encoding { pcm16, pcm24, pcm32, float32 };

  bool readHeader();
  bool readFormat(std::uint32_t size);
  bool refuse(std::string message);

  std::istream& in_;
  std::optional<std::string> error_;
  Encoding encoding_ = Encoding::pcm16;
  std::uint32_t sampleRate_ = 0;
  std::size_t channels_ = 0;
  std::size_t bytesPerSample_ = 0;
  std::optional<std::uint64_t> dataSize_;  // none: up to the end of the stream
  std::streampos dataStart_ = -1;
  std::optional<std::uint64_t> remaining_;
  std::vector<std::uint8_t> bytes_;
  bool finished_ = false;
};

}  // namespace thwacko
