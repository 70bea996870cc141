// Byte streams in memory and on files: positions, short reads, errors.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/classes/Streams.h"

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

}  // namespace
