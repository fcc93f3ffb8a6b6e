#include "sensing/composite_accelerometer.h"

#include <iterator>

namespace thwacko {

Accelerometer::Wake CompositeAccelerometer::wakeDrivers() {
  Wake total;
  for (Accelerometer* part : parts_) {
    const Wake wake = part->wakeDrivers();
    if (wake.status == 0) total.count += wake.count;
    if (wake.status != 0 && total.status == 0) total.status = wake.status;
  }
  return total;
}

Accelerometer::Listing CompositeAccelerometer::listCandidates() {
  Listing joined;
  std::int32_t firstFailure = 0;
  bool anyListed = parts_.empty();
  for (Accelerometer* part : parts_) {
    Listing listing = part->listCandidates();
    if (listing.status != 0) {
      if (firstFailure == 0) firstFailure = listing.status;
      continue;
    }
    anyListed = true;
    joined.candidates.insert(joined.candidates.end(), std::make_move_iterator(listing.candidates.begin()),
                             std::make_move_iterator(listing.candidates.end()));
  }
  if (!anyListed) joined.status = firstFailure;
  return joined;
}

}  // namespace thwacko
