#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace thwacko {

// The first frame from `from` on that is not silent; the size when there is none.
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

// How a capture from a server that does not wait for its clients compares with what was
// played: when the client thread is late, the server plays silence, and may drop what arrives
// too late. Every sound heard from the first on must be the expected sample, in order.
struct Delivery {
  std::size_t matched = 0;  // expected frames heard exactly
  std::size_t dropped = 0;  // expected frames never heard
  std::size_t silence = 0;  // silent frames the server put in
  std::size_t end = 0;      // where in the capture the expected sound ended
  bool inOrder = true;      // false: a sound that is not the next expected stretch
};

inline Delivery deliveryOf(const std::vector<float>& heard, const std::vector<float>& expected) {
  constexpr std::size_t kWindow = 16;
  Delivery result;
  std::size_t i = 0;
  std::size_t j = firstSound(heard);
  while (i < expected.size() && j < heard.size()) {
    if (heard[j] == expected[i]) {
      ++result.matched, ++i, ++j;
    } else if (heard[j] == 0.0f) {
      ++result.silence, ++j;
    } else {
      // Picks up again where the next stretch heard, up to its next silence, was played.
      const auto from = heard.begin() + static_cast<long>(j);
      const auto to =
          std::find(from, heard.begin() + static_cast<long>(std::min(heard.size(), j + kWindow)), 0.0f);
      const auto at = std::search(expected.begin() + static_cast<long>(i), expected.end(), from, to);
      if (at == expected.end()) {
        result.inOrder = false;
        break;
      }
      result.dropped += static_cast<std::size_t>(at - expected.begin()) - i;
      i = static_cast<std::size_t>(at - expected.begin());
    }
  }
  result.dropped += expected.size() - i;
  result.end = j;
  return result;
}

}  // namespace thwacko
