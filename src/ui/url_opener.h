#pragma once

#include <string>

namespace thwacko {

// Hands a URL to the desktop (browser, mail program); text that is no valid URL with a scheme
// is ignored.
void openURL(const std::string& url);

}  // namespace thwacko
