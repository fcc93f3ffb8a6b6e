#include "app/slider_scale.h"

#include <algorithm>
#include <cmath>

namespace thwacko {

namespace {

// Where a pointer lies along the track, from 0 to 1; a track without width reads as 0.
double fraction(double x, double width) {
  if (!(width > 0) || !std::isfinite(x)) return 0;
  return std::clamp(x / width, 0.0, 1.0);
}

}  // namespace

double SliderScale::position(double value, double width) const {
  if (!(width > 0) || !(maxG > minG)) return 0;
  const double x = width * (value - minG) / (maxG - minG);
  if (std::isnan(x)) return 0;
  return std::clamp(x, 0.0, width);
}

double SliderScale::valueAt(double x, double width) const {
  return minG + (maxG - minG) * fraction(x, width);
}

double SliderScale::roundedValueAt(double x, double width) const {
  return std::round(valueAt(x, width) * 1000) / 1000;
}

double SliderScale::floorAt(double x, double width, double ceiling, double minGap) const {
  return std::min(std::max(valueAt(x, width), minG), ceiling - minGap);
}

double SliderScale::ceilingAt(double x, double width, double floor, double minGap) const {
  return std::max(std::min(valueAt(x, width), maxG), floor + minGap);
}

}  // namespace thwacko
