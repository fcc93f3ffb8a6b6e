#pragma once

#include <optional>
#include <string_view>

#include "app/event_log.h"
#include "app/theme.h"

namespace thwacko {

// A short label drawn after some log lines.
struct EntryBadge {
  std::string_view text;
  ThemeColor textColor;
  ThemeColor background;

  bool operator==(const EntryBadge&) const = default;
};

// How a kind of log line is drawn. The icon is a symbol name ("bolt.fill"); the activity bar
// maps each name to one distinct glyph.
struct EntryStyle {
  std::string_view icon;
  ThemeColor color;
  std::optional<EntryBadge> badge;

  bool operator==(const EntryStyle&) const = default;
};

EntryStyle entryStyle(EntryType type);

}  // namespace thwacko
