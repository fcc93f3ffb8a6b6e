#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/color_scheme.h"

namespace thwacko {

// One row of the tray icon's menu: a titled item with its action and an optional key
// ("q" for Ctrl+Q), or a separator.
struct ShellMenuItem {
  std::string title;
  std::function<void()> action;
  std::string key;
  bool separator = false;
};

// What the shell needs of the desktop: the tray item, the panel window that hosts the root
// view, the menu, a watcher for clicks outside the panel, and URL opening. Main thread only.
class ShellPort {
 public:
  virtual ~ShellPort() = default;

  // Creates the tray item, without an image yet.
  virtual void createTrayIcon() = 0;
  // Sets the shipped monochrome "MenuBarIcon" artwork (16 x 16) as the item's image; false
  // when the artwork is missing.
  virtual bool setTrayIconArtwork() = 0;
  // Sets the desktop theme's music-note icon, named "thwacko" for accessibility.
  virtual void setFallbackIcon() = 0;

  // Creates the panel (hidden) with the root view inside, 340 wide, as tall as its content.
  virtual void createPanel() = 0;
  // Forces the panel's look; none follows the desktop.
  virtual void setPanelAppearance(std::optional<ColorScheme> scheme) = 0;
  virtual bool isPanelShown() const = 0;
  // Shows the panel under the tray item and gives it the keyboard.
  virtual void showPanel() = 0;
  // Closes the panel; once it is gone the port calls the shell's panelDidClose().
  virtual void closePanel() = 0;

  // Installs a watcher that calls the handler when the user clicks outside the panel; the
  // returned token removes it.
  virtual int addOutsideClickWatcher(std::function<void()> handler) = 0;
  virtual void removeOutsideClickWatcher(int token) = 0;

  // Pops the menu up at the tray item at once; detachMenu() lets the item go back to
  // reporting clicks.
  virtual void showMenu(std::vector<ShellMenuItem> items) = 0;
  virtual void detachMenu() = 0;

  // Hands a URL to the desktop (mail program, browser); text that is no valid URL is ignored.
  virtual void openURL(const std::string& url) = 0;
  virtual void quit() = 0;
};

}  // namespace thwacko
