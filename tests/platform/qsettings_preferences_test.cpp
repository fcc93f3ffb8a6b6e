#include "platform/qsettings_preferences.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <optional>

#include "common/preferences_contract.h"
#include "common/recording_log.h"
#include "common/wait_until.h"

namespace thwacko {
namespace {

// The child half of the restart test reads the file named here; run alone it skips itself.
constexpr const char* kChildFileVariable = "THWACKO_PREFERENCES_CHILD_FILE";

ino_t inode(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// A settings file in folders that do not exist yet; a restart is a new store on the same file.
struct SettingsFileStore {
  ~SettingsFileStore() { EXPECT_TRUE(log.lines.empty()); }
  QSettingsPreferences& open() { return prefs.emplace(file, log); }
  QSettingsPreferences& reopen() {
    prefs.reset();
    return open();
  }

  QTemporaryDir dir;
  QString path = dir.filePath("config/thwacko/thwacko.conf");
  std::string file = path.toStdString();
  RecordingLog log;
  std::optional<QSettingsPreferences> prefs;
};
INSTANTIATE_TYPED_TEST_SUITE_P(QSettings, PreferencesContract, SettingsFileStore);

class QSettingsPreferencesTest : public testing::Test, protected SettingsFileStore {
 protected:
  QDir folder() const { return QFileInfo(path).dir(); }
  void write(const QByteArray& bytes) {
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
  }

  // Opens a store on what `make` left at the settings path: it is moved aside as it is, with
  // one line, and a new file takes its place.
  void expectSetAside(const char* what, const std::function<void()>& make) {
    SCOPED_TRACE(what);
    QDir().mkpath(folder().path());
    make();
    const ino_t original = inode(file);
    ASSERT_NE(original, 0u);
    open();
    EXPECT_EQ(prefs->value("thwacko.mode.v2"), std::nullopt);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(log.lines[0].starts_with("[Preferences] Could not read ")) << log.lines[0];
    prefs->writeString("thwacko.mode.v2", "experimentalLR");
    EXPECT_EQ(reopen().readString("thwacko.mode.v2"), "experimentalLR");
    prefs.reset();
    EXPECT_EQ(log.lines.size(), 1u);
    log.lines.clear();
    const QStringList aside =
        folder().entryList({"thwacko.conf.unreadable-*"}, QDir::AllEntries | QDir::System);
    ASSERT_EQ(aside.size(), 1);
    const std::string kept = folder().filePath(aside[0]).toStdString();
    EXPECT_EQ(inode(kept), original);
    ::unlink(kept.c_str());
    ::unlink(file.c_str());
  }
};

TEST_F(QSettingsPreferencesTest, EveryKindReadsBackAfterARestartInANewProcess) {
  writeEveryKindOfValue(open());
  prefs.reset();
  QProcess child;
  auto environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kChildFileVariable, path);
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=QSettingsPreferencesChild.ReadsWhatTheParentWrote"});
  ASSERT_TRUE(child.waitForFinished(30000));
  const QString output = QString::fromUtf8(child.readAll());
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(QSettingsPreferencesChild, ReadsWhatTheParentWrote) {
  const QByteArray path = qgetenv(kChildFileVariable);
  if (path.isEmpty()) GTEST_SKIP() << "runs only as the child of the restart test";
  RecordingLog log;
  expectEveryKindOfValue(QSettingsPreferences(path.toStdString(), log));
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(QSettingsPreferencesTest, WritesAreSavedLaterFromTheEventLoopInOneAtomicReplace) {
  open();
  for (std::int64_t count = 1; count <= 100; ++count) prefs->writeInteger("totalTapCount", count);
  prefs->writeString("thwacko.mode.v2", "split");
  EXPECT_FALSE(QFile::exists(path)) << "saved on the caller's path";
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(path); }, 5000));
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), "[General]\nthwacko.mode.v2=split\ntotalTapCount=100\n");  // dots make no groups

  const ino_t before = inode(file);
  prefs->writeInteger("totalTapCount", 101);
  prefs->flush();
  EXPECT_NE(inode(file), before) << "the file was rewritten in place, not replaced";
  EXPECT_EQ(QSettingsPreferences(file, log).readInteger("totalTapCount"), 101);
}

TEST_F(QSettingsPreferencesTest, PendingWritesAreSavedWhenTheApplicationQuits) {
  open().writeBool("midiOutputEnabled", true);
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  QCoreApplication::exec();  // returns long before the save delay has passed
  EXPECT_TRUE(QSettingsPreferences(file, log).readBool("midiOutputEnabled"));
}

TEST_F(QSettingsPreferencesTest, AFileNotInTheSettingsFormatOrCutShortIsSetAside) {
  expectSetAside("bad section", [&] { write("[General\nthwacko.mode.v2=split\n"); });
  expectSetAside("binary", [&] { write(QByteArray("thwacko.mode.v2=split\n\x89PNG\r\n\x1a\n\0\0", 32)); });
  // A cut inside a value leaves text that QSettings takes as a plain string, and saving it
  // again would make the damage permanent.
  expectSetAside("cut short", [&] { write("[General]\nthwacko.velocity.v2=@ByteArray({\"sound\":\"sn"); });
}

TEST_F(QSettingsPreferencesTest, ASettingsPathThatIsNotARegularFileIsSetAsideUnopened) {
  ::alarm(20);  // opening a FIFO for reading would block: fail rather than hang
  const std::string pipe = folder().filePath("pipe").toStdString();
  expectSetAside("FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); });
  expectSetAside("link to a FIFO", [&] {
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(pipe.c_str(), file.c_str()), 0);
  });
  struct stat target {};
  EXPECT_TRUE(::lstat(pipe.c_str(), &target) == 0 && S_ISFIFO(target.st_mode)) << "written through the link";
  expectSetAside("dangling link", [&] { ASSERT_EQ(::symlink("missing", file.c_str()), 0); });
  ::alarm(0);
}

}  // namespace
}  // namespace thwacko
