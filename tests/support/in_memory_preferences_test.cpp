#include "support/in_memory_preferences.h"

#include "common/preferences_contract.h"

namespace thwacko {
namespace {

// Memory has no restart: the next run is the same store.
struct InMemoryStore {
  InMemoryPreferences& open() { return prefs; }
  InMemoryPreferences& reopen() { return prefs; }
  InMemoryPreferences prefs;
};
INSTANTIATE_TYPED_TEST_SUITE_P(InMemory, PreferencesContract, InMemoryStore);

}  // namespace
}  // namespace thwacko
