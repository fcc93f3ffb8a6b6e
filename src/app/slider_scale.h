#pragma once

namespace thwacko {

// The value range of a force slider's track, in g, and the maps between a value and a point
// on a track of a given width (measured from its leading edge).
struct SliderScale {
  double minG = 0;
  double maxG = 1;

  // Where a value sits; a value outside the range pins to the nearer end.
  double position(double value, double width) const;
  // The value under a pointer; a pointer off the track counts as the nearer end.
  double valueAt(double x, double width) const;

  // The one-thumb slider's value for a pointer: the nearest whole milli-g (halves away from
  // zero), so always within the range.
  double roundedValueAt(double x, double width) const;
  // The range slider's lower thumb: at least minG and at least minGap below the ceiling.
  double floorAt(double x, double width, double ceiling, double minGap) const;
  // The upper thumb: at most maxG and at least minGap above the floor.
  double ceilingAt(double x, double width, double floor, double minGap) const;
};

}  // namespace thwacko
