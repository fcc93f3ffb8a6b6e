#pragma once

#include <utility>
#include <vector>

#include "sensing/accelerometer.h"

namespace thwacko {

// Several sensor back ends searched as one, in the order given (hidraw before IIO). Every
// back end's drivers are woken; a failure of any is reported (the first), else the total count; the
// listing joins the candidates of every back end that could list them and fails only when none
// could, so that one broken back end does not hide another's accelerometer.
class CompositeAccelerometer final : public Accelerometer {
 public:
  explicit CompositeAccelerometer(std::vector<Accelerometer*> parts) : parts_(std::move(parts)) {}

  Wake wakeDrivers() override;
  Listing listCandidates() override;

 private:
  std::vector<Accelerometer*> parts_;
};

}  // namespace thwacko
