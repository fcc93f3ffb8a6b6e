#pragma once

#include <functional>
#include <vector>

#include "modes/drum_sound.h"

namespace thwacko {

// The engine's format: one channel of 32-bit float samples at this rate.
inline constexpr double kSampleRate = 44100.0;

// One voice's samples, mono; its size is its frame length.
using SampleBuffer = std::vector<float>;

// A silent buffer of duration × 44100 frames, truncated towards zero (1.4 s gives 61739).
SampleBuffer makeBuffer(double durationSeconds);

// A source of uniform numbers u = k / 2^53 with k drawn from 0…2^53 inclusive.
using UnitNoise = std::function<double()>;

// The system's random generator, seeded from the operating system: each call gives a source
// that differs from run to run.
UnitNoise systemUnitNoise();

// The voice's samples, computed by its recipe from oscillators, noise and envelopes. Voices
// that use noise differ slightly from call to call.
SampleBuffer synthesize(DrumSound sound);
// The same with the noise taken from the given source (one draw per noisy sample).
SampleBuffer synthesize(DrumSound sound, const UnitNoise& noise);

}  // namespace thwacko
