#include "platform/classes/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <random>
#include <utility>

#include "platform/rtl/ScopeExit.h"

namespace {

[[noreturn]] void RaiseBadSeek() {
  throw EStreamError("Position de flux incorrecte");
}

std::string SystemReason() {
  return std::strerror(errno);
}

[[noreturn]] void RaiseCreateError(const std::string& fileName, int error) {
  throw EFCreateError("Impossible de créer le fichier « " + fileName +
                      " » : " + std::strerror(error));
}

[[noreturn]] void RaiseWriteError() {
  throw EWriteError("Erreur d'écriture du flux");
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
    RaiseWriteError();
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
  SaveFileAtomically(fileName, [this](TStream* file) { SaveToStream(file); });
}

// ---------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : file_name_(fileName) {
  if (mode == fmCreate) {
    fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0)
      RaiseCreateError(fileName, errno);
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

TFileStream::TFileStream(int fd, std::string fileName) : file_name_(std::move(fileName)), fd_(fd) {}

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

// ---------------------------------------------------------------------------
// Atomic saves

namespace {

// Follows the symbolic links of `path`'s last component, as opening it
// would, to the path of the file they name (kept when it is no link or does
// not exist). Returns 0, or ELOOP past the system's limit of links.
int FollowLinks(std::string& path) {
  constexpr int kMaxLinks = 40;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
      return 0;
    std::vector<char> target(PATH_MAX);
    ssize_t n = 0;
    while ((n = ::readlink(path.c_str(), target.data(), target.size())) >= 0 &&
           static_cast<size_t>(n) == target.size())
      target.resize(2 * target.size());
    if (n < 0)
      return 0;  // gone meanwhile: the path is then a new file
    std::string to(target.data(), static_cast<size_t>(n));
    if (!to.empty() && to.front() != '/') {
      const size_t slash = path.find_last_of('/');
      to.insert(0, slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
    }
    path = std::move(to);
  }
  return ELOOP;
}

// A name for a new file beside `base`: hidden, and unlikely to be taken (the
// exclusive creation decides).
std::string NewFileName(const std::string& base) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  constexpr size_t kMaxBase = 200;  // the name stays within the system's 255 bytes
  std::string name = "." + base.substr(0, kMaxBase) + ".";
  for (int i = 0; i < 8; ++i)
    name.push_back(kLetters[random() % (sizeof(kLetters) - 1)]);
  return name;
}

// Flushes the folder's entries to the disk so that the rename lasts. Best
// effort: the file itself is saved by then.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

void SaveFileAtomically(const std::string& fileName,
                        const std::function<void(TStream* stream)>& write) {
  std::string target = fileName;
  if (const int error = FollowLinks(target); error != 0)
    RaiseCreateError(fileName, error);
  const size_t slash = target.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = target.substr(folder.size());
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (!replacing && errno != ENOENT)
    RaiseCreateError(fileName, errno);  // no way to the folder, or not a folder
  if (base.empty() || (replacing && S_ISDIR(old.st_mode)))
    RaiseCreateError(fileName, EISDIR);
  if (replacing && !S_ISREG(old.st_mode)) {
    // A device or a FIFO: there is no content to keep, nor a file to rename.
    TFileStream file(fileName, fmCreate);
    write(&file);
    return;
  }
  // A file we may not write stays refused, as opening it would be.
  if (replacing && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
    RaiseCreateError(fileName, errno);

  std::string newFile;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    newFile = folder + NewFileName(base);
    // Over a file: private until it has the old file's permissions.
    fd = ::open(newFile.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST)
      break;
  }
  if (fd < 0)
    RaiseCreateError(fileName, errno);
  bool saved = false;
  kestrune::ScopeExit removeNewFile([&] {
    if (!saved)
      ::unlink(newFile.c_str());
  });
  TFileStream file(fd, newFile);  // closes on every exit from here
  if (replacing) {
    // Ownership is kept where the system lets us (a superuser saving over
    // another's file); the mode is set after it, as a change of owner may
    // clear bits.
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
      (void)::fchown(fd, old.st_uid, old.st_gid);
    if (::fchmod(fd, old.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)) != 0)
      RaiseCreateError(fileName, errno);
  }
  write(&file);
  if (::fsync(fd) != 0)
    RaiseWriteError();
  file.fd_ = -1;
  if (::close(fd) != 0)
    RaiseWriteError();
  if (::rename(newFile.c_str(), target.c_str()) != 0)
    RaiseCreateError(fileName, errno);
  saved = true;
  SyncFolder(folder);
}

// ---------------------------------------------------------------------------
// Hexadecimal text

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
