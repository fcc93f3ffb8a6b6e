#include "support/preference_value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>

namespace thwacko {
namespace {

template <typename... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <typename... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

std::optional<double> parseDouble(const std::string& text) {
  // Locale-independent: settings files always use '.'.
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double value = 0;
  in >> value;
  if (in.fail()) {
    if (text == "nan" || text == "NaN") return std::nan("");
    if (text == "inf" || text == "+inf" || text == "Infinity") return INFINITY;
    if (text == "-inf" || text == "-Infinity") return -INFINITY;
    return std::nullopt;
  }
  in >> std::ws;
  if (!in.eof()) return std::nullopt;
  return value;
}

std::optional<bool> parseBool(const std::string& text) {
  if (text == "true" || text == "YES" || text == "yes") return true;
  if (text == "false" || text == "NO" || text == "no") return false;
  if (auto number = parseDouble(text)) return *number != 0;
  return std::nullopt;
}

std::string formatDouble(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

}  // namespace

std::optional<std::string> preferenceString(const PreferenceValue& value) {
  return std::visit(
      Overloaded{[](const std::string& s) -> std::optional<std::string> { return s; },
                 [](const PreferenceData&) -> std::optional<std::string> { return std::nullopt; },
                 [](double d) -> std::optional<std::string> { return formatDouble(d); },
                 [](float f) -> std::optional<std::string> { return formatDouble(f); },
                 [](bool b) -> std::optional<std::string> { return b ? "1" : "0"; },
                 [](std::int64_t i) -> std::optional<std::string> { return std::to_string(i); }},
      value);
}

std::optional<std::string> preferenceData(const PreferenceValue& value) {
  if (const auto* data = std::get_if<PreferenceData>(&value)) return data->bytes;
  return std::nullopt;
}

std::optional<double> preferenceDouble(const PreferenceValue& value) {
  return std::visit(
      Overloaded{[](const std::string& s) { return parseDouble(s); },
                 [](const PreferenceData&) -> std::optional<double> { return std::nullopt; },
                 [](double d) -> std::optional<double> { return d; },
                 [](float f) -> std::optional<double> { return static_cast<double>(f); },
                 [](bool b) -> std::optional<double> { return b ? 1.0 : 0.0; },
                 [](std::int64_t i) -> std::optional<double> { return static_cast<double>(i); }},
      value);
}

std::optional<bool> preferenceBool(const PreferenceValue& value) {
  return std::visit(
      Overloaded{[](const std::string& s) { return parseBool(s); },
                 [](const PreferenceData&) -> std::optional<bool> { return std::nullopt; },
                 [](double d) -> std::optional<bool> { return d != 0; },
                 [](float f) -> std::optional<bool> { return f != 0; },
                 [](bool b) -> std::optional<bool> { return b; },
                 [](std::int64_t i) -> std::optional<bool> { return i != 0; }},
      value);
}

std::optional<std::int64_t> preferenceInteger(const PreferenceValue& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
  if (const auto* b = std::get_if<bool>(&value)) return *b ? 1 : 0;
  if (const auto* s = std::get_if<std::string>(&value)) {
    std::int64_t parsed = 0;
    const char* end = s->data() + s->size();
    auto [ptr, ec] = std::from_chars(s->data(), end, parsed);
    if (ec == std::errc{} && ptr == end) return parsed;
  }
  // Floating values truncate towards zero, as the system's own store does; out-of-range and
  // non-finite values read as no value.
  auto number = preferenceDouble(value);
  if (!number || !std::isfinite(*number) || *number >= 9.2233720368547758e18 || *number < -9.2233720368547758e18)
    return std::nullopt;
  return static_cast<std::int64_t>(*number);
}

}  // namespace thwacko
