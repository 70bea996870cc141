#include "audio/MoskWaveThread.h"

#include <cstdio>
#include <exception>
#include <new>
#include <utility>

#include "platform/classes/MainLoop.h"
#include "platform/rtl/SysUtils.h"

namespace {

// An exception that escaped the handler: the main thread's central handler
// shows it, as it does for every event handler. Posting never waits for the
// main thread.
void ReportHandlerException(const std::exception_ptr& error) {
  if (kestrune::MainLoop* loop = kestrune::MainLoop::Current()) {
    loop->Post([error] { std::rethrow_exception(error); });
  } else {
    std::fprintf(stderr, "Wave thread: %s\n", kestrune::ExceptionText(error).c_str());
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TMoskWaveThread

std::atomic<int> TMoskWaveThread::live_count_{0};

TMoskWaveThread::TMoskWaveThread(TMoskWaveMessageHandler handler)
    : TThread(/*createSuspended=*/true), handler_(handler) {
  KESTRUNE_USAGE_CHECK(handler_.Assigned(), "a wave thread needs a handler");
  ++live_count_;
}

int TMoskWaveThread::LiveCount() {
  return live_count_.load();
}

TMoskWaveThread::~TMoskWaveThread() {
  --live_count_;
  kestrune::CriticalSectionGuard guard(queue_lock_);
  DropQueuedLocked();
  while (free_list_ != nullptr) {
    delete std::exchange(free_list_, free_list_->next);
  }
}

void TMoskWaveThread::AfterConstruction() {
  inherited::AfterConstruction();  // created suspended: nothing runs yet
  SetPriority(kestrune::ThreadPriority::Highest);
  Resume();
}

void TMoskWaveThread::BeforeDestruction() {
  // The base terminates and waits; the thread must also be woken to see it.
  Terminate();
  wake_.SetEvent();
  inherited::BeforeDestruction();
}

bool TMoskWaveThread::Post(UINT message, HWAVEIN device, DWORD_PTR parameter) {
  if (Terminated()) {
    return false;
  }
  {
    kestrune::CriticalSectionGuard guard(queue_lock_);
    Record* record = free_list_;
    if (record != nullptr) {
      free_list_ = record->next;
    } else {
      record = new (std::nothrow) Record;
      if (record == nullptr) {
        return false;
      }
      ++records_;
    }
    *record = Record{nullptr, device, message, parameter};
    if (tail_ != nullptr) {
      tail_->next = record;
    } else {
      head_ = record;
    }
    tail_ = record;
    ++queued_;
  }
  wake_.SetEvent();
  return true;
}

void TMoskWaveThread::Stop() {
  RequestStop();
  WaitFor();
}

void TMoskWaveThread::RequestStop() {
  Terminate();
  wake_.SetEvent();
}

void TMoskWaveThread::ReserveRecords(std::size_t count) {
  kestrune::CriticalSectionGuard guard(queue_lock_);
  while (records_ < count) {
    auto* record = new (std::nothrow) Record{free_list_, HWAVEIN{}, 0, 0};
    if (record == nullptr) {
      return;
    }
    free_list_ = record;
    ++records_;
  }
}

std::size_t TMoskWaveThread::QueuedCount() {
  kestrune::CriticalSectionGuard guard(queue_lock_);
  return queued_;
}

bool TMoskWaveThread::TakeLocked(Record& out) {
  Record* record = head_;
  if (record == nullptr) {
    return false;
  }
  head_ = record->next;
  if (head_ == nullptr) {
    tail_ = nullptr;
  }
  --queued_;
  out = *record;
  record->next = free_list_;
  free_list_ = record;
  return true;
}

void TMoskWaveThread::DropQueuedLocked() {
  Record unused;
  while (TakeLocked(unused)) {
  }
}

void TMoskWaveThread::Execute() {
  while (!Terminated()) {
    wake_.WaitFor(INFINITE);
    // Every wake-up empties the queue, so appends that set the event while
    // the previous pass ran (the event counts them once) are all taken.
    while (!Terminated()) {
      Record taken;
      {
        kestrune::CriticalSectionGuard guard(queue_lock_);
        if (!TakeLocked(taken)) {
          break;
        }
      }
      if (Terminated()) {
        break;  // the record in hand is dropped with the rest
      }
      try {
        handler_(taken.message, taken.device, taken.parameter);
      } catch (...) {
        ReportHandlerException(std::current_exception());
      }
    }
  }
  kestrune::CriticalSectionGuard guard(queue_lock_);
  DropQueuedLocked();
}

bool PostWaveMessage(TMoskWaveThread* thread, UINT message, HWAVEIN device, DWORD_PTR parameter) {
  return thread != nullptr && thread->Post(message, device, parameter);
}

void WaveInCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                    DWORD_PTR /*param2*/) {
  // Nothing can be reported to the driver: a message the thread refuses (it
  // is stopping) is dropped.
  (void)PostWaveMessage(reinterpret_cast<TMoskWaveThread*>(instance), message, device, param1);
}

void StopWaveThread(TMoskWaveThread* thread) {
  if (thread != nullptr) {
    thread->Stop();
  }
}
