#include "sensing/onset_reporter.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "sensing/onset_samples.h"
#include "sensing/sample_report.h"

namespace thwacko {

void OnsetReporter::start(std::span<std::uint8_t> buffer, AccelerometerDevice::ReportHandler onReport) {
  ++generation_;
  buffer_ = buffer;
  onReport_ = std::move(onReport);
}

void OnsetReporter::report(const Onset& onset, WallTime time) {
  for (const OnsetSample& sample : onsetSamples(onset))
    mainQueue_.post(guarded([this, report = encodeSampleReport(sample.sample), taken = time + sample.offset] {
      const std::size_t length = std::min(report.size(), buffer_.size());
      std::memcpy(buffer_.data(), report.data(), length);
      onReport_(buffer_.data(), length, clock_.now() - taken);
    }));
}

Task OnsetReporter::guarded(std::function<void()> work) const {
  return lifetime_.guard([this, generation = generation_, work = std::move(work)] {
    if (generation == generation_) work();
  });
}

}  // namespace thwacko
