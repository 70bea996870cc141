#include "platform/win/WaveIn.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/classes/MainLoop.h"
#include "platform/classes/SyncObjs.h"
#include "platform/classes/Threads.h"
#include "platform/win/AlsaWaveIn.h"
#include "platform/win/WaveInBackend.h"

using kestrune::CaptureDeviceEntry;
using kestrune::WaveInBackend;
using kestrune::WaveInFormat;
using kestrune::WaveInStatistics;
using kestrune::WaveInStream;
using kestrune::WaveReadResult;
using kestrune::WaveReadStatus;

namespace {

// Frames read at a time while no buffer is queued (the input is dropped).
constexpr uint32_t kDropFrames = 1024;
// Reads the reading thread drops in a row before it takes the lock again.
constexpr int kDropBurst = 64;
// The pause before each read that is dropped from a device that is not
// paced: it delivers as fast as it is read, so reading it all the time would
// only burn a core (and the cache lines the program's calls share with this
// thread) on input that is thrown away. Calls that want the reading thread
// wait at most this long.
constexpr auto kUnpacedDropPause = std::chrono::microseconds(100);

// Callback kinds live in these bits of the open flags.
constexpr DWORD kCallbackKindMask = 0x70000;

// Locks: this layer's locks are leaves of the lock order written in
// Vek/VekLocks.h ("LOCK ORDER"): callers may hold their own locks, and no
// lock of this layer is held while the callback runs or while the reading
// thread reads. Among them: the registry lock and a device lock are never
// held together; the header book's lock is taken alone or after a device
// lock, never with the registry lock. A device lock is held while the layer
// calls its stream's Start, Stop and Wake (so the stream's own locks come
// after it).

// What every device must know of the others' headers: which headers are
// queued anywhere, and which handles are open. A header queued on one device
// is refused by every device until it is returned, so a buffer is never
// filled or returned twice at once; one prepared for another open device is
// refused too. The layer writes a header's fields only under this lock.
//
// The queued headers are a flat list in no order that keeps its capacity:
// only the few blocks a program keeps with its devices are ever in it, and
// adding and returning a block at the capture rate then takes nothing from
// the heap.
struct HeaderBook {
  std::mutex mutex;
  // --- guarded by mutex
  std::vector<const WAVEHDR*> queued;
  std::unordered_set<uint64_t> open;  // handles from registration to waveInClose

  // Caller holds mutex.
  bool QueuedLocked(const WAVEHDR* header) const {
    return std::find(queued.begin(), queued.end(), header) != queued.end();
  }
  // Caller holds mutex; the header is listed.
  void UnqueueLocked(const WAVEHDR* header) {
    const auto it = std::find(queued.begin(), queued.end(), header);
    if (it != queued.end()) {
      *it = queued.back();
      queued.pop_back();
    }
  }
};

// Never destroyed, like the registry.
HeaderBook& TheBook() {
  static auto* book = new HeaderBook;
  return *book;
}

// A queued buffer, with the area and length accepted when it was added: the
// program may change the header meanwhile, the layer writes only there.
struct QueuedBuffer {
  WAVEHDR* header;
  uint8_t* data;
  uint32_t length;  // bytes
};

// One open device. The fields under "guarded" are touched only under `mutex`;
// the buffers in `queue` (their data too) belong to the layer until the
// reading thread returns them.
struct Device {
  Device(HWAVEIN deviceHandle, std::unique_ptr<WaveInStream> openStream,
         std::shared_ptr<WaveInBackend> openedBy, std::optional<CaptureDeviceEntry> openedEntry,
         const WaveInFormat& openFormat, bool openMayConvert, WaveInProc proc,
         DWORD_PTR procInstance)
      : handle(deviceHandle),
        bytesPerFrame(openFormat.BytesPerFrame()),
        callback(proc),
        instance(procInstance),
        backend(std::move(openedBy)),
        entry(std::move(openedEntry)),
        format(openFormat),
        mayConvert(openMayConvert),
        stream(std::move(openStream)) {}

  const HWAVEIN handle;
  const uint32_t bytesPerFrame;
  const WaveInProc callback;  // may be null (CALLBACK_NULL)
  const DWORD_PTR instance;
  // What the device was opened with, to open it again after it disappeared.
  const std::shared_ptr<WaveInBackend> backend;
  const std::optional<CaptureDeviceEntry> entry;  // empty: the wave mapper
  const WaveInFormat format;
  const bool mayConvert;

  std::mutex mutex;
  std::condition_variable changed;
  // Set under `mutex` by every call the reading thread must act on (a buffer
  // added, start, reset, close); cleared by that thread, under `mutex`, each
  // time it looks at the state. While it drops input it reads on without the
  // lock as long as this stays clear.
  std::atomic<bool> attention{false};

  // --- guarded by mutex
  // Null once closed, and while the device is lost (statistics.deviceLost).
  std::unique_ptr<WaveInStream> stream;
  // Added, not yet returned, in order. A vector, which keeps its capacity,
  // so that adding blocks at the capture rate allocates nothing.
  std::vector<QueuedBuffer> queue;
  uint32_t headFill = 0;       // bytes filled in queue.front()
  bool started = false;        // capture runs (the reader reads)
  bool closing = false;        // waveInClose has begun: the handle is dead
  bool registered = false;     // the handle is known: WIM_OPEN may go out
  bool openDelivered = false;  // WIM_OPEN has reached the callback
  bool handedOut = false;      // waveInOpen has returned the handle
  uint64_t resetsAsked = 0;    // waveInReset calls so far
  uint64_t resetsDone = 0;     // of those, the ones the reader has served
  // While the device is lost and capture runs: when the reader opens it next.
  std::chrono::steady_clock::time_point reopenAt;
  // The overruns `stream` reported in a row with no frame read since the
  // last of them (kWaveInOverrunsMeaningLost of them lose the device); a
  // stream put in its place starts from 0.
  uint64_t overrunsInARow = 0;
  WaveInStatistics statistics;
  TThread* reader = nullptr;    // owned; freed by waveInClose
  uint32_t readerThreadId = 0;  // GetCurrentThreadId of the reading thread

  // Caller holds mutex.
  bool OnReader() const { return GetCurrentThreadId() == readerThreadId; }

  // Caller holds mutex: wakes the reading thread to look at the state.
  void CallReader() {
    attention.store(true, std::memory_order_release);
    changed.notify_all();
  }

  // Caller holds mutex and has taken `header` off the queue: marks it done
  // with `bytes` recorded and lets every device use it again (under the
  // book's mutex, which it takes). Its WIM_DATA follows, without the locks.
  static void ReturnToBook(WAVEHDR* header, uint32_t bytes) {
    HeaderBook& book = TheBook();
    std::lock_guard lock(book.mutex);
    header->dwBytesRecorded = bytes;
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    book.UnqueueLocked(header);
  }

  void RunReader();
  void ResetOnReader(std::unique_lock<std::mutex>& lock);
  void LoseStream(std::unique_lock<std::mutex>& lock);
  void ReopenOnReader(std::unique_lock<std::mutex>& lock);
  // Puts `fresh`, reopened after a loss, in the lost stream's place (under
  // the lock): the device is back, with no overrun counted against it.
  void TakeReopened(std::unique_ptr<WaveInStream> fresh) {
    stream = std::move(fresh);
    overrunsInARow = 0;
    statistics.deviceLost = false;
    ++statistics.reopens;
  }
  MMRESULT OpenStream(std::unique_ptr<WaveInStream>& fresh) const;
  void Notify(UINT msg, DWORD_PTR param1);
};

// The reading thread of one device.
class WaveInReader : public TThread {
  KESTRUNE_CLASS(WaveInReader, TThread)

  explicit WaveInReader(std::shared_ptr<Device> device)
      : TThread(/*createSuspended=*/true), device_(std::move(device)) {}

 protected:
  void Execute() override { device_->RunReader(); }

 private:
  std::shared_ptr<Device> device_;
};

// Calls the program's callback. No lock is held. An exception must not end
// the reading thread (waveInReset would then wait for ever): it goes to the
// main loop's central handler when there is one, else to stderr.
void Device::Notify(UINT msg, DWORD_PTR param1) {
  if (callback == nullptr)
    return;
  try {
    callback(handle, msg, instance, param1, 0);
  } catch (...) {
    std::exception_ptr error = std::current_exception();
    if (kestrune::MainLoop* loop = kestrune::MainLoop::Current()) {
      loop->Post([error] { std::rethrow_exception(error); });
    } else {
      std::fprintf(stderr, "waveIn callback: %s\n", kestrune::ExceptionText(error).c_str());
    }
  }
}

// Reading thread: fills the queued buffers in order, returns each when full,
// serves resets, opens a lost device again while capture runs, and ends once
// the device is closing. While capture runs it reads all the time, into the
// head buffer or, with none queued, into a scratch area whose input is
// dropped; from a device that is not paced (the scripted one) it drops one
// read after each short pause instead. Every pass of its loop waits: in a
// read (for the device or its wake), on `changed` (for a call), or for the
// clock (the reopen time, the pause before a dropped unpaced read). A read
// may come back at once without a frame only for a few passes: a wake is
// served, a lost stream is waited for, and a stream that answers only
// overruns is lost after kWaveInOverrunsMeaningLost of them.
void Device::RunReader() {
  std::unique_lock lock(mutex);
  // The open registers the handle first, so that calls made from the
  // WIM_OPEN callback find it.
  changed.wait(lock, [&] { return registered || closing; });
  if (closing)
    return;  // the open failed after all; no callback was made
  lock.unlock();
  Notify(WIM_OPEN, 0);
  lock.lock();
  openDelivered = true;
  changed.notify_all();

  std::vector<uint8_t> scratch(static_cast<size_t>(kDropFrames) * bytesPerFrame);
  bool pauseDue = true;  // an unpaced device waits before its next dropped read
  for (;;) {
    attention.store(false, std::memory_order_relaxed);
    // A reset asked before the close is served first, so its caller returns.
    if (resetsAsked != resetsDone) {
      ResetOnReader(lock);
      continue;
    }
    if (closing)
      break;
    if (!started) {
      changed.wait(lock);
      continue;
    }
    if (!stream) {
      // Lost while capture runs: opened again at the steady interval. The
      // wait ends early for every call that wants this thread (a reset or
      // the close, served above, ends the retries).
      if (std::chrono::steady_clock::now() < reopenAt) {
        changed.wait_until(lock, reopenAt);
        continue;
      }
      ReopenOnReader(lock);
      continue;
    }
    const bool paced = stream->Paced();

    // The area and length come from the queue, never from the header: a
    // program that changes a queued header cannot make us write elsewhere or
    // further.
    WAVEHDR* target = queue.empty() ? nullptr : queue.front().header;
    if (target == nullptr && !paced && pauseDue) {
      // Unlocked: the calls go on meanwhile. A buffer added during the pause
      // is found when the state is examined again, so no input is dropped
      // for it.
      pauseDue = false;
      lock.unlock();
      std::this_thread::sleep_for(kUnpacedDropPause);
      lock.lock();
      continue;
    }
    pauseDue = true;
    uint8_t* dest = scratch.data();
    uint32_t maxFrames = kDropFrames;
    const uint32_t length = target != nullptr ? queue.front().length : 0;
    if (target != nullptr) {
      assert(headFill + bytesPerFrame <= length);
      dest = queue.front().data + headFill;
      maxFrames = (length - headFill) / bytesPerFrame;
    }
    WaveInStream& source = *stream;
    lock.unlock();
    // Unlocked on purpose: only this thread takes buffers off the queue (a
    // reset is served here, or inline from the callback, which runs here
    // too), and waveInClose waits for an empty queue, so `target` stays put;
    // while capture runs only this thread replaces `stream`.
    WaveReadResult result = source.Read(dest, maxFrames);
    // With no buffer queued the input is dropped. Dropping goes on without
    // the lock until a call wants this thread or a burst of reads has passed
    // (so the statistics stay current): a stream that is not paced would
    // otherwise take the lock between every two reads and hold up the
    // program's calls. A paced stream blocks in each read, so a buffer added
    // meanwhile costs the input of one read, as it did before.
    uint64_t dropped = 0;
    for (int read = 1;
         paced && target == nullptr && read < kDropBurst && result.status == WaveReadStatus::Data &&
         !attention.load(std::memory_order_acquire);
         ++read) {
      dropped += std::min(result.frames, maxFrames);
      result = source.Read(dest, maxFrames);
    }
    lock.lock();
    statistics.droppedFrames += dropped;
    if (dropped != 0 || result.status == WaveReadStatus::Data)
      overrunsInARow = 0;  // a frame came

    switch (result.status) {
      case WaveReadStatus::Data: {
        const uint32_t frames = std::min(result.frames, maxFrames);
        if (target == nullptr) {
          statistics.droppedFrames += frames;
          break;
        }
        assert(!queue.empty() && queue.front().header == target);
        headFill += frames * bytesPerFrame;
        if (length - headFill >= bytesPerFrame)
          break;
        queue.erase(queue.begin());
        ReturnToBook(target, headFill);
        headFill = 0;
        lock.unlock();
        Notify(WIM_DATA, reinterpret_cast<DWORD_PTR>(target));
        lock.lock();
        break;
      }
      case WaveReadStatus::Woken:
        break;
      case WaveReadStatus::Overrun:
        ++statistics.overruns;
        // A stream that answers only overruns is as lost as one that
        // failed (PipeWire's ALSA plugin does so, at once and for ever,
        // once its server is gone): it is closed and opened again the same
        // way, instead of being read in a loop that never waits.
        if (++overrunsInARow < kestrune::kWaveInOverrunsMeaningLost)
          break;
        [[fallthrough]];
      case WaveReadStatus::Gone:
        LoseStream(lock);
        break;
    }
  }
  assert(queue.empty());
  lock.unlock();
  Notify(WIM_CLOSE, 0);
}

// Stops capture and returns every queued buffer. Runs on the reading thread;
// the caller holds `lock` (dropped while the callback runs, held again on
// return).
void Device::ResetOnReader(std::unique_lock<std::mutex>& lock) {
  assert(lock.owns_lock() && OnReader());
  const uint64_t served = resetsAsked;
  started = false;
  if (stream)
    stream->Stop();
  std::vector<QueuedBuffer> returned;
  returned.swap(queue);
  for (const QueuedBuffer& buffer : returned)
    ReturnToBook(buffer.header, &buffer == &returned.front() ? headFill : 0);
  headFill = 0;
  lock.unlock();
  for (const QueuedBuffer& buffer : returned)
    Notify(WIM_DATA, reinterpret_cast<DWORD_PTR>(buffer.header));
  lock.lock();
  resetsDone = std::max(resetsDone, served);
  changed.notify_all();
}

// The stream failed for good: it is closed, and the device is opened again
// after the interval while capture runs. The input the head buffer holds is
// dropped, so that it is never joined to input from after the gap. Runs on
// the reading thread; the caller holds `lock` (dropped while the stream is
// closed: no call touches a null stream).
void Device::LoseStream(std::unique_lock<std::mutex>& lock) {
  assert(lock.owns_lock() && OnReader());
  statistics.deviceLost = true;
  ++statistics.losses;
  headFill = 0;
  reopenAt = std::chrono::steady_clock::now() + backend->ReopenInterval();
  std::unique_ptr<WaveInStream> gone = std::move(stream);
  lock.unlock();
  gone.reset();
  lock.lock();
}

// Opens the device again, as it was opened first. Never raises.
MMRESULT Device::OpenStream(std::unique_ptr<WaveInStream>& fresh) const {
  MMRESULT result;
  try {
    result = backend->Open(entry ? &*entry : nullptr, format, mayConvert, fresh);
  } catch (...) {
    fresh.reset();
    return MMSYSERR_NOMEM;
  }
  if (result == MMSYSERR_NOERROR && !fresh)
    return MMSYSERR_ERROR;
  return result;
}

// One attempt to open the lost device again, on the reading thread; the
// caller holds `lock`, which is dropped during the open (calls go on
// meanwhile; a reset or close that came is served after it). An opened
// stream is started unless capture was stopped meanwhile; a failure sets the
// next attempt one interval later.
void Device::ReopenOnReader(std::unique_lock<std::mutex>& lock) {
  assert(lock.owns_lock() && OnReader());
  lock.unlock();
  std::unique_ptr<WaveInStream> fresh;
  // The attempt's time is read next to the open, after the unlock (which
  // may hand the processor to a waiting thread): the next attempt comes one
  // interval after this one reached the device.
  const auto attempt = std::chrono::steady_clock::now();
  const MMRESULT result = OpenStream(fresh);
  lock.lock();
  if (result == MMSYSERR_NOERROR) {
    const bool startNow = started && !closing && resetsAsked == resetsDone;
    if (!startNow || fresh->Start() == MMSYSERR_NOERROR) {
      TakeReopened(std::move(fresh));
      return;
    }
  }
  reopenAt = std::max(attempt + backend->ReopenInterval(), std::chrono::steady_clock::now());
  if (fresh) {
    // Opened but refused to start: closed again outside the lock.
    lock.unlock();
    fresh.reset();
    lock.lock();
  }
}

// The open devices, the backend and the device snapshot.
struct Registry {
  std::mutex mutex;
  // --- guarded by mutex
  std::unordered_map<uint64_t, std::shared_ptr<Device>> devices;
  uint64_t nextHandle = 1;
  std::shared_ptr<WaveInBackend> installed;  // set by SetWaveInBackend; null: ALSA
  std::shared_ptr<WaveInBackend> alsa;       // made on first use
  uint64_t backendGeneration = 0;            // counts SetWaveInBackend calls
  std::shared_ptr<const std::vector<CaptureDeviceEntry>> snapshot;
};

// Never destroyed: a device may still be open while statics are torn down.
Registry& TheRegistry() {
  static auto* registry = new Registry;
  return *registry;
}

// Caller holds the registry lock.
std::shared_ptr<WaveInBackend> CurrentBackendLocked(Registry& registry) {
  if (registry.installed)
    return registry.installed;
  if (!registry.alsa)
    registry.alsa = std::make_shared<kestrune::AlsaWaveInBackend>();
  return registry.alsa;
}

// Lists the devices and keeps the list as the snapshot, unless the backend
// was replaced meanwhile.
std::shared_ptr<const std::vector<CaptureDeviceEntry>> TakeSnapshot() {
  Registry& registry = TheRegistry();
  std::shared_ptr<WaveInBackend> backend;
  uint64_t generation;
  {
    std::lock_guard lock(registry.mutex);
    backend = CurrentBackendLocked(registry);
    generation = registry.backendGeneration;
  }
  auto list = std::make_shared<const std::vector<CaptureDeviceEntry>>(backend->ListDevices());
  std::lock_guard lock(registry.mutex);
  if (registry.backendGeneration == generation)
    registry.snapshot = list;
  return list;
}

std::shared_ptr<const std::vector<CaptureDeviceEntry>> LatestSnapshot() {
  {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (registry.snapshot)
      return registry.snapshot;
  }
  return TakeSnapshot();
}

std::shared_ptr<Device> FindDevice(HWAVEIN handle) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  auto it = registry.devices.find(static_cast<uint64_t>(handle));
  return it == registry.devices.end() ? nullptr : it->second;
}

void ForgetDevice(HWAVEIN handle) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.devices.erase(static_cast<uint64_t>(handle));
}

// Room for one more element, growing by doubling. Raises std::bad_alloc.
template <class T>
void ReserveOneMore(std::vector<T>& list) {
  if (list.size() == list.capacity())
    list.reserve(std::max<std::size_t>(16, 2 * list.capacity()));
}

bool HeaderArgumentsValid(const WAVEHDR* header, UINT headerSize) {
  return header != nullptr && headerSize >= sizeof(WAVEHDR);
}

// Caller holds the device lock.
bool BufferUsableLocked(const Device& device, const WAVEHDR& header) {
  return header.lpData != nullptr && header.dwBufferLength >= device.bytesPerFrame;
}

// The checks that open waveInPrepareHeader, waveInUnprepareHeader and
// waveInAddBuffer, in this order: MMSYSERR_INVALHANDLE for an unknown handle,
// MMSYSERR_INVALPARAM for a missing or short header, MMSYSERR_INVALHANDLE
// once the device is closing, WAVERR_STILLPLAYING while the header is queued
// on any device. From the closing check on, `lock` holds the device's mutex
// and, from the queue check on, `bookLock` the header book's, on failure
// too. The caller declares `device` before the locks, so the mutexes are
// released before the caller's reference to the device is dropped.
MMRESULT BeginHeaderCall(HWAVEIN handle, const WAVEHDR* header, UINT headerSize,
                         std::shared_ptr<Device>& device, std::unique_lock<std::mutex>& lock,
                         std::unique_lock<std::mutex>& bookLock) {
  device = FindDevice(handle);
  if (!device)
    return MMSYSERR_INVALHANDLE;
  if (!HeaderArgumentsValid(header, headerSize))
    return MMSYSERR_INVALPARAM;
  lock = std::unique_lock(device->mutex);
  if (device->closing)
    return MMSYSERR_INVALHANDLE;
  HeaderBook& book = TheBook();
  bookLock = std::unique_lock(book.mutex);
  if (book.QueuedLocked(header))
    return WAVERR_STILLPLAYING;
  return MMSYSERR_NOERROR;
}

// Caller holds the header book's lock: `header` is prepared for `handle`.
bool PreparedForLocked(const WAVEHDR& header, HWAVEIN handle) {
  return (header.dwFlags & WHDR_PREPARED) != 0 && header.reserved == static_cast<DWORD_PTR>(handle);
}

// The opening of the calls on a live device: finds it and takes its lock;
// an unknown handle or a closing device gives MMSYSERR_INVALHANDLE. As for
// BeginHeaderCall, the caller declares `device` before `lock`.
MMRESULT BeginDeviceCall(HWAVEIN handle, std::shared_ptr<Device>& device,
                         std::unique_lock<std::mutex>& lock) {
  device = FindDevice(handle);
  if (!device)
    return MMSYSERR_INVALHANDLE;
  lock = std::unique_lock(device->mutex);
  if (device->closing)
    return MMSYSERR_INVALHANDLE;
  return MMSYSERR_NOERROR;
}

// The steps of waveInOpen, in their order.

// Checks the open's flags (the callback kind and the other flags offered),
// that a function callback comes with its function, and the format, which
// lands in `parsed`.
MMRESULT CheckOpenRequest(const WAVEFORMATEX& format, WaveInProc callback, DWORD flags,
                          WaveInFormat& parsed) {
  const DWORD kind = flags & kCallbackKindMask;
  if ((kind != CALLBACK_NULL && kind != CALLBACK_FUNCTION) ||
      (flags & ~(kCallbackKindMask | WAVE_ALLOWSYNC | WAVE_MAPPED)) != 0)
    return MMSYSERR_INVALFLAG;
  if (kind == CALLBACK_FUNCTION && callback == nullptr)
    return MMSYSERR_INVALPARAM;
  if (!kestrune::ParseWaveFormat(format, parsed))
    return WAVERR_BADFORMAT;
  return MMSYSERR_NOERROR;
}

// The device an open names and the backend that opens it.
struct OpenTarget {
  std::shared_ptr<WaveInBackend> backend;
  std::shared_ptr<const std::vector<CaptureDeviceEntry>> snapshot;  // keeps `entry` alive
  const CaptureDeviceEntry* entry = nullptr;                        // null: the wave mapper
};

// Chooses the device: the entry of the latest snapshot that `deviceId`
// names (MMSYSERR_BADDEVICEID beyond it), none for the wave mapper, and the
// current backend.
MMRESULT ChooseDevice(UINT deviceId, OpenTarget& target) {
  if (deviceId != WAVE_MAPPER) {
    target.snapshot = LatestSnapshot();
    if (deviceId >= target.snapshot->size())
      return MMSYSERR_BADDEVICEID;
    target.entry = &(*target.snapshot)[deviceId];
  }
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  target.backend = CurrentBackendLocked(registry);
  return MMSYSERR_NOERROR;
}

// Opens the chosen device's stream; a backend that reports success without
// a stream gives MMSYSERR_ERROR.
MMRESULT OpenFirstStream(const OpenTarget& target, const WaveInFormat& format, bool mayConvert,
                         std::unique_ptr<WaveInStream>& stream) {
  if (const MMRESULT result = target.backend->Open(target.entry, format, mayConvert, stream);
      result != MMSYSERR_NOERROR)
    return result;
  if (!stream)
    return MMSYSERR_ERROR;
  return MMSYSERR_NOERROR;
}

// Makes the device on the opened stream, under a new handle, keeping what it
// was opened with.
std::shared_ptr<Device> MakeDevice(std::unique_ptr<WaveInStream> stream, OpenTarget target,
                                   const WaveInFormat& format, bool mayConvert, WaveInProc callback,
                                   DWORD_PTR instance) {
  Registry& registry = TheRegistry();
  HWAVEIN newHandle;
  {
    std::lock_guard lock(registry.mutex);
    newHandle = HWAVEIN{registry.nextHandle++};
  }
  std::optional<CaptureDeviceEntry> openedEntry;
  if (target.entry != nullptr)
    openedEntry = *target.entry;
  return std::make_shared<Device>(newHandle, std::move(stream), std::move(target.backend),
                                  std::move(openedEntry), format, mayConvert, callback, instance);
}

// Starts the device's reading thread. The thread is made suspended so that
// its id is known before any callback can ask whether it runs on it. It
// waits for the registration before it delivers WIM_OPEN. Nothing is
// registered until it runs, so a failure here leaves nothing another thread
// could have reached: the device is closed and MMSYSERR_NOMEM returned.
MMRESULT StartReader(const std::shared_ptr<Device>& device, WaveInReader*& reader) {
  try {
    reader = Create<WaveInReader>(device);
    reader->SetPriority(kestrune::ThreadPriority::Highest);  // best effort
    {
      std::lock_guard lock(device->mutex);
      device->reader = reader;
      device->readerThreadId = reader->ThreadID();
    }
    reader->Start();
  } catch (...) {
    std::lock_guard lock(device->mutex);
    device->closing = true;
    device->reader = nullptr;
    FreeObject(reader);
    device->stream.reset();
    return MMSYSERR_NOMEM;
  }
  return MMSYSERR_NOERROR;
}

// Registers the handle with the header book and the registry. From here on
// the handle is known to every call but waveInClose, which refuses it until
// waveInOpen has returned it: a close cannot end the device while its open
// waits for WIM_OPEN. A failure undoes the registration, ends the reading
// thread (which makes no callback) and closes the device: MMSYSERR_NOMEM.
MMRESULT RegisterDevice(const std::shared_ptr<Device>& device, WaveInReader* reader) {
  const HWAVEIN newHandle = device->handle;
  Registry& registry = TheRegistry();
  bool registered = false;
  try {
    {
      HeaderBook& book = TheBook();
      std::lock_guard lock(book.mutex);
      book.open.insert(static_cast<uint64_t>(newHandle));
    }
    std::lock_guard lock(registry.mutex);
    registry.devices.emplace(static_cast<uint64_t>(newHandle), device);
    registered = true;
  } catch (...) {
  }
  if (registered)
    return MMSYSERR_NOERROR;
  std::unique_lock lock(device->mutex);
  device->closing = true;
  device->changed.notify_all();
  lock.unlock();
  ForgetDevice(newHandle);
  {
    HeaderBook& book = TheBook();
    std::lock_guard bookLock(book.mutex);
    book.open.erase(static_cast<uint64_t>(newHandle));
  }
  reader->Free();
  device->stream.reset();
  return MMSYSERR_NOMEM;
}

// Lets the reading thread deliver WIM_OPEN, waits until it has, and hands
// the handle out (waveInClose takes it from then on).
HWAVEIN HandOutWhenOpenDelivered(Device& device) {
  std::unique_lock lock(device.mutex);
  device.registered = true;
  device.changed.notify_all();
  device.changed.wait(lock, [&] { return device.openDelivered; });
  device.handedOut = true;
  return device.handle;
}

}  // namespace

std::shared_ptr<WaveInBackend> kestrune::SetWaveInBackend(std::shared_ptr<WaveInBackend> backend) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::shared_ptr<WaveInBackend> previous = std::move(registry.installed);
  registry.installed = std::move(backend);
  ++registry.backendGeneration;
  registry.snapshot.reset();
  return previous;
}

UINT waveInGetNumDevs() {
  return static_cast<UINT>(TakeSnapshot()->size());
}

MMRESULT waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT capsSize) {
  if (caps == nullptr || capsSize == 0)
    return MMSYSERR_INVALPARAM;
  const auto snapshot = LatestSnapshot();
  if (deviceId >= snapshot->size())
    return MMSYSERR_BADDEVICEID;
  WAVEINCAPSA record{};
  const std::string& name = (*snapshot)[deviceId].name;
  std::memcpy(record.szPname, name.data(), std::min(name.size(), sizeof(record.szPname) - 1));
  std::memcpy(caps, &record, std::min<size_t>(capsSize, sizeof(record)));
  return MMSYSERR_NOERROR;
}

MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, WaveInProc callback,
                    DWORD_PTR instance, DWORD flags) {
  if (handle == nullptr || format == nullptr)
    return MMSYSERR_INVALPARAM;
  *handle = HWAVEIN{};
  WaveInFormat parsed;
  if (const MMRESULT result = CheckOpenRequest(*format, callback, flags, parsed);
      result != MMSYSERR_NOERROR)
    return result;
  OpenTarget target;
  if (const MMRESULT result = ChooseDevice(deviceId, target); result != MMSYSERR_NOERROR)
    return result;
  const bool mayConvert = target.entry == nullptr || (flags & WAVE_MAPPED) != 0;
  std::unique_ptr<WaveInStream> stream;
  if (const MMRESULT result = OpenFirstStream(target, parsed, mayConvert, stream);
      result != MMSYSERR_NOERROR)
    return result;
  const bool toCallback = (flags & kCallbackKindMask) == CALLBACK_FUNCTION;
  std::shared_ptr<Device> device =
      MakeDevice(std::move(stream), std::move(target), parsed, mayConvert,
                 toCallback ? callback : nullptr, instance);
  WaveInReader* reader = nullptr;
  if (const MMRESULT result = StartReader(device, reader); result != MMSYSERR_NOERROR)
    return result;
  if (const MMRESULT result = RegisterDevice(device, reader); result != MMSYSERR_NOERROR)
    return result;
  *handle = HandOutWhenOpenDelivered(*device);
  return MMSYSERR_NOERROR;
}

MMRESULT waveInClose(HWAVEIN handle) {
  std::shared_ptr<Device> device = FindDevice(handle);
  if (!device)
    return MMSYSERR_INVALHANDLE;
  TThread* reader;
  {
    std::lock_guard lock(device->mutex);
    if (device->closing || !device->handedOut)
      return MMSYSERR_INVALHANDLE;
    if (device->OnReader())
      return MMSYSERR_HANDLEBUSY;
    if (!device->queue.empty())
      return WAVERR_STILLPLAYING;
    device->closing = true;
    {
      HeaderBook& book = TheBook();
      std::lock_guard bookLock(book.mutex);
      book.open.erase(static_cast<uint64_t>(handle));
    }
    if (device->stream)
      device->stream->Wake();
    device->CallReader();
    reader = std::exchange(device->reader, nullptr);
  }
  ForgetDevice(handle);
  // Waits for the reading thread, which delivers WIM_CLOSE last. No lock of
  // ours is held: the callback may call in.
  reader->Free();
  std::lock_guard lock(device->mutex);
  device->stream.reset();
  return MMSYSERR_NOERROR;
}

MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT headerSize) {
  std::shared_ptr<Device> device;
  std::unique_lock<std::mutex> lock;
  std::unique_lock<std::mutex> bookLock;
  if (const MMRESULT result = BeginHeaderCall(handle, header, headerSize, device, lock, bookLock);
      result != MMSYSERR_NOERROR)
    return result;
  // Prepared for another device that is still open: it is that device's
  // until unprepared there. One whose device has closed may be taken over
  // (it can no longer be unprepared there).
  if ((header->dwFlags & WHDR_PREPARED) != 0 && !PreparedForLocked(*header, handle) &&
      TheBook().open.count(static_cast<uint64_t>(header->reserved)) != 0)
    return WAVERR_UNPREPARED;
  if (!BufferUsableLocked(*device, *header))
    return MMSYSERR_INVALPARAM;
  header->dwFlags |= WHDR_PREPARED;
  header->reserved = static_cast<DWORD_PTR>(handle);
  return MMSYSERR_NOERROR;
}

MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT headerSize) {
  std::shared_ptr<Device> device;
  std::unique_lock<std::mutex> lock;
  std::unique_lock<std::mutex> bookLock;
  if (const MMRESULT result = BeginHeaderCall(handle, header, headerSize, device, lock, bookLock);
      result != MMSYSERR_NOERROR)
    return result;
  if ((header->dwFlags & WHDR_PREPARED) == 0)
    return MMSYSERR_NOERROR;
  if (!PreparedForLocked(*header, handle))
    return WAVERR_UNPREPARED;
  header->dwFlags &= ~WHDR_PREPARED;
  header->reserved = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT headerSize) {
  std::shared_ptr<Device> device;
  std::unique_lock<std::mutex> lock;
  std::unique_lock<std::mutex> bookLock;
  if (const MMRESULT result = BeginHeaderCall(handle, header, headerSize, device, lock, bookLock);
      result != MMSYSERR_NOERROR)
    return result;
  if (!PreparedForLocked(*header, handle))
    return WAVERR_UNPREPARED;
  if (!BufferUsableLocked(*device, *header))
    return MMSYSERR_INVALPARAM;
  // Room in both lists first, so that a failed allocation changes nothing.
  HeaderBook& book = TheBook();
  try {
    ReserveOneMore(device->queue);
    ReserveOneMore(book.queued);
  } catch (...) {
    return MMSYSERR_NOMEM;
  }
  device->queue.push_back(
      QueuedBuffer{header, reinterpret_cast<uint8_t*>(header->lpData), header->dwBufferLength});
  book.queued.push_back(header);
  header->dwBytesRecorded = 0;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  device->CallReader();
  return MMSYSERR_NOERROR;
}

MMRESULT waveInStart(HWAVEIN handle) {
  std::shared_ptr<Device> device;
  std::unique_lock<std::mutex> lock;
  if (const MMRESULT result = BeginDeviceCall(handle, device, lock); result != MMSYSERR_NOERROR)
    return result;
  // While capture runs the reading thread reopens a lost device by itself.
  if (device->started)
    return device->stream ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
  // The reader does not read while `started` is false, so the stream is
  // ours here. A lost one is opened again first (a stream that fails to
  // start is closed again, under the lock like every call of a stream).
  if (!device->stream) {
    std::unique_ptr<WaveInStream> fresh;
    if (const MMRESULT result = device->OpenStream(fresh); result != MMSYSERR_NOERROR)
      return result;
    if (const MMRESULT result = fresh->Start(); result != MMSYSERR_NOERROR)
      return result;
    device->TakeReopened(std::move(fresh));
  } else if (const MMRESULT result = device->stream->Start(); result != MMSYSERR_NOERROR) {
    if (result == MMSYSERR_NODRIVER) {
      device->statistics.deviceLost = true;
      ++device->statistics.losses;
      device->stream.reset();
    }
    return result;
  }
  device->started = true;
  device->CallReader();
  return MMSYSERR_NOERROR;
}

MMRESULT waveInReset(HWAVEIN handle) {
  std::shared_ptr<Device> device;
  std::unique_lock<std::mutex> lock;
  if (const MMRESULT result = BeginDeviceCall(handle, device, lock); result != MMSYSERR_NOERROR)
    return result;
  const uint64_t mine = ++device->resetsAsked;
  if (device->OnReader()) {
    device->ResetOnReader(lock);
    return MMSYSERR_NOERROR;
  }
  // The reader serves resets before it looks at `closing`, and it runs until
  // it sees `closing`, which was false just now: it will serve this one.
  if (device->stream)
    device->stream->Wake();
  device->CallReader();
  device->changed.wait(lock, [&] { return device->resetsDone >= mine; });
  return MMSYSERR_NOERROR;
}

MMRESULT kestrune::GetWaveInStatistics(HWAVEIN handle, WaveInStatistics& statistics) {
  std::shared_ptr<Device> device;
  std::unique_lock<std::mutex> lock;
  if (const MMRESULT result = BeginDeviceCall(handle, device, lock); result != MMSYSERR_NOERROR)
    return result;
  statistics = device->statistics;
  return MMSYSERR_NOERROR;
}

std::shared_ptr<const std::vector<CaptureDeviceEntry>> kestrune::CurrentWaveInDevices() {
  return LatestSnapshot();
}
