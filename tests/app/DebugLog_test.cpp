// The trace log's bytes, its fall-back folder, and silence while the switch is
// off.
#include "app/DebugLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/AppState.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("kestrune-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "bin");
    InitPaths((root_ / "bin" / "kestrune").string());
    setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
  }
  void TearDown() override {
    CloseDebugLog();
    DebugEnabled = false;
    unsetenv("XDG_STATE_HOME");
    fs::remove_all(root_);
  }
  fs::path root_;
};

TEST_F(DebugLogTest, FreshLogThenASecondRun) {
  DebugEnabled = true;
  DebugLog("[AudioIn1] Devices searching...");
  WriteDebugLogSeparator();
  DebugLog("deux");
  CloseDebugLog();
  DebugLog("trois");  // the next run's first message
  CloseDebugLog();
  const std::string date = "[^\r\n]+";
  const std::string rule(47, '-');
  const std::regex expected(
      "\\[Velmora\\]\r\n" + date + " : Creation fichier traçage / debug\r\n" + rule + "\r\n" +
      rule + "\r\n" + date + " : Ouverture fichier traçage / debug\r\n" + rule + "\r\n" + date +
      " : \\[AudioIn1\\] Devices searching\\.\\.\\.\r\n" + rule + "\r\n" + date + " : deux\r\n" +
      rule + "\r\n" + date + " : Ouverture fichier traçage / debug\r\n" + rule + "\r\n" + date +
      " : trois\r\n");
  const std::string bytes = ReadAll(LogPath);
  EXPECT_TRUE(std::regex_match(bytes, expected)) << bytes;
}

TEST_F(DebugLogTest, SwitchOffWritesNothing) {
  DebugEnabled = false;
  CreateDebugLog();
  OpenDebugLog();
  DebugLog("rien");
  WriteDebugLogSeparator();
  CloseDebugLog();
  EXPECT_FALSE(DebugLogOpen);
  EXPECT_FALSE(fs::exists(LogPath));
  EXPECT_FALSE(fs::exists(root_ / "state"));
}

TEST_F(DebugLogTest, UnusableExecutableFolderSendsTheLogToTheStateFolder) {
  // A plain file where the folder should be: no one, root included, can
  // create a file in it.
  fs::remove_all(root_ / "bin");
  std::ofstream(root_ / "bin") << "not a folder";
  DebugEnabled = true;
  DebugLog("ailleurs");
  CloseDebugLog();
  const fs::path fallback = root_ / "state" / "kestrune" / "kestrune.log";
  ASSERT_TRUE(fs::exists(fallback));
  EXPECT_NE(ReadAll(fallback).find(" : ailleurs\r\n"), std::string::npos);
}

}  // namespace
