// The capture state the capture component (MoskAudioIn.h), its queued
// blocks and its wave-thread handler share.
//
// TMoskAudioParams holds the active and pump-master flags, the open device,
// and the list of blocks handed to that device (TMoskWaveBuffer). Its lookup
// FindBlockLocked recognises a data message only when it names a block listed
// for the device that is open now, without reading through the message's
// header address: after a stop and a restart, data messages that the closed
// device left in the queue name blocks that were freed (or a new block that
// happens to have the same address) and are ignored.
//
// The block records come from a free list of their own (released when the
// last capture state goes, or by MoskAudioUnit's shutdown), so once as many
// records exist as blocks circulate, handing a block to the device takes
// nothing from the heap.
//
// Threads: the main thread (start, stop) and the wave thread (the handler)
// use the state under its lock; where that lock stands in the lock order is
// written in Vek/VekLocks.h ("LOCK ORDER").
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "audio/MoskAudioBuffer.h"
#include "platform/classes/SyncObjs.h"
#include "platform/rtl/FreeLists.h"
#include "platform/win/WaveIn.h"

class TMoskAudioParams;

// The free lists the block records come from. Every capture state is a user
// of them: their memory goes back to the heap when the last capture state
// goes, or at MoskAudioUnit's shutdown.
TFreeLists& MoskAudioBlockLists();

// One capture block handed to a device: the device, the block header the
// device fills and returns, and the audio buffer whose sample area the header
// points at. Made and listed by TMoskAudioParams::AddBlockLocked, which owns
// it; its address, and so the header's, stays put while it is listed.
class TMoskWaveBuffer {
 public:
  TMoskWaveBuffer(HWAVEIN device, TMoskAudioParams* params, IPtr<IMoskAudioBuffer> buffer);
  TMoskWaveBuffer(const TMoskWaveBuffer&) = delete;
  TMoskWaveBuffer& operator=(const TMoskWaveBuffer&) = delete;

  // Records come from their free list (MoskAudioBlockLists).
  static void* operator new(std::size_t size);
  static void operator delete(void* block, std::size_t size) noexcept;

  HWAVEIN Device() const { return device_; }
  // The header for waveInPrepareHeader / waveInAddBuffer: lpData = the
  // buffer's first frame, dwBufferLength = its sample bytes, dwUser = this
  // record.
  WAVEHDR* Header() { return &header_; }
  // The shared capture state that lists the record (not counted: it owns the
  // record).
  TMoskAudioParams* Params() const { return params_; }
  // The buffer the device fills. Between waveInAddBuffer and the buffer's
  // WIM_DATA the device writes into it: touch it only after it came back.
  const IPtr<IMoskAudioBuffer>& Buffer() const { return buffer_; }

 private:
  const HWAVEIN device_;
  WAVEHDR header_{};
  TMoskAudioParams* const params_;
  const IPtr<IMoskAudioBuffer> buffer_;
};

// The capture state shared by the component, its queued blocks and the
// handler. Counted: hold it in IPtr<TMoskAudioParams>.
//
// Threads: every member whose name ends in Locked needs the state's lock
// (Lock/Unlock or TMoskAudioParamsGuard), which is re-entrant; the lock is
// held across the push of a block, so the main thread's stop waits for a push
// in progress.
class TMoskAudioParams : public TInterfacedObject {
  KESTRUNE_CLASS(TMoskAudioParams, TInterfacedObject)
  TMoskAudioParams() = default;
  // Frees the records still listed (their buffers go with them).
  ~TMoskAudioParams() override;

  void Lock() { lock_.Enter(); }
  void Unlock() { lock_.Leave(); }
  bool HeldByCurrentThread() const { return lock_.HeldByCurrentThread(); }

  // Capture is running and returned blocks are to be processed.
  bool ActiveLocked() const;
  void SetActiveLocked(bool active);
  // The component's last pump request made it the pump master.
  bool PumpMasterLocked() const;
  void SetPumpMasterLocked(bool pumpMaster);
  // The open device whose blocks are listed; HWAVEIN{} while none is open.
  HWAVEIN DeviceLocked() const;
  void SetDeviceLocked(HWAVEIN device);

  // Makes and lists a record of `buffer` (not null) for `device`. Raises
  // EOutOfMemory, listing nothing, when memory runs out.
  TMoskWaveBuffer* AddBlockLocked(HWAVEIN device, IPtr<IMoskAudioBuffer> buffer);
  // The listed record whose header is at `header`, made for `device`, while
  // `device` is the open device; nullptr otherwise. `header` is only
  // compared, never read through: it may name a block that is gone.
  TMoskWaveBuffer* FindBlockLocked(HWAVEIN device, const WAVEHDR* header) const;
  // Unlists the record and hands it to the caller; nullptr when it is not
  // listed.
  std::unique_ptr<TMoskWaveBuffer> RemoveBlockLocked(TMoskWaveBuffer* block);
  // Unlists every record, in listing order, and hands them to the caller.
  std::vector<std::unique_ptr<TMoskWaveBuffer>> TakeBlocksLocked();
  std::size_t BlockCountLocked() const;

 private:
  // Debug check of the Locked members' precondition.
  void AssertLocked() const;

  // Declared first: the records below go to their list before the state
  // stops using it.
  TFreeListsUser block_lists_user_{MoskAudioBlockLists()};
  TCriticalSection lock_;
  bool active_ = false;                                   // guarded by lock_
  bool pump_master_ = false;                              // guarded by lock_
  HWAVEIN device_{};                                      // guarded by lock_
  std::vector<std::unique_ptr<TMoskWaveBuffer>> blocks_;  // guarded by lock_
};

// Holds a capture state's lock for its own lifetime.
class TMoskAudioParamsGuard {
 public:
  explicit TMoskAudioParamsGuard(TMoskAudioParams& params) : params_(params) { params_.Lock(); }
  ~TMoskAudioParamsGuard() { params_.Unlock(); }
  TMoskAudioParamsGuard(const TMoskAudioParamsGuard&) = delete;
  TMoskAudioParamsGuard& operator=(const TMoskAudioParamsGuard&) = delete;

 private:
  TMoskAudioParams& params_;
};
