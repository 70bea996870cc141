#include "platform/classes/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
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

void TFileStream::Close() {
  if (fd_ < 0)
    return;
  // Released whatever close answers: retrying could close a descriptor
  // another thread has been given meanwhile.
  if (::close(std::exchange(fd_, -1)) != 0)
    RaiseWriteError();
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

std::atomic<bool> g_newFilesNamed{false};  // SetSaveNewFilesNamedForTesting

// A descriptor closed at the end of its scope, unchecked: for descriptors
// that wrote nothing.
class TDescriptor {
 public:
  explicit TDescriptor(int fd = -1) : fd_(fd) {}
  ~TDescriptor() { Reset(); }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  TDescriptor(TDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  int Get() const { return fd_; }
  // Keeps errno: a caller may still read the reason `fd` is -1.
  void Reset(int fd = -1) {
    const int error = errno;
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = fd;
    errno = error;
  }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// The path through which the system reaches the file open on `fd`.
std::string ProcFdPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Splits `path` into its folder (up to its last slash; "." when it has none)
// and its last name (empty after a final slash).
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const size_t slash = path.find_last_of('/');
  folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens a folder to work in: its entries are then reached by their short
// names, and it stays the same folder whatever happens to its path.
int OpenFolder(const std::string& folder) {
  return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Opens `fileName` to write it, as any open would: the kernel follows its
// links and applies its checks. Never truncates; creates the file only with
// O_CREAT in `create`. A FIFO nobody reads is opened for reading too, so
// that the open does not wait for a reader (as when saves made a file stream
// on it); a lease held on the file is waited for, as by a plain open.
int OpenToWrite(const std::string& fileName, int create) {
  const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | create;
  int fd = ::open(fileName.c_str(), flags | O_NONBLOCK, 0666);
  if (fd < 0 && errno == ENXIO)
    fd = ::open(fileName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  else if (fd < 0 && errno == EWOULDBLOCK)
    fd = ::open(fileName.c_str(), flags, 0666);
  return fd;
}

// What a save replaces: the file the path names, opened, and where it lives.
struct TSaveTarget {
  TDescriptor file;       // open for writing; -1 when there is no file yet
  struct stat status {};  // of `file`
  TDescriptor folder;     // the folder the new file goes in (O_PATH)
  std::string name;       // the target's name in it
  bool made = false;      // `file` was made, empty, through a dangling link
};

// Finds where the regular file open on `target.file` lives: under the last
// name of `fileName` unless that name is a link, else under the path the
// system keeps for the descriptor. A name that holds another file by now (a
// save of the same target that renamed its file there meanwhile) is still
// the place: the last save to rename wins, as when the saves come one after
// the other. Raises EFCreateError.
void FindPlace(const std::string& fileName, TSaveTarget& target) {
  std::string folder, name;
  SplitPath(fileName, folder, name);
  struct stat there {};
  target.folder.Reset(OpenFolder(folder));
  if (target.folder.Get() < 0)
    RaiseCreateError(fileName, errno);
  if (::fstatat(target.folder.Get(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISLNK(there.st_mode)) {
    target.name = name;
    return;
  }
  // The kernel writes the path in a buffer of PATH_MAX bytes, so a path it
  // gives always fits the path calls.
  std::string path(PATH_MAX, '\0');
  const ssize_t n = ::readlink(ProcFdPath(target.file.Get()).c_str(), path.data(), path.size());
  if (n < 0)
    RaiseCreateError(fileName, errno);
  if (static_cast<size_t>(n) == path.size())
    RaiseCreateError(fileName, ENAMETOOLONG);
  path.resize(static_cast<size_t>(n));
  // A file whose last name went since the open (another save renamed its
  // file over it) is shown with " (deleted)" after its path: its place is
  // the path before it.
  static constexpr std::string_view kDeleted = " (deleted)";
  struct stat now {};
  if (::fstat(target.file.Get(), &now) == 0 && now.st_nlink == 0 && path.ends_with(kDeleted))
    path.resize(path.size() - kDeleted.size());
  SplitPath(path, folder, name);
  target.folder.Reset(OpenFolder(folder));
  if (target.folder.Get() < 0)
    RaiseCreateError(fileName, errno);
  target.name = name;
}

// Opens the target of a save. Raises EFCreateError with the reason the open
// gives, or one of FindPlace.
TSaveTarget OpenTarget(const std::string& fileName) {
  TSaveTarget target;
  target.file.Reset(OpenToWrite(fileName, 0));
  if (target.file.Get() < 0 && errno == ENOENT) {
    // No file: the path names a new one, or is a link to a missing file.
    std::string folder;
    SplitPath(fileName, folder, target.name);
    if (target.name.empty())
      RaiseCreateError(fileName, EISDIR);
    target.folder.Reset(OpenFolder(folder));
    if (target.folder.Get() < 0)
      RaiseCreateError(fileName, errno);
    struct stat entry {};
    if (::fstatat(target.folder.Get(), target.name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT)
        return target;  // a new file here
      RaiseCreateError(fileName, errno);
    }
    // A link, followed by the kernel to create its file, as an open that
    // creates would (or a file made meanwhile, then simply opened).
    const bool link = S_ISLNK(entry.st_mode);
    target.file.Reset(OpenToWrite(fileName, link ? O_CREAT : 0));
    target.made = link;
  }
  if (target.file.Get() < 0)
    RaiseCreateError(fileName, errno);
  if (::fstat(target.file.Get(), &target.status) != 0)
    RaiseCreateError(fileName, errno);
  if (S_ISREG(target.status.st_mode))
    FindPlace(fileName, target);
  return target;
}

// A name for a new file beside `base`: hidden, and unlikely to be taken (the
// exclusive creation or the link decides).
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

// Tries fresh hidden names beside `base` until `make` takes one (returns 0)
// or fails other than with EEXIST. Sets `hidden` to the name taken; returns
// 0 or the reason of the failure.
template <class Make>
int TakeHiddenName(const std::string& base, std::string& hidden, Make make) {
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    std::string name = NewFileName(base);
    error = make(name);
    if (error == 0)
      hidden = std::move(name);
  }
  return error;
}

// Whether the file system refused an unnamed file: no such files there
// (EOPNOTSUPP), or a kernel without them (EISDIR, EINVAL).
bool UnnamedFileRefused(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Flushes the folder's entries to the disk so that the rename lasts. Best
// effort: the file itself is saved by then.
void SyncFolder(int folder) {
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

void SetSaveNewFilesNamedForTesting(bool named) {
  g_newFilesNamed.store(named);
}

void SaveFileAtomically(const std::string& fileName,
                        const std::function<void(TStream* stream)>& write) {
  TSaveTarget target = OpenTarget(fileName);
  if (target.file.Get() >= 0 && !S_ISREG(target.status.st_mode)) {
    // A device or a FIFO: there is no content to keep, nor a file to rename.
    const int fd = target.file.Release();
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
      (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    TFileStream file(fd, fileName);
    write(&file);
    file.Close();
    return;
  }
  // The old file is known by its status from here: the save does not write it.
  const bool existed = target.file.Get() >= 0;
  target.file.Reset();
  const int folder = target.folder.Get();
  const std::string& name = target.name;
  // Over a file (but the empty one a dangling link got): its mode and owner.
  const bool keepOld = existed && !target.made;
  // Over a file: private until it has the old file's permissions.
  const mode_t mode = keepOld ? 0600 : 0666;

  // The new file: unnamed where the file system allows, so that a save cut
  // short leaves nothing. `holder` keeps it, to be linked once the stream
  // is closed; /proc/self/fd reaches it (linking from the descriptor itself
  // needs a privilege).
  TDescriptor holder;
  int fd = -1;
  if (!g_newFilesNamed.load()) {
    fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd < 0 && !UnnamedFileRefused(errno))
      RaiseCreateError(fileName, errno);
    if (fd >= 0) {
      holder.Reset(::open(ProcFdPath(fd).c_str(), O_PATH | O_CLOEXEC));
      if (holder.Get() < 0) {  // no /proc: a named file, then
        ::close(fd);
        fd = -1;
      }
    }
  }
  std::string hidden;  // the new file's name, once it has one
  if (fd < 0) {
    const int error = TakeHiddenName(name, hidden, [&](const std::string& candidate) {
      fd = ::openat(folder, candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      return fd >= 0 ? 0 : errno;
    });
    if (error != 0)
      RaiseCreateError(fileName, error);
  }
  bool saved = false;
  kestrune::ScopeExit removeNewFile([&] {
    if (!saved && !hidden.empty())
      ::unlinkat(folder, hidden.c_str(), 0);
  });
  kestrune::ScopeExit removeMadeFile([&] {
    // The empty file the open made through a dangling link, if still there
    // as it was made: the link is dangling again.
    struct stat now {};
    if (!saved && target.made && ::fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(now, target.status) && now.st_size == 0)
      ::unlinkat(folder, name.c_str(), 0);
  });
  TFileStream file(fd, fileName);  // closes on every exit from here
  if (keepOld) {
    // Ownership is kept where the system lets us (a superuser saving over
    // another's file); the mode is set after it, as a change of owner may
    // clear bits.
    const struct stat& old = target.status;
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
      (void)::fchown(fd, old.st_uid, old.st_gid);
    if (::fchmod(fd, old.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)) != 0)
      RaiseCreateError(fileName, errno);
  }
  write(&file);
  if (::fsync(fd) != 0)
    RaiseWriteError();
  file.Close();
  if (hidden.empty()) {
    const std::string from = ProcFdPath(holder.Get());
    const int error = TakeHiddenName(name, hidden, [&](const std::string& candidate) {
      return ::linkat(AT_FDCWD, from.c_str(), folder, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0
                 ? 0
                 : errno;
    });
    if (error != 0)
      RaiseCreateError(fileName, error);
  }
  if (::renameat(folder, hidden.c_str(), folder, name.c_str()) != 0)
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
