// The palette's look: forced by the user, else the desktop's as the settings portal tells it
// on a private session bus, else the Qt palette's.
#include "ui/theme_palette.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QSignalSpy>

#include "common/private_session_bus.h"
#include "common/wait_until.h"
#include "ui/fake_portal.h"
#include "ui/system_color_scheme.h"

namespace thwacko {
namespace {

TEST(ThemePalette, ForcedLookWinsOverTheDesktopAndEveryColourFollows) {
  ThemePalette palette;
  QSignalSpy changes(&palette, &ThemePalette::changed);
  const QColor light = palette.background();
  palette.setForcedColorScheme(ColorScheme::dark);
  EXPECT_NE(palette.background(), light);
  palette.setSystemColorScheme(ColorScheme::light);  // forced still wins: no change
  EXPECT_TRUE(palette.dark());
  palette.setForcedColorScheme(std::nullopt);  // back to the desktop, not to "light" forced
  palette.setSystemColorScheme(ColorScheme::dark);
  EXPECT_TRUE(palette.dark());
  EXPECT_EQ(changes.count(), 3);  // dark, back to light, dark again
  EXPECT_EQ(ThemePalette::withOpacity(QColor(60, 203, 127), 0.5).alpha(), 128);
}

TEST(SystemColorScheme, FollowsThePortalWhileItHasAPreference) {
  PrivateSessionBus bus;
  ASSERT_TRUE(bus.started());
  FakePortal portal;
  portal.colorScheme = 1;
  QDBusConnection service = bus.connect(QStringLiteral("portal"));
  ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                     QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
  ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

  ThemePalette palette;
  SystemColorScheme scheme(palette, bus.connect(QStringLiteral("client")));
  EXPECT_TRUE(waitUntil([&] { return palette.dark(); }));
  // The client learns who owns the portal's name on its own time; until then a change may pass
  // unseen, so each change is announced until it shows.
  auto announce = [&](unsigned value, bool dark) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      portal.change(value);
      if (waitUntil([&] { return palette.dark() == dark; }, 500)) return true;
    }
    return false;
  };
  EXPECT_TRUE(announce(2, false));
  EXPECT_TRUE(announce(1, true));
  // No preference: the window colour of the (light) offscreen palette decides.
  EXPECT_TRUE(announce(0, false));
  EXPECT_EQ(SystemColorScheme::darkFromPortal(std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace thwacko
