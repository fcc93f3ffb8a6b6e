#include "app/entry_style.h"

namespace thwacko {

EntryStyle entryStyle(EntryType type) {
  switch (type) {
    case EntryType::tap:
      return {"circle.fill", Theme::inkMuted, std::nullopt};
    case EntryType::patternMatched:
      return {"checkmark.circle.fill", Theme::accent, std::nullopt};
    case EntryType::patternTimeout:
      return {"xmark.circle", Theme::inkFaint, EntryBadge{"timeout", Theme::inkFaint, Theme::wash}};
    case EntryType::actionTriggered:
      return {"bolt.fill", Theme::accentBright,
              EntryBadge{"OK", ThemeColor::fixed({22, 163, 74, 1}), Theme::accentBright.withOpacity(0.1)}};
    case EntryType::actionFailed:
      return {"exclamationmark.triangle.fill", Theme::alert, std::nullopt};
    case EntryType::info:
      return {"info.circle", Theme::inkFaint, std::nullopt};
  }
  return {"info.circle", Theme::inkFaint, std::nullopt};
}

}  // namespace thwacko
