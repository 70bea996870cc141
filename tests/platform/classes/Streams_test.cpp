// Byte streams in memory and on files: positions, short reads, errors, and
// files saved whole or not at all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "platform/classes/Streams.h"
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

INSTANTIATE_TEST_SUITE_P(
    Entries, MemoryStreamSave,
    ::testing::Values(savetest::SaveEntry{
        "MemoryStream", ".bin",
        [](const std::string& fileName) {
          TMemoryStream m;
          m.WriteBuffer(kContent.data(), static_cast<int64_t>(kContent.size()));
          m.SaveToFile(fileName);
        },
        [](const std::string& fileName) { EXPECT_EQ(ReadFile(fileName), kContent); }}),
    savetest::EntryName);

void SaveContent(const std::string& fileName) {
  SaveFileAtomically(fileName, [](TStream* s) {
    s->WriteBuffer(kContent.data(), static_cast<int64_t>(kContent.size()));
  });
}

// A link keeps pointing where it did, and the file it names gets the new
// content (a dangling link gets its file).
TEST(SaveFileAtomically, FollowsLinksToTheFileTheyName) {
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  WriteFile(folder / "real.bin", "old");
  ASSERT_EQ(::chmod((folder / "real.bin").c_str(), 0604), 0);
  ASSERT_EQ(::symlink("real.bin", (folder / "link").c_str()), 0);
  ASSERT_EQ(::symlink("link", (folder / "link-to-link").c_str()), 0);
  ASSERT_EQ(::symlink("missing.bin", (folder / "dangling").c_str()), 0);
  SaveContent(folder / "link-to-link");
  SaveContent(folder / "dangling");
  struct stat st {};
  ASSERT_EQ(::lstat((folder / "link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat((folder / "dangling").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(folder / "real.bin"), kContent);
  EXPECT_EQ(ModeOf(folder / "real.bin"), 0604u);
  EXPECT_EQ(ReadFile(folder / "missing.bin"), kContent);
  EXPECT_EQ(Listing(folder.Path()),
            (std::set<std::string>{"real.bin", "link", "link-to-link", "dangling", "missing.bin"}));
}

// What the writer raises reaches the caller, and the half-written file goes.
TEST(SaveFileAtomically, AFailingWriterLeavesTheOldFile) {
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  WriteFile(folder / "f.bin", "old");
  EXPECT_THROW(SaveFileAtomically(folder / "f.bin",
                                  [](TStream* s) {
                                    s->WriteBuffer("half", 4);
                                    throw EAbort("stopped");
                                  }),
               EAbort);
  EXPECT_EQ(ReadFile(folder / "f.bin"), "old");
  EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{"f.bin"});
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

// A FIFO (as a device) is written in place: it stays a FIFO.
TEST(SaveFileAtomically, WritesIntoAFifoInPlace) {
  TempFolder folder;
  ASSERT_TRUE(folder.Valid());
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  SaveContent(fifo);
  std::string got(kContent.size() + 1, '\0');
  EXPECT_EQ(::read(reader, got.data(), got.size()), static_cast<ssize_t>(kContent.size()));
  got.resize(kContent.size());
  EXPECT_EQ(got, kContent);
  ::close(reader);
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Listing(folder.Path()), std::set<std::string>{"fifo"});
}

}  // namespace
