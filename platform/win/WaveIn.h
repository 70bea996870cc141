// Waveform-audio input: the capture device calls, on ALSA.
//
// A program lists the input devices (waveInGetNumDevs, waveInGetDevCapsA),
// opens one by index or through the wave mapper with a PCM format and a
// callback (waveInOpen), hands it buffers (waveInPrepareHeader,
// waveInAddBuffer), starts it (waveInStart), and gets every buffer back, full,
// through a WIM_DATA message to the callback. waveInReset stops the device and
// returns every queued buffer; waveInUnprepareHeader and waveInClose end the
// life cycle.
//
// Life cycle of an open device:
//   waveInOpen       the device is opened in the given format and a reading
//                    thread starts; WIM_OPEN reaches the callback before
//                    waveInOpen returns.
//   waveInAddBuffer  queues a prepared buffer (any time, any thread, several
//                    threads at once).
//   waveInStart      capture runs: the reading thread fills the queued buffers
//                    in order and returns each one when it is full (WIM_DATA,
//                    WHDR_DONE set, dwBytesRecorded = the bytes filled).
//                    Input that arrives while no buffer is queued is dropped.
//   waveInReset      capture stops; every queued buffer comes back through
//                    WIM_DATA (the one being filled with the bytes it holds,
//                    the others with 0) before waveInReset returns.
//   waveInClose      refused with WAVERR_STILLPLAYING while buffers are
//                    queued; otherwise WIM_CLOSE reaches the callback, the
//                    reading thread ends and the handle is dead.
//
// Buffers: the layer writes a buffer's data, dwBytesRecorded and dwFlags only
// between waveInAddBuffer and the WIM_DATA message that returns it; after that
// it never touches the buffer or its header again (the callback receives only
// the pointer). It writes the data only into the area that lpData and
// dwBufferLength gave when the buffer was added: a program that changes them
// while the buffer is queued changes nothing the layer does. A header belongs
// to one device at a time: while it is queued on a device, every device
// refuses it (WAVERR_STILLPLAYING), and while it is prepared for an open
// device, the others refuse it (WAVERR_UNPREPARED).
//
// Overruns (the device's buffer filled up before the reading thread read it)
// are recovered at once and counted. A device that disappears (its stream
// fails: the sound server ended, the card was unplugged; or it reports
// kWaveInOverrunsMeaningLost overruns in a row without a frame read between
// them, as a sound server's stream may once the server is gone) is recovered
// the way ALSA programs recover it: the reading thread closes the stream and,
// while capture runs, opens the same device again every
// kWaveInReopenInterval (the backend may say another interval), without any
// call of the program; once an open succeeds, capture goes on into the
// queued buffers, in order. Meanwhile the device keeps its queued buffers;
// the input the buffer being filled held when the stream failed is dropped
// (it is not followed by input from after the gap): that buffer is filled
// afresh from the reopened stream, and a waveInReset meanwhile returns it
// with 0 bytes. waveInReset and waveInClose end the retries at once.
// GetWaveInStatistics reports overruns, losses and reopens.
//
// Handles: every open gets a handle value never used before, so a stale handle
// can never reach a newer device. Every call given an unknown or closed handle
// answers MMSYSERR_INVALHANDLE and does nothing else. The calls from the
// WIM_OPEN callback may use the handle before waveInOpen returns it, but
// waveInClose answers MMSYSERR_INVALHANDLE until then.
//
// Threads: every call may be made from any thread. The callback runs on the
// device's reading thread, never under a lock of this layer; inside it the
// program may call any of these functions except waveInClose on the same
// device (MMSYSERR_HANDLEBUSY: the reading thread cannot wait for its own end).
// waveInReset and waveInClose wait for the reading thread, so the callback
// must not wait for a thread that may be inside them (posting to a queue, as
// a driver callback should, never does).
//
// Devices: the list comes from the current backend (ALSA unless a test plugs
// in another one, see platform/win/WaveInBackend.h). waveInGetNumDevs takes a
// fresh snapshot of it; waveInGetDevCapsA and waveInOpen with a device index
// refer to the latest snapshot (one is taken when none exists yet), so the
// indices of one listing stay valid while devices come and go. A snapshot
// asks ALSA for its cards and probes the sound server (some milliseconds):
// call waveInGetNumDevs once per listing, not in a loop condition.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/rtl/System.h"

using UINT = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using DWORD_PTR = uintptr_t;
using MMRESULT = UINT;

// An open input device; HWAVEIN{} (0) is no device.
enum class HWAVEIN : uint64_t {};

// ---------------------------------------------------------------------------
// Result codes. Success is 0; every other value is a failure that changed
// nothing.

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;        // unexpected failure
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;  // no device with this index
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;    // the device is busy
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;  // unknown or closed handle
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;     // the device is absent or gone
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;  // null pointer, size too small
inline constexpr MMRESULT MMSYSERR_HANDLEBUSY = 12;  // waveInClose from the callback
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;     // format not supported
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;  // the buffer (or a buffer) is queued
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;    // the buffer is not prepared here

// The device index that opens the wave mapper (ALSA's `default` device).
inline constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;

// Messages to the callback.
inline constexpr UINT WIM_OPEN = 0x3BE;   // param1 = 0
inline constexpr UINT WIM_CLOSE = 0x3BF;  // param1 = 0
inline constexpr UINT WIM_DATA = 0x3C0;   // param1 = the returned WAVEHDR*

// waveInOpen flags. The callback kinds other than a function are not offered.
inline constexpr DWORD CALLBACK_NULL = 0x00000;      // no callback
inline constexpr DWORD CALLBACK_FUNCTION = 0x30000;  // `callback` is called
inline constexpr DWORD WAVE_ALLOWSYNC = 0x0002;      // accepted; every device here is asynchronous
inline constexpr DWORD WAVE_MAPPED = 0x0004;  // the device may convert the format (rate, width)

// WAVEHDR dwFlags.
inline constexpr DWORD WHDR_DONE = 0x01;      // returned by the device
inline constexpr DWORD WHDR_PREPARED = 0x02;  // prepared for this device
inline constexpr DWORD WHDR_INQUEUE = 0x10;   // queued on the device

// Format tags.
inline constexpr WORD WAVE_FORMAT_PCM = 0x0001;
inline constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// The sub-format of extensible PCM headers.
inline constexpr TGUID WAVE_SUBFORMAT_PCM = TGUID::Parse("{00000001-0000-0010-8000-00AA00389B71}");

// ---------------------------------------------------------------------------
// Records.

#pragma pack(push, 1)
// The basic PCM format header (18 bytes).
struct WAVEFORMATEX {
  WORD wFormatTag;       // WAVE_FORMAT_PCM or WAVE_FORMAT_EXTENSIBLE
  WORD nChannels;        // 1..32
  DWORD nSamplesPerSec;  // frames per second
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;     // bytes per frame: (container bits / 8) x channels
  WORD wBitsPerSample;  // container bits: 8, 16, 24 or 32
  WORD cbSize;          // bytes that follow (22 for the extensible form)
};

// The extensible form (40 bytes): the basic header, then the valid bits, the
// speaker mask and the sub-format.
struct WAVEFORMATEXTENSIBLE {
  WAVEFORMATEX Format;
  WORD wValidBitsPerSample;  // 1..container bits
  DWORD dwChannelMask;
  TGUID SubFormat;  // WAVE_SUBFORMAT_PCM
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);

// An input device's capabilities (48 bytes).
struct WAVEINCAPSA {
  WORD wMid;             // 0
  WORD wPid;             // 0
  DWORD vDriverVersion;  // 0
  char szPname[32];      // the device's name: at most 31 bytes, 0-terminated
  DWORD dwFormats;       // 0: the formats are not probed (probing opens the device)
  WORD wChannels;        // 0, for the same reason
  WORD wReserved1;
};
static_assert(sizeof(WAVEINCAPSA) == 48);

// A buffer header. The program owns it and its data; see the file comment for
// when the layer writes to it.
struct WAVEHDR {
  char* lpData;           // the sample area
  DWORD dwBufferLength;   // its size in bytes (at least one frame)
  DWORD dwBytesRecorded;  // written by the layer when it returns the buffer
  DWORD_PTR dwUser;       // the program's own value; the layer never touches it
  DWORD dwFlags;          // WHDR_*
  DWORD dwLoops;          // unused for input
  WAVEHDR* lpNext;        // unused; the layer keeps its own queue
  DWORD_PTR reserved;     // set by waveInPrepareHeader to the preparing handle
};

// The callback: (device, message, instance given to waveInOpen, param1, 0).
using WaveInProc = void (*)(HWAVEIN device, UINT msg, DWORD_PTR instance, DWORD_PTR param1,
                            DWORD_PTR param2);

// ---------------------------------------------------------------------------
// Calls.

// Takes a fresh snapshot of the device list and returns its length. Never
// fails: with no device it returns 0.
UINT waveInGetNumDevs();

// Fills `caps` (the first min(capsSize, sizeof(WAVEINCAPSA)) bytes) with the
// capabilities of device `deviceId` of the latest snapshot.
// MMSYSERR_INVALPARAM: `caps` is null or `capsSize` is 0.
// MMSYSERR_BADDEVICEID: no such index (the wave mapper has no record here).
MMRESULT waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT capsSize);

// Opens device `deviceId` of the latest snapshot, or ALSA's `default` device
// for WAVE_MAPPER, in `format` (a WAVEFORMATEX, or the Format member of a
// WAVEFORMATEXTENSIBLE). Formats: PCM, container 8 (unsigned), 16, 24
// (packed) or 32 bits, 1 to 32 channels, any rate the device offers; with
// WAVE_MAPPED (and always through the wave mapper) the device converts what
// it lacks. `flags`: CALLBACK_FUNCTION or CALLBACK_NULL, plus WAVE_ALLOWSYNC
// and WAVE_MAPPED. On success `*handle` is the new handle and WIM_OPEN has
// reached the callback; on failure `*handle` is HWAVEIN{} and no callback was
// made.
// MMSYSERR_INVALPARAM: `handle` or `format` is null, or CALLBACK_FUNCTION
//   without a callback.
// MMSYSERR_INVALFLAG: an unknown flag or callback kind.
// WAVERR_BADFORMAT: the header is not PCM of the widths above, is
//   inconsistent, or the device cannot capture it.
// MMSYSERR_BADDEVICEID, MMSYSERR_ALLOCATED (busy), MMSYSERR_NODRIVER (absent),
// MMSYSERR_NOMEM.
MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, WaveInProc callback,
                    DWORD_PTR instance, DWORD flags);

// Closes the device: WIM_CLOSE reaches the callback, the reading thread ends,
// the handle is dead.
// WAVERR_STILLPLAYING: buffers are queued (waveInReset first); nothing
//   changed. MMSYSERR_HANDLEBUSY: called from the device's own callback.
// MMSYSERR_INVALHANDLE also while waveInOpen has not yet returned the handle.
MMRESULT waveInClose(HWAVEIN device);

// Marks `header` prepared for `device` (WHDR_PREPARED; `reserved` := the
// handle). Preparing a prepared, unqueued header again succeeds; so does
// preparing one whose device has been closed.
// MMSYSERR_INVALPARAM: null header or data, a length below one frame, or
//   `headerSize` below sizeof(WAVEHDR). WAVERR_STILLPLAYING: it is queued
//   (here or on another device). WAVERR_UNPREPARED: it is prepared for
//   another device that is still open (unprepare it there first).
MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, UINT headerSize);

// Clears WHDR_PREPARED. Unpreparing an unprepared header succeeds.
// WAVERR_STILLPLAYING: the header is queued (on any device). WAVERR_UNPREPARED: it is
// prepared for another device. MMSYSERR_INVALPARAM: null header or short
// `headerSize`.
MMRESULT waveInUnprepareHeader(HWAVEIN device, WAVEHDR* header, UINT headerSize);

// Queues `header` at the end of the device's queue: clears WHDR_DONE and
// dwBytesRecorded, sets WHDR_INQUEUE. From now until its WIM_DATA the layer
// owns the buffer.
// WAVERR_UNPREPARED: not prepared for this device. WAVERR_STILLPLAYING:
// already queued (here or on another device). MMSYSERR_INVALPARAM as above.
MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, UINT headerSize);

// Starts capture. Starting a running device succeeds and changes nothing.
// A stopped device that disappeared (and whose retries a waveInReset ended)
// is opened again here first.
// MMSYSERR_NODRIVER: the device has disappeared and is not back (while
// capture runs, the reading thread goes on opening it again); or the open
// here failed with the result it gave, and nothing changed.
MMRESULT waveInStart(HWAVEIN device);

// Stops capture and returns every queued buffer through WIM_DATA, in queue
// order, before it returns. From the device's own callback the buffers are
// returned from inside this call. A device that disappeared is no longer
// opened again (waveInStart opens it once more).
MMRESULT waveInReset(HWAVEIN device);

namespace kestrune {

// How often, while capture runs, the reading thread tries to open a device
// that disappeared: short enough that input resumes within half a second of
// the device's return, long enough that a device that stays away costs
// nothing (one failed open twice a second).
inline constexpr std::chrono::milliseconds kWaveInReopenInterval{500};

// Overruns in a row, with not one frame read between them, that mean the
// device is lost (see the file comment). A device that works and overran
// starts again empty and has its next input within a period; to overrun
// once more before a single frame came, the reading thread would have to
// stall for the device's whole buffer right after that restart, and do so
// every time. A stream whose sound server went away can instead answer
// every read at once with an overrun that it claims to have recovered
// (PipeWire's ALSA plugin does, for ever, while its server is gone and
// after it is back): four of them cost nothing and end such a stream
// within microseconds of the server's end.
inline constexpr uint64_t kWaveInOverrunsMeaningLost = 4;

// What happened on an open device since it was opened.
struct WaveInStatistics {
  uint64_t overruns = 0;       // device overruns recovered (input lost inside a buffer)
  uint64_t droppedFrames = 0;  // frames read while no buffer was queued
  bool deviceLost = false;     // the device is away now: it delivers nothing until reopened
  uint64_t losses = 0;         // times the device disappeared (or overran for good)
  uint64_t reopens = 0;        // times it was opened again after that
};

// Reads the statistics of an open device. MMSYSERR_INVALHANDLE for an
// unknown or closed handle (`statistics` is left alone).
MMRESULT GetWaveInStatistics(HWAVEIN device, WaveInStatistics& statistics);

}  // namespace kestrune
