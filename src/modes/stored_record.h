#pragma once

#include <string_view>
#include <utility>

#include "modes/json_record.h"
#include "support/preferences.h"

namespace thwacko {

// A record kept as JSON in a data value: the default record when the key is absent or its
// content does not decode.
template <typename Record>
Record readStoredRecord(const Preferences& preferences, std::string_view key) {
  const auto bytes = preferences.readData(key);
  return bytes ? decodeRecord<Record>(*bytes).value_or(Record{}) : Record{};
}

// Writes the record's JSON as a data value; a record that cannot be encoded (a non-finite
// number) is not written at all.
template <typename Record>
void writeStoredRecord(Preferences& preferences, std::string_view key, const Record& record) {
  if (auto json = encodeRecord(record)) preferences.writeData(key, std::move(*json));
}

}  // namespace thwacko
