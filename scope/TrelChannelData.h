// The sample intake of one scope channel: the incoming buffers the
// producer's thread writes, the displayed buffers the main thread draws, and
// the commit from one to the other.
//
// A producer pushes operations into the channel's input pin on its own
// thread (the capture thread in the program); the pin's handler hands them
// to ProcessOperation. Blocks and single values are stored in the incoming
// buffers by the size-limit rule; a start empties them and records the new
// stream (its rate and kind), a stop is recorded: the main thread applies
// what a start or stop means for the display (TakePendingStream) at its
// next update, so the producer never touches anything but the incoming side.
// The main thread's Commit replaces the displayed buffers with new ones that
// share the incoming blocks (no sample is copied); a reader that took its own
// references to the previous displayed buffers (a drawing in progress) keeps
// them, whole and unchanged, until it lets them go.
//
// Locks. Two re-entrant critical sections per channel. Lock order:
//   IntakeLock, then DisplayLock
// (the commit and TakePendingStream take both in that order; nothing takes
// them the other way). The producer takes IntakeLock only, for every
// operation it stores, and takes no other channel lock meanwhile. Readers of
// the displayed buffers off the drawing path (the scope's sample-range
// queries) take DisplayLock only. Drawing, auto-scaling and measuring run on
// the main thread and read the displayed buffers without a lock: only the
// main thread replaces them. A main-thread reader that calls out (to a
// handler, which may run an update and so a commit) first takes its own
// references to the buffers it reads.
//
// Building one allocates three empty buffers; one per channel, kept for the
// channel's life.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Vek/VekPins.h"
#include "platform/classes/SyncObjs.h"
#include "platform/rtl/System.h"
#include "signal/core/TrelTypedBuffers.h"

class TTrelChannelData : public TObject {
  KESTRUNE_CLASS(TTrelChannelData, TObject)
  // `sizeLimit` is the scope's SizeLimit and `fullRedraw` its full-redraw
  // flag; both outlive this object and are read or set from the producer's
  // thread, hence atomic.
  TTrelChannelData(const std::atomic<std::uint32_t>& sizeLimit, std::atomic<bool>& fullRedraw);

  // What a start or stop recorded for the main thread.
  struct TPendingStream {
    bool Started = false;
    bool Stopped = false;
    double SampleRate = 10000.0;
    bool IsSpectrum = false;
    bool IsIntensity = false;
  };

  // ---- Producer's thread ----------------------------------------------
  // One operation from the input pin (`streamType` is the link's). Starts,
  // stops, supplied buffers of real or integer samples and supplied single
  // values are stored; everything else is ignored. Takes IntakeLock.
  void ProcessOperation(const TGUID& streamType, IVekNotifyOperation* operation);
  // Appends `count` samples by the size-limit rule, keeping the X values in
  // step. Take IntakeLock (re-entrant: callers inside it may call them).
  void AppendRealBlock(const double* data, std::uint32_t count);
  void AppendIntegerBlock(const std::int32_t* data, std::uint32_t count);
  void AppendValue(double value);
  // Keeps incoming X in step with `count` new samples. Caller holds
  // IntakeLock.
  void ExtendXValues(std::uint32_t count);
  // Incoming X := 0, 1, 2, ... for every incoming sample. Caller holds
  // IntakeLock.
  void RebuildXIndices();

  // ---- Main thread -------------------------------------------------------
  // Incoming data not yet committed (any thread may ask).
  bool Changed() const { return changed_.load(std::memory_order_acquire); }
  // The start or stop recorded since the last call, cleared. After a start
  // the displayed Y is empty and Changed is set, so the next commit shows
  // whatever arrived after the start, even if an earlier commit already
  // had. Takes IntakeLock, then DisplayLock.
  TPendingStream TakePendingStream();
  // New displayed buffers share the incoming ones, a new committed Y the
  // displayed Y (the previous buffers stay valid for whoever holds them);
  // Changed is cleared while IntakeLock is held, so a block
  // stored during the commit waits for the next one. Takes IntakeLock, then
  // DisplayLock.
  void Commit();
  // Cuts the incoming buffers to the newest `limit` samples (0: no limit)
  // and rebuilds the X indices. Takes IntakeLock.
  void ApplySizeLimit(std::uint32_t limit);
  // Makes the displayed, incoming and committed buffers share `source`'s.
  // Takes this channel's IntakeLock, then DisplayLock, then the source's
  // IntakeLock (read only: the source's producer may not be writing).
  void ShareFrom(TTrelChannelData& source);

  // The displayed buffers. Main thread (other threads under DisplayLock).
  ITrelRealBuffer* DisplayedX() const { return displayed_x_.get(); }
  ITrelRealBuffer* DisplayedY() const { return displayed_y_.get(); }
  // The second reference to the displayed Y, used as work space by the
  // trace drawing.
  ITrelRealBuffer* CommittedY() const { return committed_y_.get(); }
  // Copies of the incoming samples, for tests and diagnostics. Takes
  // IntakeLock.
  std::vector<double> IncomingYValues();
  std::vector<double> IncomingXValues();

  TCriticalSection IntakeLock;
  TCriticalSection DisplayLock;

 private:
  // The supplied-buffer case. Caller holds IntakeLock.
  void StoreRealBuffer(const IPtr<ITrelRealBuffer>& block);
  void StoreIntegerBuffer(const IPtr<ITrelIntegerBuffer>& block);
  // The append rule with `convert` copying (and converting) samples. Caller
  // holds IntakeLock.
  template <class T>
  void AppendBlock(const T* data, std::uint32_t count);
  void MarkChanged();

  const std::atomic<std::uint32_t>& size_limit_;
  std::atomic<bool>& full_redraw_;
  std::atomic<bool> changed_{false};

  // Guarded by IntakeLock.
  IPtr<ITrelRealBuffer> incoming_x_;
  IPtr<ITrelRealBuffer> incoming_y_;
  // incoming_x_ holds exactly 0 .. count - 1 and is used by no one else for
  // writing, so RebuildXIndices can keep it when the count is unchanged.
  bool incoming_x_is_ramp_ = true;
  TPendingStream pending_;

  // Replaced on the main thread only; DisplayLock while replaced.
  IPtr<ITrelRealBuffer> displayed_x_;
  IPtr<ITrelRealBuffer> displayed_y_;
  IPtr<ITrelRealBuffer> committed_y_;
};
