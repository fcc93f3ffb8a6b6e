#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace thwacko {

// The first frame from `from` on that is not silent; the size when there is none.
inline std::size_t firstSound(const std::vector<float>& samples, std::size_t from = 0) {
  while (from < samples.size() && samples[from] == 0.0f) ++from;
  return from;
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

}  // namespace thwacko
