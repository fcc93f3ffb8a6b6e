#pragma once

#include <exception>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace thwacko {

// Settings records are persisted as compact UTF-8 JSON objects. Each record type provides
// to_json/from_json (found by argument-dependent lookup); from_json throws a
// nlohmann::json::exception for anything it does not accept.

// The value of a required member that must be a finite JSON number. Absent members, Booleans,
// text and (in a value built in memory) infinities and not-a-number are errors.
double finiteNumberMember(const nlohmann::json& object, const char* name);

// The compact text of a record's JSON, or no value when a number in it is not finite (JSON
// cannot spell one, and writing null in its place would store a record that no longer decodes).
std::optional<std::string> dumpRecordJson(const nlohmann::json& json);

// Decodes stored bytes as a record. Malformed or hostile input (truncated, invalid UTF-8,
// wrong types, missing members, deep nesting) gives no value; nothing is thrown.
template <typename Record>
std::optional<Record> decodeRecord(std::string_view bytes) {
  try {
    return nlohmann::json::parse(bytes).get<Record>();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Encodes a record for storage, or no value when it cannot be encoded (a non-finite number).
template <typename Record>
std::optional<std::string> encodeRecord(const Record& record) {
  return dumpRecordJson(nlohmann::json(record));
}

}  // namespace thwacko
