#include "ui/tray_shell.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QQmlEngine>
#include <QQmlError>
#include <QQuickView>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <algorithm>
#include <cstdio>

#include "app/app_shell.h"
#include "ui/theme_palette.h"
#include "ui/url_opener.h"

namespace thwacko {

namespace {

constexpr int kIconSize = 16;
constexpr int kPanelMargin = 8;

// The template artwork drawn in the desktop's text colour, as a tray tints a template image.
QPixmap tinted(const QString& path, const QColor& color) {
  QPixmap pixmap(path);
  QPainter painter(&pixmap);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(pixmap.rect(), color);
  return pixmap;
}

}  // namespace

TrayShell::TrayShell(ThemePalette& palette, QUrl rootView, std::function<void()> appeared, QObject* parent)
    : QObject(parent), palette_(palette), rootView_(std::move(rootView)), appeared_(std::move(appeared)) {}

TrayShell::~TrayShell() {
  // The panel's hiding must not reach a shell that is already gone.
  shell_ = nullptr;
  if (panel_) panel_->disconnect(this);
}

void TrayShell::createTrayIcon() {
  hasTray_ = QSystemTrayIcon::isSystemTrayAvailable();
  if (!hasTray_) return;
  tray_ = std::make_unique<QSystemTrayIcon>();
  tray_->setToolTip(QStringLiteral("thwacko"));
  connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (!shell_) return;
    if (reason == QSystemTrayIcon::Trigger) shell_->trayIconClicked(TrayClick::left);
    if (reason == QSystemTrayIcon::Context) shell_->trayIconClicked(TrayClick::right);
  });
}

bool TrayShell::setTrayIconArtwork() {
  const QString path = QStringLiteral(":/icons/MenuBarIcon.png");
  if (!QFile::exists(path)) return false;
  const QColor ink = QGuiApplication::palette().color(QPalette::WindowText);
  QIcon icon;
  icon.addPixmap(tinted(path, ink));
  icon.addPixmap(tinted(QStringLiteral(":/icons/MenuBarIcon@2x.png"), ink));
  QGuiApplication::setWindowIcon(icon);
  if (tray_) {
    tray_->setIcon(icon);
    tray_->show();
  }
  return true;
}

void TrayShell::setFallbackIcon() {
  QIcon icon =
      QIcon::fromTheme(QStringLiteral("emblem-music"), QIcon::fromTheme(QStringLiteral("audio-x-generic")));
  if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_MediaVolume);
  QGuiApplication::setWindowIcon(icon);
  if (tray_) {
    tray_->setIcon(icon);
    tray_->show();
  }
}

void TrayShell::createPanel() {
  panel_ = std::make_unique<QQuickView>();
  panel_->setTitle(QStringLiteral("thwacko"));
  if (hasTray_) {
    panel_->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  } else {
    // Without a tray this window is the only way in: closing it ends the application.
    QGuiApplication::setQuitOnLastWindowClosed(true);
  }
  panel_->setResizeMode(QQuickView::SizeViewToRootObject);
  // Qt.quit() in the views (Quit, Ctrl+Q) ends the application, once the click has been handled.
  connect(panel_->engine(), &QQmlEngine::quit, QCoreApplication::instance(), &QCoreApplication::quit,
          Qt::QueuedConnection);
  panel_->setSource(rootView_);
  for (const QQmlError& error : panel_->errors()) std::fprintf(stderr, "%s\n", qPrintable(error.toString()));
  connect(panel_.get(), &QWindow::visibleChanged, this, [this](bool visible) {
    if (!visible && shell_) shell_->panelDidClose();
  });
  connect(panel_.get(), &QWindow::activeChanged, this, &TrayShell::panelActiveChanged);
}

void TrayShell::setPanelAppearance(std::optional<ColorScheme> scheme) {
  palette_.setForcedColorScheme(scheme);
}

bool TrayShell::isPanelShown() const { return panel_ && panel_->isVisible(); }

void TrayShell::showPanel() {
  if (!panel_) return;
  if (hasTray_) placePanel();
  panel_->show();
  panel_->raise();
  panel_->requestActivate();
  if (appeared_) appeared_();
}

void TrayShell::placePanel() {
  const QRect icon = tray_ ? tray_->geometry() : QRect();
  QScreen* screen = icon.isValid() && !icon.isEmpty() ? QGuiApplication::screenAt(icon.center()) : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const int width = panel_->width() > 0 ? panel_->width() : kPanelWidth;
  const int height = panel_->height();
  QPoint at;
  if (icon.isValid() && !icon.isEmpty()) {
    // Under the icon, or above it when the tray sits at the bottom of the screen.
    at = QPoint(icon.center().x() - width / 2, icon.bottom() + 1 + kPanelMargin / 2);
    if (icon.center().y() > area.center().y()) at.setY(icon.top() - height - kPanelMargin / 2);
  } else {
    at = QPoint(area.right() - width - kPanelMargin, area.top() + kPanelMargin);
  }
  at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width)));
  at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height)));
  panel_->setPosition(at);
}

void TrayShell::closePanel() {
  if (panel_ && panel_->isVisible()) panel_->hide();
}

void TrayShell::panelActiveChanged() {
  if (!hasTray_ || panel_->isActive() || !panel_->isVisible()) return;
  const auto watchers = watchers_;
  for (const auto& [token, handler] : watchers) handler();
}

int TrayShell::addOutsideClickWatcher(std::function<void()> handler) {
  watchers_[nextWatcher_] = std::move(handler);
  return nextWatcher_++;
}

void TrayShell::removeOutsideClickWatcher(int token) { watchers_.erase(token); }

void TrayShell::showMenu(std::vector<ShellMenuItem> items) {
  auto* menu = new QMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (ShellMenuItem& item : items) {
    if (item.separator) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(QString::fromStdString(item.title));
    if (!item.key.empty())
      action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(item.key).toUpper()));
    connect(action, &QAction::triggered, this, [run = std::move(item.action)] { run(); });
  }
  if (tray_) tray_->setContextMenu(menu);
  menu->popup(QCursor::pos());
}

void TrayShell::detachMenu() {
  if (tray_) tray_->setContextMenu(nullptr);
}

void TrayShell::openURL(const std::string& url) { thwacko::openURL(url); }

void TrayShell::quit() { QCoreApplication::quit(); }

}  // namespace thwacko
