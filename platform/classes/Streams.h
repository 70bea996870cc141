// Byte streams: the abstract stream, a stream in memory and a stream on a
// file.
//
// A stream is a sequence of bytes with a position. Read and Write move the
// position by the bytes they transfer and return that count (short at the
// end of the data); ReadBuffer and WriteBuffer transfer all or raise. Seek
// places the position relative to the start, the current position or the
// end. Positions and sizes are 64-bit.
//
// Errors raise: EReadError "Erreur de lecture du flux" (ReadBuffer short),
// EWriteError "Erreur d'écriture du flux" (WriteBuffer short), EStreamError
// for a seek before the start or a size that cannot be set, EFOpenError /
// EFCreateError for a file that cannot be opened or created (the message
// names the file and the system's reason). A failed call leaves the stream's
// data as it was.
//
// Files are saved whole or not at all through SaveFileAtomically: every
// SaveToFile of the streams and the graphics goes through it.
//
// Threads: a stream is used by one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/Classes.h"

KESTRUNE_EXCEPTION(EStreamError, Exception)
KESTRUNE_EXCEPTION(EFCreateError, EStreamError)
KESTRUNE_EXCEPTION(EFOpenError, EStreamError)

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
  KESTRUNE_CLASS(TStream, TObject)
  // Transfers up to `count` bytes; returns the bytes transferred.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position. A position before the start raises
  // EStreamError; one beyond the end is allowed (a write there extends the
  // stream, the gap reading as zeros for memory streams).
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  // Truncates or extends the stream (extension reads as zeros).
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual int64_t Size();

  // Read or write exactly `count` bytes, or raise (see the file comment).
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from `source`'s position (the whole of `source`
  // from its start when count is 0); returns the count copied. A short
  // source raises EReadError.
  int64_t CopyFrom(TStream* source, int64_t count);
};

// A stream in one growable block of memory.
class TMemoryStream : public TStream {
  KESTRUNE_CLASS(TMemoryStream, TStream)
  TMemoryStream() = default;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  // The bytes; valid until the next write or size change.
  uint8_t* Memory() { return data_.data(); }
  const uint8_t* Memory() const { return data_.data(); }
  size_t Bytes() const { return data_.size(); }
  // Empties the stream and rewinds it.
  void Clear();
  // Replaces the content by the whole of `stream` (from its start) and
  // rewinds; on failure the content is unchanged.
  void LoadFromStream(TStream* stream);
  void LoadFromFile(const std::string& fileName);
  // Writes the whole content at `stream`'s position.
  void SaveToStream(TStream* stream);
  // Replaces the file by the content, whole or not at all
  // (SaveFileAtomically).
  void SaveToFile(const std::string& fileName);

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

// The stored text form of binary values (pictures, bitmap lists): two
// upper-case hexadecimal digits per byte of the memory stream's content.
std::string HexTextOf(const TMemoryStream& stream);
// Appends the bytes `text` spells (digits in either case) to `out` at its
// position and rewinds it. Returns false, leaving `out` unchanged, when the
// text has an odd length or a character that is not a hexadecimal digit.
bool ReadHexText(const std::string& text, TMemoryStream& out);

// Open modes of a file stream.
enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmCreate = 0xFF00,  // creates the file, or empties one that exists
};

// A stream on a file of the file system. The file is open from construction
// to Close or destruction.
class TFileStream : public TStream {
  KESTRUNE_CLASS(TFileStream, TStream)
  // Raises EFOpenError "Impossible d'ouvrir le fichier « name » : reason"
  // (EFCreateError "Impossible de créer le fichier ..." with fmCreate).
  TFileStream(const std::string& fileName, uint16_t mode);
  // Closes the file if Close has not; a failure then goes unreported.
  ~TFileStream() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return file_name_; }
  // Closes the file. A failed close raises EWriteError "Erreur d'écriture du
  // flux": the system may report there a write it had put off (a file
  // system over the network, a quota). The file is closed either way; from
  // then on reads and writes transfer nothing and seeks raise. Closing a
  // closed stream does nothing.
  void Close();

 private:
  // Takes over `fd`, written for `fileName`: the new file of an atomic save,
  // or the device or FIFO it writes in place.
  TFileStream(int fd, std::string fileName);
  friend void SaveFileAtomically(const std::string& fileName,
                                 const std::function<void(TStream* stream)>& write);

  std::string file_name_;
  int fd_ = -1;
};

// Saves the file `fileName` whole or not at all: `write` writes the content
// into the stream it is given (positioned at its start, valid during the
// call only).
//
// The path is first opened for writing as any open would, neither
// truncating the file nor creating one: the kernel follows its symbolic
// links and decides, with its own protections, whether the file may be
// written (a link planted by another user in a sticky world-writable folder
// such as /tmp is refused where fs.protected_symlinks is on), and its
// refusal is the save's. The file so opened is replaced where it lives, its
// folder found from the open descriptor: links stay and the file they name
// gets the content. A dangling link gets its file created by a second open
// that may create it (empty until the rename; removed again if the save
// fails). An existing target that is not a regular file (a device, a FIFO)
// is written in place, as a file stream would.
//
// The content goes into a new file made in that folder: unnamed where the
// file system allows (a save killed part-way then leaves nothing behind),
// else under a unique hidden name, created exclusively. It gets the
// permissions a new file gets there (umask, the folder's default ACL) or,
// over an existing file, that file's permission bits (and, where the system
// lets us, its owner and group). Only once it is written, flushed to the
// disk and closed does it get a fresh hidden name, then is renamed over the
// target, so the target holds either its old content or the whole new one.
// Every step works relative to the folder, held open from the start: a
// target path as long as the system allows is saved.
//
// On failure the new file is removed and the target is left as it was,
// contents and permissions, and this raises:
// - EFCreateError "Impossible de créer le fichier « fileName » : reason"
//   when the open refuses the path (a file we may not write, a folder, a
//   link the kernel will not follow, a loop of links), when the new file
//   cannot be made (a missing or unwritable folder, a folder path through a
//   regular file), or when the rename fails;
// - EWriteError "Erreur d'écriture du flux" when writing, flushing or
//   closing fails (a full disk, the file size limit);
// - whatever `write` raises, unchanged.
//
// Threads: any thread. Saves of one target at the same time each put a
// whole file in place; the last rename wins.
void SaveFileAtomically(const std::string& fileName,
                        const std::function<void(TStream* stream)>& write);

// Test only: with `named` true, the saves of this process make their new
// file under its hidden name from the start, as on a file system that has
// no unnamed files; false (the default) brings back the unnamed file. Any
// thread may call it.
void SetSaveNewFilesNamedForTesting(bool named);
