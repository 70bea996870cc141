// The checks every save to a file passes, shared by the tests of the
// streams, the graphics, the controls' pictures and the scope: a full disk
// over an existing file and over none, folders that cannot be written, then
// a good save that reads back.
//
// The full disk is the file size limit of a child process (fork): writing
// past it fails with EFBIG, as on a full disk, SIGXFSZ being ignored. The
// child saves and says by its exit status what the save raised; the parent
// then looks at the folder.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>

#include "platform/classes/Streams.h"

namespace savetest {

// One way of saving a picture to a file.
struct SaveEntry {
  std::string name;
  std::string extension;  // of the file saved, with its dot
  // Saves the entry's picture under the name given; raises as the entry
  // does. Its picture is more than kSizeLimit bytes long.
  std::function<void(const std::string& fileName)> save;
  // Checks (EXPECT_...) that the file holds the entry's picture.
  std::function<void(const std::string& fileName)> expectReadsBack;
};

inline std::ostream& operator<<(std::ostream& out, const SaveEntry& entry) {
  return out << entry.name;
}

// For INSTANTIATE_TEST_SUITE_P: rows named after their entry.
inline std::string EntryName(const ::testing::TestParamInfo<SaveEntry>& info) {
  return info.param.name;
}

// The file size limit of the child: smaller than any picture saved.
inline constexpr rlim_t kSizeLimit = 64;

inline std::string ReadFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& fileName, const std::string& bytes) {
  std::ofstream(fileName, std::ios::binary | std::ios::trunc) << bytes;
}

inline mode_t ModeOf(const std::string& fileName) {
  struct stat st {};
  return ::stat(fileName.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The names in a folder (without "." and "..").
inline std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..")
        names.insert(name);
    }
    ::closedir(dir);
  }
  return names;
}

// A new empty folder under the test's temporary folder, removed with all it
// holds at the end of the scope.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = ::testing::TempDir() + "/savefile-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TempFolder() {
    if (path_.empty())
      return;
    ::chmod(path_.c_str(), 0700);  // a test may have locked it
    ::nftw(
        path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  bool Valid() const { return !path_.empty(); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// What the child's save ended with, as its exit status.
enum SaveOutcome : int {
  kSaved = 0,
  kWriteErrorRaised = 10,  // EWriteError "Erreur d'écriture du flux"
  kOtherError = 11,
  kNoChild = -1,
};

// Saves `fileName` in a child process limited to kSizeLimit bytes per file.
inline int SaveOnAFullDisk(const SaveEntry& entry, const std::string& fileName) {
  const pid_t child = ::fork();
  if (child < 0)
    return kNoChild;
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kSizeLimit, kSizeLimit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      ::_exit(kOtherError);
    try {
      entry.save(fileName);
      ::_exit(kSaved);
    } catch (const EWriteError& e) {
      ::_exit(e.Message() == "Erreur d'écriture du flux" ? kWriteErrorRaised : kOtherError);
    } catch (...) {
      ::_exit(kOtherError);
    }
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
    return kNoChild;
  return WEXITSTATUS(status);
}

// The old picture that a failed save must leave as it is.
inline const std::string kOldPicture = "the old good picture\n";
inline constexpr mode_t kOldMode = 0640;  // no default mode gives it

// Runs every check on `entry`.
inline void ExpectSavedWholeOrNotAtAll(const SaveEntry& entry) {
  const std::string name = "picture" + entry.extension;

  {
    SCOPED_TRACE("a full disk over an existing picture");
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    WriteFile(folder / name, kOldPicture);
    ASSERT_EQ(::chmod((folder / name).c_str(), kOldMode), 0);
    EXPECT_EQ(SaveOnAFullDisk(entry, folder / name), kWriteErrorRaised);
    EXPECT_EQ(ReadFile(folder / name), kOldPicture);
    EXPECT_EQ(ModeOf(folder / name), kOldMode);
    EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{name});
  }
  {
    SCOPED_TRACE("a full disk over no file");
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    EXPECT_EQ(SaveOnAFullDisk(entry, folder / name), kWriteErrorRaised);
    EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{});
  }
  {
    SCOPED_TRACE("a folder path through a regular file");
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    WriteFile(folder / "file", kOldPicture);
    EXPECT_THROW(entry.save(folder / ("file/" + name)), EFCreateError);
    EXPECT_EQ(ReadFile(folder / "file"), kOldPicture);
    EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{"file"});
  }
  if (::geteuid() != 0) {
    SCOPED_TRACE("a folder we may not write");
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
    EXPECT_THROW(entry.save(folder / name), EFCreateError);
    EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{});
  }
  {
    SCOPED_TRACE("a good save over an existing picture, then over none");
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    WriteFile(folder / name, kOldPicture);
    ASSERT_EQ(::chmod((folder / name).c_str(), kOldMode), 0);
    entry.save(folder / name);
    entry.expectReadsBack(folder / name);
    EXPECT_GT(ReadFile(folder / name).size(), kSizeLimit) << "too small to fill the disk";
    EXPECT_EQ(ModeOf(folder / name), kOldMode);
    EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{name});

    const std::string fresh = "fresh" + entry.extension;
    const mode_t umaskNow = ::umask(0);
    ::umask(umaskNow);
    entry.save(folder / fresh);
    entry.expectReadsBack(folder / fresh);
    EXPECT_EQ(ModeOf(folder / fresh), 0666 & ~umaskNow);  // as any new file
    EXPECT_EQ(Listing(folder.Path()), (std::set<std::string>{name, fresh}));
  }
}

}  // namespace savetest
