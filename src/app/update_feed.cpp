#include "app/update_feed.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace thwacko {
namespace {

enum class Member { absent, string, null, invalid };

Member member(const nlohmann::json& object, const char* key, std::optional<std::string>& out) {
  const auto found = object.find(key);
  if (found == object.end()) return Member::absent;
  if (found->is_null()) return Member::null;
  if (!found->is_string()) return Member::invalid;
  out = found->get<std::string>();
  return Member::string;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
  return std::equal(text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b; });
}

}  // namespace

std::optional<UpdateFeed> decodeUpdateFeed(std::string_view body) {
  if (body.size() > UpdateFeed::maxBytes) return std::nullopt;
  const auto document = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) return std::nullopt;

  UpdateFeed feed;
  std::optional<std::string> version;
  if (member(document, "version", version) != Member::string) return std::nullopt;
  feed.version = std::move(*version);
  for (auto [key, field] : {std::pair{"build", &feed.build}, std::pair{"notes", &feed.notes},
                            std::pair{"download_url", &feed.downloadURL}}) {
    if (member(document, key, *field) == Member::invalid) return std::nullopt;
  }
  return feed;
}

std::optional<std::string> webLink(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto scheme = text.substr(0, colon);
  if (!equalsIgnoringCase(scheme, "http") && !equalsIgnoringCase(scheme, "https")) return std::nullopt;
  if (text.substr(colon, 3) != "://") return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7f; })) return std::nullopt;

  // The host is what lies between any user info and any port.
  const auto rest = text.substr(colon + 3);
  auto authority = rest.substr(0, rest.find_first_of("/?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  const bool bracketed = !authority.empty() && authority.front() == '[';
  const auto hostEnd = bracketed ? authority.find(']') : authority.find(':');
  if (bracketed && hostEnd == std::string_view::npos) return std::nullopt;
  const auto host = authority.substr(0, bracketed ? hostEnd + 1 : hostEnd);
  if (host.empty() || host == "[]") return std::nullopt;
  const auto port = authority.substr(host.size());
  if (!port.empty() && (port.front() != ':' || !std::all_of(port.begin() + 1, port.end(),
                                                            [](char c) { return c >= '0' && c <= '9'; }))) {
    return std::nullopt;
  }
  return std::string(text);
}

}  // namespace thwacko
