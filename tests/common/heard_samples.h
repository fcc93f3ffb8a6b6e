#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "output/drum_synth.h"

namespace thwacko {

// What the audio tests compare a capture with: where sound begins, and whether it matches
// what a voice should give, sample for sample.
inline std::size_t firstSound(const std::vector<float>& samples, std::size_t from = 0) {
  for (std::size_t i = from; i < samples.size(); ++i)
    if (samples[i] != 0.0f) return i;
  return samples.size();
}

// What `expected` says, sample for sample, from `at` on.
inline ::testing::AssertionResult heardAt(const std::vector<float>& heard, std::size_t at,
                                          const std::vector<float>& expected) {
  if (at + expected.size() > heard.size()) return ::testing::AssertionFailure() << "capture too short";
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (heard[at + i] != expected[i])
      return ::testing::AssertionFailure()
             << "frame " << i << ": heard " << heard[at + i] << ", expected " << expected[i];
  return ::testing::AssertionSuccess();
}

// How a capture, from its first sound on, compares with the sound played: each sample heard is
// the next expected one (matched), except that a server which does not wait for a late client
// plays silence meanwhile (counted) and may drop what came too late (the walk picks up where
// the next stretch heard was played; a sound found nowhere further on is not in order).
struct Delivery {
  std::size_t matched = 0, silence = 0;
  std::size_t end = 0;  // where in the capture the expected sound ended
  bool inOrder = true;
};

inline Delivery deliveryOf(const std::vector<float>& heard, const std::vector<float>& expected) {
  Delivery result;
  auto next = expected.begin();
  for (result.end = firstSound(heard); next != expected.end() && result.end < heard.size(); ++result.end) {
    const auto from = heard.begin() + static_cast<long>(result.end);
    if (*from == *next) {
      ++result.matched, ++next;
    } else if (*from == 0.0f) {
      ++result.silence;
    } else {
      const auto to = std::find(from, from + std::min<long>(16, heard.end() - from), 0.0f);
      next = std::search(next, expected.end(), from, to);
      if (next == expected.end()) {
        result.inOrder = false;
        break;
      }
      --result.end;  // compare this sample again, now in step
    }
  }
  return result;
}

inline std::vector<float> scaled(const SampleBuffer& buffer, float factor) {
  std::vector<float> out(buffer.size());
  for (std::size_t i = 0; i < buffer.size(); ++i) out[i] = buffer[i] * factor;
  return out;
}

}  // namespace thwacko
