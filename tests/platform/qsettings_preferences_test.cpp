#include "platform/qsettings_preferences.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/recording_log.h"

namespace thwacko {
namespace {

// The child half of the restart test reads the file named here; run alone it skips itself.
constexpr const char* kChildFileVariable = "THWACKO_PREFERENCES_CHILD_FILE";

std::string everyByte() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  // Escapes followed by hex digits, and text that looks like the file's own markup.
  return bytes + std::string("\0a\0f\x01\x39\\x00\"@ByteArray(", 22);
}

// A value of every type, with the awkward cases of each.
std::vector<std::pair<std::string, PreferenceValue>> everything() {
  return {{"thwacko.velocityCeiling.v1", 0.1 + 0.2},
          {"tiny", 4.9406564584124654e-324},
          {"huge", -std::numeric_limits<double>::max()},
          {"thwacko.volume", 0.7f},
          {"invertPalmAxis", true},
          {"midiOutputEnabled", false},
          {"midiSourceUniqueID", std::numeric_limits<std::int64_t>::min()},
          {"totalTapCount", std::numeric_limits<std::int64_t>::max()},
          {"thwacko.mode.v2", std::string("experimentalLR")},
          {"awkward text", std::string("@a, b; c = \"d\"\n\t\u00e9\u2603 [General]")},
          {"empty", std::string()},
          {"bytes", PreferenceData{everyByte()}},
          {"no bytes", PreferenceData{}}};
}

// The typed read of the key that matches the type of the written value.
PreferenceValue readAs(const Preferences& prefs, const std::string& key, const PreferenceValue& written) {
  switch (written.index()) {
    case 0:
      return prefs.readString(key).value_or("(no text)");
    case 1:
      return PreferenceData{prefs.readData(key).value_or("(no data)")};
    case 2:
      return prefs.readDouble(key);
    case 3:
      return prefs.readFloat(key);
    case 4:
      return prefs.readBool(key);
    default:
      return prefs.readInteger(key);
  }
}

void writeEverything(Preferences& prefs) {
  for (const auto& [key, value] : everything()) prefs.setValue(key, value);
}

void expectEverything(const Preferences& prefs) {
  for (const auto& [key, value] : everything()) {
    EXPECT_TRUE(prefs.value(key).has_value()) << key;
    EXPECT_EQ(readAs(prefs, key, value), value) << key;
  }
  EXPECT_EQ(prefs.readData("thwacko.mode.v2"), std::nullopt);  // text stays text, data stays data
  EXPECT_EQ(prefs.readString("bytes"), std::nullopt);
}

// Runs the event loop until the condition holds or five seconds have passed.
template <typename Condition>
bool waitFor(Condition condition) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!condition() && elapsed.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return condition();
}

ino_t inode(const QString& path) {
  struct stat info {};
  return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

class QSettingsPreferencesTest : public testing::Test {
 protected:
  QTemporaryDir dir_;
  QString path_ = dir_.filePath("config/thwacko/thwacko.conf");  // folders that do not exist yet
  std::string file_ = path_.toStdString();
  RecordingLog log_;
};

TEST_F(QSettingsPreferencesTest, EveryTypeReadsBackExactlyAfterARestartInANewProcess) {
  {
    QSettingsPreferences prefs(file_, log_);
    writeEverything(prefs);
    expectEverything(prefs);  // at once, before anything is saved
  }
  QProcess child;
  auto environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kChildFileVariable, path_);
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=QSettingsPreferencesChild.ReadsWhatTheParentWrote"});
  ASSERT_TRUE(child.waitForFinished(30000));
  const QString output = QString::fromUtf8(child.readAll());
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
  EXPECT_TRUE(log_.lines.empty());
}

TEST(QSettingsPreferencesChild, ReadsWhatTheParentWrote) {
  const QByteArray path = qgetenv(kChildFileVariable);
  if (path.isEmpty()) GTEST_SKIP() << "runs only as the child of the restart test";
  RecordingLog log;
  QSettingsPreferences prefs(path.toStdString(), log);
  expectEverything(prefs);
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(QSettingsPreferencesTest, WritesAreSavedLaterFromTheEventLoopInOneAtomicReplace) {
  QSettingsPreferences prefs(file_, log_);
  for (std::int64_t count = 1; count <= 100; ++count) prefs.writeInteger("totalTapCount", count);
  prefs.writeString("thwacko.mode.v2", "split");
  EXPECT_FALSE(QFile::exists(path_)) << "saved on the caller's path";
  ASSERT_TRUE(waitFor([&] { return QFile::exists(path_); }));
  QFile file(path_);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "[General]\nthwacko.mode.v2=split\ntotalTapCount=100\n");  // dots make no groups

  const ino_t before = inode(path_);
  prefs.writeInteger("totalTapCount", 101);
  prefs.flush();
  EXPECT_NE(inode(path_), before) << "the file was rewritten in place, not replaced";
  EXPECT_EQ(QSettingsPreferences(file_, log_).readInteger("totalTapCount"), 101);
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(QSettingsPreferencesTest, PendingWritesAreSavedWhenTheApplicationQuits) {
  QSettingsPreferences prefs(file_, log_);
  prefs.writeBool("midiOutputEnabled", true);
  QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
  QCoreApplication::exec();  // returns long before the save delay has passed
  EXPECT_TRUE(QSettingsPreferences(file_, log_).readBool("midiOutputEnabled"));
}

TEST_F(QSettingsPreferencesTest, AnUnparseableFileIsSetAsideAndTheStoreStartsEmpty) {
  for (const QByteArray& garbage : {QByteArray("[General\nthwacko.mode.v2=split\n"),
                                    QByteArray("thwacko.mode.v2=split\n\x89PNG\r\n\x1a\n\0\0", 32)}) {
    SCOPED_TRACE(garbage.toStdString());
    QDir().mkpath(QFileInfo(path_).path());
    QFile file(path_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(garbage);
    file.close();
    log_.lines.clear();
    {
      QSettingsPreferences prefs(file_, log_);
      EXPECT_EQ(prefs.value("thwacko.mode.v2"), std::nullopt);
      ASSERT_EQ(log_.lines.size(), 1u);
      EXPECT_TRUE(log_.lines[0].starts_with("[Preferences] Could not read ")) << log_.lines[0];
      EXPECT_FALSE(QFile::exists(path_));
      prefs.writeString("thwacko.mode.v2", "experimentalLR");
    }
    EXPECT_EQ(QSettingsPreferences(file_, log_).readString("thwacko.mode.v2"), "experimentalLR");
    EXPECT_EQ(log_.lines.size(), 1u);
    const QStringList setAside = QDir(QFileInfo(path_).path()).entryList({"thwacko.conf.unreadable-*"});
    ASSERT_EQ(setAside.size(), 1);
    QFile kept(QFileInfo(path_).dir().filePath(setAside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage);
    kept.remove();
  }
}

TEST_F(QSettingsPreferencesTest, ObserversOfAKeyHearEveryWriteToItAndNoOther) {
  QSettingsPreferences prefs(file_, log_);
  int calls = 0;
  auto subscription = prefs.observe("appearancePreference", [&] {
    EXPECT_EQ(prefs.readString("appearancePreference"), "dark");
    ++calls;
  });
  prefs.writeString("appearancePreference", "dark");
  prefs.writeString("appearancePreference", "dark");
  prefs.writeString("updateLastNotifiedVersion", "1.2");
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace thwacko
