// Feeds arbitrary bytes to every settings record decoder, and as stored content under every
// key that the mode store and the palm calibration store read. Besides crashing, the target
// stops when a record that decodes does not survive encoding and decoding again, or when a
// store holds something other than the decoded record or its default.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "modes/experimental_lr_config.h"
#include "modes/json_record.h"
#include "modes/mode_store.h"
#include "modes/palm_calibration_store.h"
#include "modes/split_config.h"
#include "modes/velocity_config.h"
#include "support/in_memory_preferences.h"

namespace {

using namespace thwacko;

template <typename Record>
Record checkedDecode(const std::string& bytes) {
  const auto decoded = decodeRecord<Record>(bytes);
  if (!decoded) return Record{};
  const auto encoded = encodeRecord(*decoded);
  if (!encoded || decodeRecord<Record>(*encoded) != decoded) std::abort();
  return *decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto velocity = checkedDecode<VelocityConfig>(bytes);
  const auto split = checkedDecode<SplitConfig>(bytes);
  const auto experimentalLR = checkedDecode<ExperimentalLRConfig>(bytes);
  const auto calibration = checkedDecode<PalmCalibration>(bytes);

  InMemoryPreferences preferences;
  for (const char* key : {ModeStore::kVelocityKey, ModeStore::kSplitKey, ModeStore::kExperimentalLRKey,
                          PalmCalibrationStore::kCalibrationKey})
    preferences.writeData(key, bytes);
  preferences.writeString(ModeStore::kModeKey, bytes);
  preferences.writeString(ModeStore::kVelocityCeilingKey, bytes);
  const std::size_t writes = preferences.writeCount();

  const ModeStore modes(preferences);
  const PalmCalibrationStore palms(preferences);
  const double ceiling = modes.velocityCeiling();
  if (modes.velocity() != velocity || modes.split() != split || modes.experimentalLR() != experimentalLR ||
      palms.calibration() != calibration || !(ceiling > 0) || !std::isfinite(ceiling) ||
      preferences.writeCount() != writes)
    std::abort();
  // Classification of any decoded calibration never fails.
  (void)palms.calibration().classify(calibration.rightMean.x, calibration.leftMean.y, 1.0);
  return 0;
}
