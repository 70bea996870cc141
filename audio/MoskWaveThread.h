// The wave thread and the capture state it shares with the capture
// component.
//
// The waveform-audio layer reports finished capture blocks through a callback
// that runs on the device's reading thread, where almost nothing may be done.
// TMoskWaveThread moves every report onto a thread of the capture
// component's own: the callback (WaveInCallback) only appends a small record
// to a queue and wakes the thread; the thread takes the records in arrival
// order and calls the component's handler, which runs the whole processing
// graph.
//
// Life cycle:
//   thread = Create<TMoskWaveThread>(handler);    // starts at once
//   waveInOpen(&device, id, format, WaveInCallback,
//              reinterpret_cast<DWORD_PTR>(thread), CALLBACK_FUNCTION | ...);
//   ... the handler runs on the thread for every message ...
//   waveInReset / waveInClose                      // no more callbacks
//   StopWaveThread(thread);                        // records left are dropped
//   thread->Free();
// Every device that calls back into the thread must be closed before the
// thread is freed.
//
// The queue has no maximum: a report is never refused because many are
// waiting, so no block is left with the component unreported while the
// thread runs. Records are recycled through a free list, so once as many
// records exist as blocks circulate, posting allocates nothing; the owner
// makes them up front with ReserveRecords, so that a thread that falls
// behind for the first time takes nothing from the heap either.
//
// Threads: three meet here. The driver's callback thread only posts; the wave
// thread runs the handler, outside the queue lock, one message at a time; the
// main thread creates, stops and frees the thread. The queue lock is a leaf
// (nothing is called under it) and is never held with any other lock. The
// capture state the handler works on is in audio/MoskAudioParams.h.
#pragma once

#include <atomic>
#include <cstdint>
#include "platform/classes/SyncObjs.h"
#include "platform/classes/Threads.h"
#include "platform/win/WaveIn.h"

// The handler of the component: (message, device, first message parameter);
// for WIM_DATA the parameter is the returned WAVEHDR*.
using TMoskWaveMessageHandler = TMethod<void(UINT message, HWAVEIN device, DWORD_PTR parameter)>;

class TMoskWaveThread : public TThread {
  KESTRUNE_CLASS(TMoskWaveThread, TThread)
  // A thread that calls `handler` (assigned; it must outlive the thread) for
  // every posted message. AfterConstruction asks for the highest priority
  // below time-critical (best effort: kept at normal without the privilege)
  // and starts the thread.
  explicit TMoskWaveThread(TMoskWaveMessageHandler handler);
  // Frees the records still queued and the free list.
  ~TMoskWaveThread() override;
  void AfterConstruction() override;
  // Free without Stop also ends the thread (queued messages dropped).
  void BeforeDestruction() override;

  // Appends a message and wakes the thread. Any thread; never blocks on the
  // handler. False, with nothing queued, once the thread is terminated, or
  // when no memory is left for a record.
  bool Post(UINT message, HWAVEIN device, DWORD_PTR parameter);

  // Ends the thread: marks it terminated, wakes it and waits until it has
  // ended. The message being handled is finished; the messages still queued
  // are dropped unhandled. Call it from any thread but the wave thread itself
  // (EThread), and not while holding a lock the handler takes (the global
  // write lock and the capture-state lock included). On the main
  // thread, calls that threads hand to the main thread keep being served
  // meanwhile.
  void Stop();
  // Marks the thread terminated and wakes it without waiting for its end:
  // it ends once the message in hand is finished. Stop or Free later joins
  // it. Any thread.
  void RequestStop();
  // The wave threads made and not yet freed, in the whole process (tests
  // and diagnostics).
  static int LiveCount();

  // Makes records until at least `count` exist (queued or free), so that as
  // many messages waiting at once take nothing from the heap. Any thread.
  // Best effort: with no memory left it stops early, and Post makes the
  // missing records when they are needed.
  void ReserveRecords(std::size_t count);

  // The number of messages queued and not yet taken (for tests).
  std::size_t QueuedCount();

 protected:
  // Takes the messages in order and calls the handler for each, until
  // terminated. An exception that escapes the handler goes to the main
  // loop's central handler (to stderr when there is no main loop), and the
  // next message is handled: one failing message never ends the thread.
  void Execute() override;

 private:
  struct Record {
    Record* next;
    HWAVEIN device;
    UINT message;
    DWORD_PTR parameter;
  };

  // Caller holds queue_lock_. The head record unlinked (its fields copied to
  // `out`) and recycled; false when the queue is empty.
  bool TakeLocked(Record& out);
  // Caller holds queue_lock_. Recycles every queued record.
  void DropQueuedLocked();

  const TMoskWaveMessageHandler handler_;
  // Wakes the thread: set after every append and by Stop. Auto-reset and
  // latched, so an append made while the thread is busy is seen on its next
  // pass; the thread empties the queue on every wake-up.
  TEvent wake_{/*manualReset=*/false, /*initialState=*/false};
  TCriticalSection queue_lock_;
  Record* head_ = nullptr;       // guarded by queue_lock_
  Record* tail_ = nullptr;       // guarded by queue_lock_
  Record* free_list_ = nullptr;  // guarded by queue_lock_
  std::size_t queued_ = 0;       // guarded by queue_lock_
  std::size_t records_ = 0;      // queued and free; guarded by queue_lock_
  static std::atomic<int> live_count_;
};

// Posts to `thread` (see TMoskWaveThread::Post); false for a null thread.
bool PostWaveMessage(TMoskWaveThread* thread, UINT message, HWAVEIN device, DWORD_PTR parameter);

// The callback given to waveInOpen, with the wave thread as the instance
// value: passes every message (open, close, data) on to the thread.
void WaveInCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                    DWORD_PTR param2);

// TMoskWaveThread::Stop; nothing for a null thread.
void StopWaveThread(TMoskWaveThread* thread);
