#pragma once

#include <QObject>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>

#include "app/shell_port.h"

class QQuickView;
class QSystemTrayIcon;

namespace thwacko {

class AppShell;
class ThemePalette;

// The shell on a Linux desktop: a QSystemTrayIcon and a frameless Qt Quick window that hosts
// the root view. Where the desktop has no tray the panel is an ordinary window instead, and
// closing it quits, so the application can always be reached. Needs a QApplication.
class TrayShell final : public QObject, public ShellPort {
  Q_OBJECT

 public:
  static constexpr int kPanelWidth = 340;

  // The view is loaded from rootView on createPanel(); appeared runs whenever the panel has
  // been shown.
  TrayShell(ThemePalette& palette, QUrl rootView, std::function<void()> appeared, QObject* parent = nullptr);
  ~TrayShell() override;

  // The shell that hears of the tray's clicks and of the panel closing.
  void attach(AppShell& shell) { shell_ = &shell; }

  bool hasTray() const { return hasTray_; }
  QQuickView* panel() const { return panel_.get(); }

  void createTrayIcon() override;
  bool setTrayIconArtwork() override;
  void setFallbackIcon() override;
  void createPanel() override;
  void setPanelAppearance(std::optional<ColorScheme> scheme) override;
  bool isPanelShown() const override;
  void showPanel() override;
  void closePanel() override;
  int addOutsideClickWatcher(std::function<void()> handler) override;
  void removeOutsideClickWatcher(int token) override;
  void showMenu(std::vector<ShellMenuItem> items) override;
  void detachMenu() override;
  void openURL(const std::string& url) override;
  void quit() override;

 private:
  void placePanel();
  void panelActiveChanged();

  ThemePalette& palette_;
  QUrl rootView_;
  std::function<void()> appeared_;
  AppShell* shell_ = nullptr;
  bool hasTray_ = false;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<QQuickView> panel_;
  std::map<int, std::function<void()>> watchers_;
  int nextWatcher_ = 1;
};

}  // namespace thwacko
