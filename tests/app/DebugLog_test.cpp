// The trace log's bytes, its fall-back folder, and silence while the switch is
// off.
#include "app/DebugLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

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
  const std::string rule(47, '-');
  // Each line: a rule, the product tag, or a non-empty date, " : " and the text.
  const std::vector<std::string> expected = {"[Velmora]",
                                             " : Creation fichier traçage / debug",
                                             rule,
                                             rule,
                                             " : Ouverture fichier traçage / debug",
                                             rule,
                                             " : [AudioIn1] Devices searching...",
                                             rule,
                                             " : deux",
                                             rule,
                                             " : Ouverture fichier traçage / debug",
                                             rule,
                                             " : trois"};
  const std::string bytes = ReadAll(LogPath);
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end = bytes.find("\r\n"); end != std::string::npos; end = bytes.find("\r\n", from)) {
    lines.push_back(bytes.substr(from, end - from));
    from = end + 2;
  }
  EXPECT_EQ(from, bytes.size()) << "the last line ends in CR LF";
  ASSERT_EQ(lines.size(), expected.size()) << bytes;
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string& want = expected[i];
    if (want.rfind(" : ", 0) == 0) {
      ASSERT_GT(lines[i].size(), want.size());
      EXPECT_EQ(lines[i].substr(lines[i].size() - want.size()), want);
      EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos);
    } else {
      EXPECT_EQ(lines[i], want);
    }
  }
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
