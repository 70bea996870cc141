// Byte streams in memory and on files: positions, short reads, errors, and
// files saved whole or not at all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/classes/Streams.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"
#include "tests/platform/classes/SaveFileChecks.h"

namespace {

TEST(MemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream s;
  s.WriteBuffer("abcdef", 6);
  EXPECT_EQ(s.Position(), 6);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Seek(-2, TSeekOrigin::soEnd), 4);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 2);  // short at the end
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(s.Read(buf, 1), 0);
  // A write past the end extends the stream with zeros before it.
  s.SetPosition(8);
  s.WriteBuffer("z", 1);
  EXPECT_EQ(s.Size(), 9);
  EXPECT_EQ(s.Memory()[6], 0);
  EXPECT_EQ(s.Memory()[8], 'z');
  s.SetSize(3);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 3), "abc");
}

TEST(MemoryStream, ErrorsRaiseAndKeepTheData) {
  TMemoryStream s;
  s.WriteBuffer("xyz", 3);
  s.SetPosition(1);
  char buf[4];
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
  EXPECT_THROW(s.Seek(-5, TSeekOrigin::soCurrent), EStreamError);
  EXPECT_THROW(s.SetSize(-1), EStreamError);
  EXPECT_THROW(s.ReadBuffer(buf, -1), EReadError);
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 3), "xyz");
}

TEST(FileStream, CreateWriteReopenRead) {
  const std::string path = testing::TempDir() + "/streams_test.bin";
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("hello world", 11);
    EXPECT_EQ(f.Size(), 11);
  }
  TFileStream f(path, fmOpenRead);
  EXPECT_EQ(f.Size(), 11);
  f.Seek(6, TSeekOrigin::soBeginning);
  char buf[5];
  f.ReadBuffer(buf, 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
  EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);  // opened for reading
  TMemoryStream m;
  m.LoadFromFile(path);
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Position(), 0);
  ::unlink(path.c_str());
}

TEST(FileStream, OpenAndCreateFailuresNameTheFile) {
  try {
    TFileStream f("/nonexistent/dir/file", fmOpenRead);
    FAIL() << "opened";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find("/nonexistent/dir/file"), std::string::npos);
  }
  EXPECT_THROW(TFileStream("/nonexistent/dir/file", fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(testing::TempDir(), fmOpenRead), EFOpenError);  // a directory
}

// Close reports a failed close as the write error it is, and closes once.
TEST(FileStream, CloseReportsAFailedClose) {
  const std::string path = testing::TempDir() + "/streams_close_test.bin";
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("abc", 3);
    f.Close();
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);  // closed
    f.Close();                                         // nothing left to close
  }
  EXPECT_EQ(savetest::ReadFile(path), "abc");
  // The one failure a local file shows: the descriptor, closed behind the
  // stream's back (the stream takes the lowest free one).
  const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(lowest, 0);
  ::close(lowest);
  TFileStream f(path, fmOpenWrite);
  struct stat byStream {};
  struct stat byName {};
  ASSERT_EQ(::fstat(lowest, &byStream), 0);
  ASSERT_EQ(::stat(path.c_str(), &byName), 0);
  ASSERT_EQ(byStream.st_ino, byName.st_ino) << "the stream has another descriptor";
  ASSERT_EQ(::close(lowest), 0);
  EXPECT_THROW(f.Close(), EWriteError);
  ::unlink(path.c_str());
}

TEST(Stream, CopyFromCopiesCountOrWholeSource) {
  TMemoryStream a, b;
  a.WriteBuffer("0123456789", 10);
  a.SetPosition(2);
  EXPECT_EQ(b.CopyFrom(&a, 3), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.Memory()), 3), "234");
  EXPECT_EQ(b.CopyFrom(&a, 0), 10);  // the whole source from its start
  EXPECT_EQ(b.Size(), 13);
  a.SetPosition(8);
  EXPECT_THROW(b.CopyFrom(&a, 5), EReadError);
}

// ---------------------------------------------------------------------------
// Saving a file whole or not at all

using savetest::Listing;
using savetest::ModeOf;
using savetest::ReadFile;
using savetest::TempFolder;
using savetest::WriteFile;

const std::string kContent = std::string(500, 'n') + "the new content";

class MemoryStreamSave : public ::testing::TestWithParam<savetest::SaveEntry> {};

TEST_P(MemoryStreamSave, SavesWholeOrNotAtAll) {
  savetest::ExpectSavedWholeOrNotAtAll(GetParam());
}

void SaveMemoryStream(const std::string& fileName) {
  TMemoryStream m;
  m.WriteBuffer(kContent.data(), static_cast<int64_t>(kContent.size()));
  m.SaveToFile(fileName);
}

// As on a file system without unnamed files.
void SaveMemoryStreamNamedNewFile(const std::string& fileName) {
  SetSaveNewFilesNamedForTesting(true);
  kestrune::ScopeExit unnamedAgain([] { SetSaveNewFilesNamedForTesting(false); });
  SaveMemoryStream(fileName);
}

void ExpectContent(const std::string& fileName) {
  EXPECT_EQ(ReadFile(fileName), kContent);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, MemoryStreamSave,
    ::testing::Values(savetest::SaveEntry{"MemoryStream", ".bin", SaveMemoryStream, ExpectContent},
                      savetest::SaveEntry{"MemoryStreamNamedNewFile", ".bin",
                                          SaveMemoryStreamNamedNewFile, ExpectContent}),
    savetest::EntryName);

void SaveContent(const std::string& fileName) {
  SaveFileAtomically(fileName, [](TStream* s) {
    s->WriteBuffer(kContent.data(), static_cast<int64_t>(kContent.size()));
  });
}

// Unprivileged ids, for the refusals to mean something when the tests run
// as the superuser.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// Makes the process act as nobody for its scope when it runs as the
// superuser (the effective ids and the groups change; the real and saved
// ids stay, to come back); otherwise changes nothing.
class AsNobody {
 public:
  AsNobody() {
    if (::geteuid() != 0)
      return;
    groups_.resize(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    groups_.resize(static_cast<size_t>(
        std::max(::getgroups(static_cast<int>(groups_.size()), groups_.data()), 0)));
    switched_ = true;
    ok_ = ::setgroups(0, nullptr) == 0 && ::setegid(kNoGroup) == 0 && ::seteuid(kNobody) == 0;
  }
  ~AsNobody() {
    if (!switched_)
      return;
    (void)::seteuid(0);
    (void)::setegid(0);
    (void)::setgroups(groups_.size(), groups_.data());
  }
  AsNobody(const AsNobody&) = delete;
  AsNobody& operator=(const AsNobody&) = delete;
  bool Ok() const { return ok_; }

 private:
  std::vector<gid_t> groups_;
  bool switched_ = false;
  bool ok_ = true;
};

// Everything under `root`: each entry's path, type, permissions and owner,
// and a file's content or a link's target (`root` in it written "<root>").
std::map<std::string, std::string> Tree(const std::string& root, const std::string& under = "") {
  std::map<std::string, std::string> tree;
  for (const std::string& name : Listing(root + under)) {
    const std::string path = under + "/" + name;
    struct stat st {};
    if (::lstat((root + path).c_str(), &st) != 0) {
      tree[path] = "vanished";
      continue;
    }
    std::string& entry = tree[path];
    entry = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":" +
            std::to_string(st.st_gid) + " ";
    if (S_ISREG(st.st_mode)) {
      entry += ReadFile(root + path);
    } else if (S_ISLNK(st.st_mode)) {
      std::string to(4096, '\0');
      const ssize_t n = ::readlink((root + path).c_str(), to.data(), to.size());
      to.resize(static_cast<size_t>(std::max<ssize_t>(n, 0)));
      if (to.compare(0, root.size(), root) == 0)
        to.replace(0, root.size(), "<root>");
      entry += "-> " + to;
    } else if (S_ISDIR(st.st_mode)) {
      tree.merge(Tree(root, path));
    }
  }
  return tree;
}

struct LinkCase {
  std::string name;
  // Makes the case in the folder `dir` (a path without its final slash);
  // returns the path to save to.
  std::function<std::string(const std::string& dir)> make;
};

std::ostream& operator<<(std::ostream& out, const LinkCase& row) {
  return out << row.name;
}

void MakeFolder(const std::string& path, mode_t mode) {
  EXPECT_EQ(::mkdir(path.c_str(), mode), 0) << path;
}

void SetMode(const std::string& path, mode_t mode) {
  EXPECT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

// The real file of most rows, in a mode no new file gets.
std::string MakeRealFile(const std::string& dir) {
  WriteFile(dir + "/real.bin", "old");
  SetMode(dir + "/real.bin", 0604);
  return dir + "/real.bin";
}

std::string MakeLink(const std::string& to, const std::string& link) {
  EXPECT_EQ(::symlink(to.c_str(), link.c_str()), 0) << link;
  return link;
}

const LinkCase kLinkCases[] = {
    {"AFile", [](const std::string& dir) { return MakeRealFile(dir); }},
    {"NoFile", [](const std::string& dir) { return dir + "/new.bin"; }},
    {"ARelativeLink",
     [](const std::string& dir) {
       MakeRealFile(dir);
       return MakeLink("real.bin", dir + "/link");
     }},
    {"AnAbsoluteLink",
     [](const std::string& dir) { return MakeLink(MakeRealFile(dir), dir + "/link"); }},
    // The second link's target is relative to its own folder.
    {"AChainOfLinksThroughAFolder",
     [](const std::string& dir) {
       MakeRealFile(dir);
       MakeFolder(dir + "/sub", 0700);
       MakeLink("../real.bin", dir + "/sub/link");
       return MakeLink("sub/link", dir + "/link-to-link");
     }},
    {"ALinkToAReadOnlyFile",
     [](const std::string& dir) {
       WriteFile(dir + "/read-only.bin", "old");
       SetMode(dir + "/read-only.bin", 0444);
       return MakeLink("read-only.bin", dir + "/link");
     }},
    {"ADanglingLink",
     [](const std::string& dir) { return MakeLink("missing.bin", dir + "/dangling"); }},
    {"ADanglingLinkIntoAMissingFolder",
     [](const std::string& dir) { return MakeLink("nowhere/missing.bin", dir + "/dangling"); }},
    {"ALoopOfLinks",
     [](const std::string& dir) {
       MakeLink("b", dir + "/a");
       return MakeLink("a", dir + "/b");
     }},
    {"ALinkIntoAFolderOneMayNotSearch",
     [](const std::string& dir) {
       MakeFolder(dir + "/locked", 0700);
       MakeRealFile(dir + "/locked");
       SetMode(dir + "/locked", 0600);
       return MakeLink("locked/real.bin", dir + "/link");
     }},
    {"ALinkToAFolder",
     [](const std::string& dir) {
       MakeFolder(dir + "/sub", 0700);
       return MakeLink("sub", dir + "/link");
     }},
};

class SaveThroughLinks : public ::testing::TestWithParam<LinkCase> {};

// The kernel follows the links and decides, so a save does to the folder
// what opening the path to write (creating the file when missing, as a
// file stream would) and writing the content do, only whole or not at all:
// the same file gets the content and keeps its mode and owner, links stay,
// and a refused open is the save's refusal, with its reason. The open is
// made on a twin of the case, built beside it.

TEST_P(SaveThroughLinks, DoesWhatAPlainOpenAndWriteDo) {
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(folder.Path().c_str(), kNobody, kNoGroup), 0);
  }
  const std::string byOpen = folder / "open", bySave = folder / "save";
  int openError = 0;
  std::string saveError;
  std::string savePath;
  {
    AsNobody nobody;
    ASSERT_TRUE(nobody.Ok());
    MakeFolder(byOpen, 0700);
    MakeFolder(bySave, 0700);
    const std::string openPath = GetParam().make(byOpen);
    savePath = GetParam().make(bySave);
    const int fd = ::open(openPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    openError = fd < 0 ? errno : 0;
    if (fd >= 0) {
      EXPECT_EQ(::write(fd, kContent.data(), kContent.size()),
                static_cast<ssize_t>(kContent.size()));
      ::close(fd);
    }
    try {
      SaveContent(savePath);
    } catch (const EFCreateError& e) {
      saveError = e.Message();
    }
  }
  if (openError == 0)
    EXPECT_EQ(saveError, "");
  else
    EXPECT_EQ(saveError,
              "Impossible de créer le fichier « " + savePath + " » : " + std::strerror(openError));
  folder.Unlock();  // for Tree to see into a locked folder
  EXPECT_EQ(Tree(bySave), Tree(byOpen));
}

INSTANTIATE_TEST_SUITE_P(Cases, SaveThroughLinks, ::testing::ValuesIn(kLinkCases),
                         [](const ::testing::TestParamInfo<LinkCase>& info) {
                           return info.param.name;
                         });

// A link another user planted in a sticky world-writable folder, naming a
// file of the saver's, is refused where the kernel protects links (as a
// plain open is), and the file stays.
TEST(SaveFileAtomically, RefusesALinkAnotherUserPlantedInAStickyFolder) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "planting another user's link needs the superuser";
  if (ReadFile("/proc/sys/fs/protected_symlinks") != "1\n")
    GTEST_SKIP() << "fs.protected_symlinks is not 1 here: the kernel follows such links";
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  ASSERT_EQ(::chmod(folder.Path().c_str(), 01777), 0);
  WriteFile(folder / "mine.bin", "old");
  ASSERT_EQ(::symlink("mine.bin", (folder / "planted").c_str()), 0);
  ASSERT_EQ(::lchown((folder / "planted").c_str(), kNobody, kNoGroup), 0);
  const int fd = ::open((folder / "planted").c_str(), O_WRONLY | O_CLOEXEC);
  EXPECT_EQ(fd < 0 ? errno : 0, EACCES) << "a plain open follows the planted link";
  if (fd >= 0)
    ::close(fd);
  try {
    SaveContent(folder / "planted");
    ADD_FAILURE() << "saved through the planted link";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Impossible de créer le fichier « " + folder / "planted" +
                               " » : " + std::strerror(EACCES));
  }
  EXPECT_EQ(ReadFile(folder / "mine.bin"), "old");
  EXPECT_EQ(Listing(folder.Path()), (std::set<std::string>{"mine.bin", "planted"}));
}

// What the writer raises reaches the caller, and the half-written file goes;
// through a dangling link, so does the file the link got, empty.
TEST(SaveFileAtomically, AFailingWriterLeavesTheOldFile) {
  auto failingWriter = [](TStream* s) {
    s->WriteBuffer("half", 4);
    throw EAbort("stopped");
  };
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  WriteFile(folder / "f.bin", "old");
  EXPECT_THROW(SaveFileAtomically(folder / "f.bin", failingWriter), EAbort);
  EXPECT_EQ(ReadFile(folder / "f.bin"), "old");
  EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{"f.bin"});

  ASSERT_EQ(::symlink("missing.bin", (folder / "dangling").c_str()), 0);
  EXPECT_THROW(SaveFileAtomically(folder / "dangling", failingWriter), EAbort);
  EXPECT_EQ(Listing(folder.Path()), (std::set<std::string>{"f.bin", "dangling"}));
}

// A target replaced, removed or made while the content is written (another
// save of the same file, say) is replaced all the same: the last save to
// finish holds the name, whole, as when the saves come one after the other.
// Through a link too: the file the link names is replaced.
TEST(SaveFileAtomically, ATargetChangedMeanwhileIsReplacedByTheLastSave) {
  struct Row {
    const char* name;
    bool targetExists;
    std::function<void(const std::string& target)> change;
  };
  const Row rows[] = {
      {"replaced", true,
       [](const std::string& target) {
         WriteFile(target + ".other", "other");
         EXPECT_EQ(::rename((target + ".other").c_str(), target.c_str()), 0);
       }},
      {"removed", true, [](const std::string& target) { EXPECT_EQ(::unlink(target.c_str()), 0); }},
      {"made", false, [](const std::string& target) { WriteFile(target, "other"); }},
  };
  for (const Row& row : rows) {
    for (const bool throughLink : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (throughLink ? ", through a link" : ""));
      TempFolder folder;
      ASSERT_TRUE(folder.Valid());
      const std::string target = folder / "f.bin";
      if (row.targetExists)
        WriteFile(target, "old");
      std::set<std::string> listing{"f.bin"};
      std::string saved = target;
      if (throughLink) {
        ASSERT_EQ(::symlink("f.bin", (folder / "link").c_str()), 0);
        listing.insert("link");
        saved = folder / "link";
      }
      EXPECT_NO_THROW(SaveFileAtomically(saved, [&](TStream* s) {
        s->WriteBuffer(kContent.data(), static_cast<int64_t>(kContent.size()));
        row.change(target);
      }));
      EXPECT_EQ(Listing(folder.Path()), listing);
      EXPECT_EQ(ReadFile(target), kContent);
    }
  }
}

// A folder, a file we may not write and a file in a folder we may not write
// are refused with the creation error; nothing changes.
TEST(SaveFileAtomically, RefusedTargetsStayAsTheyWere) {
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  ASSERT_EQ(::mkdir((folder / "sub").c_str(), 0755), 0);
  EXPECT_THROW(SaveContent(folder / "sub"), EFCreateError);
  EXPECT_THROW(SaveContent(folder / "sub/"), EFCreateError);
  EXPECT_EQ(Listing(folder / "sub"), std::set<std::string>{});
  if (::geteuid() == 0)
    GTEST_SKIP() << "the superuser writes read-only files and folders";
  WriteFile(folder / "read-only.bin", "old");
  ASSERT_EQ(::chmod((folder / "read-only.bin").c_str(), 0444), 0);
  EXPECT_THROW(SaveContent(folder / "read-only.bin"), EFCreateError);
  EXPECT_EQ(ReadFile(folder / "read-only.bin"), "old");
  WriteFile(folder / "sub/kept.bin", "old");
  ASSERT_EQ(::chmod((folder / "sub").c_str(), 0555), 0);
  try {
    SaveContent(folder / "sub/kept.bin");
    ADD_FAILURE() << "saved in a locked folder";
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find(folder / "sub/kept.bin"), std::string::npos) << e.Message();
  }
  ASSERT_EQ(::chmod((folder / "sub").c_str(), 0755), 0);
  EXPECT_EQ(ReadFile(folder / "sub/kept.bin"), "old");
  EXPECT_EQ(Listing(folder.Path()), (std::set<std::string>{"sub", "read-only.bin"}));
  EXPECT_EQ(Listing(folder / "sub"), std::set<std::string>{"kept.bin"});
}

// A FIFO (as a device) is written in place: it stays a FIFO. So is a pipe
// reached through the system's link to a descriptor (/proc/self/fd/N, as
// /dev/stdout is), a link that only the kernel can follow.
TEST(SaveFileAtomically, WritesIntoAFifoInPlace) {
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int pipeEnds[2] = {-1, -1};
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK), 0);
  struct Row {
    const char* name;
    std::string path;
    int reader;
  };
  const int fifoReader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fifoReader, 0);
  for (const Row& row :
       {Row{"a FIFO", fifo, fifoReader},
        Row{"a pipe", "/proc/self/fd/" + std::to_string(pipeEnds[1]), pipeEnds[0]}}) {
    SCOPED_TRACE(row.name);
    SaveContent(row.path);
    std::string got(kContent.size() + 1, '\0');
    EXPECT_EQ(::read(row.reader, got.data(), got.size()), static_cast<ssize_t>(kContent.size()));
    got.resize(kContent.size());
    EXPECT_EQ(got, kContent);
  }
  ::close(fifoReader);
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{"fifo"});
}

// The new file has no name while it is written, so that a save cut short
// leaves nothing; where the file system has no unnamed files it has its
// hidden name from the start. Either way the target alone remains.
TEST(SaveFileAtomically, TheNewFileIsNamedOnlyOnceWhole) {
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named from the start" : "unnamed");
    TempFolder folder;
    ASSERT_TRUE(folder.Valid());
    WriteFile(folder / "f.bin", "old");
    SetSaveNewFilesNamedForTesting(named);
    kestrune::ScopeExit unnamedAgain([] { SetSaveNewFilesNamedForTesting(false); });
    std::set<std::string> whileWriting;
    SaveFileAtomically(folder / "f.bin", [&](TStream* s) {
      s->WriteBuffer(kContent.data(), static_cast<int64_t>(kContent.size()));
      whileWriting = Listing(folder.Path());
    });
    EXPECT_EQ(whileWriting.size(), named ? 2u : 1u);
    EXPECT_EQ(whileWriting.count("f.bin"), 1u);
    EXPECT_EQ(ReadFile(folder / "f.bin"), kContent);
    EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{"f.bin"});
  }
}

// Saves of 64 MB killed at random moments (as by SIGKILL, the out-of-memory
// killer or a power cut) leave nothing behind: after one more good save the
// folder holds the target alone, whole.
TEST(SaveFileAtomically, KilledSavesLeaveNothingBehind) {
  constexpr int kChunks = 64;
  constexpr size_t kChunkBytes = 1 << 20;
  auto saveBig = [](const std::string& fileName, char fill) {
    const std::string bytes(kChunkBytes, fill);
    SaveFileAtomically(fileName, [&](TStream* s) {
      for (int i = 0; i < kChunks; ++i)
        s->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    });
  };
  // In memory where the system has a folder there: the flushes to the disk
  // then cost nothing, which keeps twenty saves quick; what a killed save
  // leaves does not depend on the file system.
  const bool inMemory = ::access("/dev/shm", W_OK | X_OK) == 0;
  TempFolder folder(inMemory ? "/dev/shm" : ::testing::TempDir());
  ASSERT_TRUE(folder.Valid());
  const std::string target = folder / "big.bin";
  // The kills fall within the time a save takes here.
  const auto start = std::chrono::steady_clock::now();
  saveBig(target, 'a');
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  std::mt19937 random(20240611);
  std::uniform_int_distribution<long> moment(0, static_cast<long>(took));
  int killedWhileSaving = 0;
  for (int kill = 0; kill < 20; ++kill) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        saveBig(target, 'b');
      } catch (...) {
      }
      ::_exit(0);
    }
    ::usleep(static_cast<useconds_t>(moment(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFSIGNALED(status))
      ++killedWhileSaving;
  }
  EXPECT_GT(killedWhileSaving, 0) << "every save ended before its kill";
  saveBig(target, 'c');
  EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{"big.bin"});
  const std::string saved = ReadFile(target);
  EXPECT_EQ(saved.size(), kChunkBytes * kChunks);
  EXPECT_EQ(saved.find_first_not_of('c'), std::string::npos);
}

}  // namespace
