#include "platform/classes/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {

[[noreturn]] void RaiseBadSeek() {
  throw EStreamError("Position de flux incorrecte");
}

std::string SystemReason() {
  return std::strerror(errno);
}

}  // namespace

// ---------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
  const int64_t here = Seek(0, TSeekOrigin::soCurrent);
  const int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count)
    throw EReadError("Erreur de lecture du flux");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0 || Write(buffer, count) != count)
    throw EWriteError("Erreur d'écriture du flux");
}

int64_t TStream::CopyFrom(TStream* source, int64_t count) {
  if (count == 0) {
    source->SetPosition(0);
    count = source->Size();
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min(left, kChunk);
    source->ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= n;
  }
  return count;
}

// ---------------------------------------------------------------------------
// TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ >= size)
    return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0)
    return 0;
  if (count > std::numeric_limits<int64_t>::max() - position_)
    return 0;
  const int64_t end = position_ + count;
  if (end > Size()) {
    if (static_cast<uint64_t>(end) > data_.max_size())
      return 0;
    try {
      data_.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent)
    base = position_;
  else if (origin == TSeekOrigin::soEnd)
    base = Size();
  if ((offset < 0 && base + offset < 0) ||
      (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset))
    RaiseBadSeek();
  position_ = base + offset;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0 || static_cast<uint64_t>(size) > data_.max_size())
    throw EStreamError("Taille de flux incorrecte");
  try {
    data_.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Mémoire insuffisante");
  }
  position_ = std::min(position_, size);
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream) {
  stream->SetPosition(0);
  const int64_t size = stream->Size();
  std::vector<uint8_t> data(static_cast<size_t>(size));
  stream->ReadBuffer(data.data(), size);
  data_ = std::move(data);
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  LoadFromStream(&file);
}

void TMemoryStream::SaveToStream(TStream* stream) {
  stream->WriteBuffer(data_.data(), Size());
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(&file);
}

// ---------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : file_name_(fileName) {
  if (mode == fmCreate) {
    fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0)
      throw EFCreateError("Impossible de créer le fichier « " + fileName +
                          " » : " + SystemReason());
    return;
  }
  int flags = O_RDONLY;
  if ((mode & 3) == fmOpenWrite)
    flags = O_WRONLY;
  else if ((mode & 3) == fmOpenReadWrite)
    flags = O_RDWR;
  fd_ = ::open(fileName.c_str(), flags | O_CLOEXEC);
  if (fd_ < 0)
    throw EFOpenError("Impossible d'ouvrir le fichier « " + fileName + " » : " + SystemReason());
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EFOpenError("Impossible d'ouvrir le fichier « " + fileName +
                      " » : " + std::strerror(EISDIR));
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0)
    ::close(fd_);
}

namespace {
// Repeats a read or write until `count` bytes are moved, the end of the file
// is reached or an error (other than an interruption) occurs; returns the
// bytes moved.
template <class Op>
int64_t TransferAll(Op op, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = op(done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += n;
  }
  return done;
}
}  // namespace

int64_t TFileStream::Read(void* buffer, int64_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  return TransferAll([&](int64_t at, size_t n) { return ::read(fd_, bytes + at, n); }, count);
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  return TransferAll([&](int64_t at, size_t n) { return ::write(fd_, bytes + at, n); }, count);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == TSeekOrigin::soCurrent)
    whence = SEEK_CUR;
  else if (origin == TSeekOrigin::soEnd)
    whence = SEEK_END;
  const off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (r < 0)
    RaiseBadSeek();
  return static_cast<int64_t>(r);
}

void TFileStream::SetSize(int64_t size) {
  if (size < 0 || ::ftruncate(fd_, static_cast<off_t>(size)) != 0)
    throw EStreamError("Taille de flux incorrecte : « " + file_name_ + " »");
  if (Position() > size)
    SetPosition(size);
}

std::string HexTextOf(const TMemoryStream& stream) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const uint8_t* data = stream.Memory();
  const size_t size = stream.Bytes();
  std::string text;
  text.reserve(2 * size);
  for (size_t i = 0; i < size; ++i) {
    text.push_back(kDigits[data[i] >> 4]);
    text.push_back(kDigits[data[i] & 15]);
  }
  return text;
}

bool ReadHexText(const std::string& text, TMemoryStream& out) {
  if (text.size() % 2 != 0)
    return false;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9')
      return c - '0';
    if (c >= 'A' && c <= 'F')
      return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
      return c - 'a' + 10;
    return -1;
  };
  std::vector<uint8_t> bytes(text.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int hi = digit(text[2 * i]), lo = digit(text[2 * i + 1]);
    if (hi < 0 || lo < 0)
      return false;
    bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  out.SetPosition(0);
  return true;
}
