#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace thwacko {

// The version feed: one JSON object naming the newest release.
struct UpdateFeed {
  // Longer bodies are refused unread.
  static constexpr std::size_t maxBytes = 64 * 1024;

  std::string version;
  std::optional<std::string> build;
  std::optional<std::string> notes;
  // The "download_url" text as given; see webLink() for the link that may be opened.
  std::optional<std::string> downloadURL;

  bool operator==(const UpdateFeed&) const = default;
};

// Decodes a feed: an object with a string "version" and, each optional, "build", "notes" and
// "download_url" as strings or null; other keys are ignored. Anything else, or a body over
// maxBytes, gives none. Never throws.
std::optional<UpdateFeed> decodeUpdateFeed(std::string_view body);

// The text as a link the browser may open: an absolute http or https URL with a host, made of
// printable ASCII only. Anything else (file:, javascript:, relative, spaces, controls) gives none.
std::optional<std::string> webLink(std::string_view text);

}  // namespace thwacko
