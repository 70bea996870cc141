// The checks every save to a file passes, shared by the tests of the
// streams, the graphics, the controls' pictures and the scope: a full disk
// over an existing file and over none, folders that cannot be written, a
// path near the system's length limit, then a good save that reads back.
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

#include <algorithm>
#include <fstream>
#include <functional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <utility>

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
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
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

// A new empty folder under `parent` (the test's temporary folder by
// default), removed with all it holds at the end of the scope.
class TempFolder {
 public:
  explicit TempFolder(const std::string& parent = ::testing::TempDir()) {
    std::string pattern = parent + "/savefile-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
  }
  ~TempFolder() {
    if (path_.empty())
      return;
    Unlock();
    ::nftw(
        path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  bool Valid() const { return !path_.empty(); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }
  // Opens every folder in it to its owner again, a test may have locked
  // some (left as they are: those of other users, for an owner that is not
  // the superuser).
  void Unlock() const { UnlockFolder(path_); }

 private:
  static void UnlockFolder(const std::string& folder) {
    ::chmod(folder.c_str(), 0700);
    for (const std::string& name : Listing(folder)) {
      struct stat st {};
      if (::lstat((folder + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        UnlockFolder(folder + "/" + name);
    }
  }

  std::string path_;
};

// A path of `length` bytes ending in "/" + `last`, through new folders made
// under `root` (names of at most 200 bytes, within the system's 255).
inline std::string DeepPath(const std::string& root, size_t length, const std::string& last) {
  std::string path = root;
  const size_t folderLength = length - 1 - last.size();
  while (path.size() < folderLength) {
    // One byte left over would need a folder with an empty name.
    size_t name = std::min<size_t>(200, folderLength - path.size() - 1);
    if (folderLength - path.size() - 1 - name == 1)
      --name;
    path += "/" + std::string(name, 'd');
    if (::mkdir(path.c_str(), 0700) != 0)
      return std::string();
  }
  return path + "/" + last;
}

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
    SCOPED_TRACE("a path of 4,090 bytes with a 20-byte last name, new then existing");
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    const std::string last = std::string(20 - entry.extension.size(), 'p') + entry.extension;
    const std::string target = DeepPath(folder.Path(), 4090, last);
    ASSERT_EQ(target.size(), 4090u);
    EXPECT_NO_THROW(entry.save(target));
    entry.expectReadsBack(target);
    EXPECT_NO_THROW(entry.save(target));
    entry.expectReadsBack(target);
    EXPECT_EQ(Listing(target.substr(0, target.size() - last.size())), std::set<std::string>{last});
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
