#include "audio/MoskAudioParams.h"

#include <new>
#include <utility>

#include "platform/rtl/SysUtils.h"

namespace {

constinit TFreeLists g_block_lists;

}  // namespace

TFreeLists& MoskAudioBlockLists() {
  return g_block_lists;
}

// ---------------------------------------------------------------------------
// TMoskWaveBuffer

void* TMoskWaveBuffer::operator new(std::size_t size) {
  return g_block_lists.Allocate(size);
}

void TMoskWaveBuffer::operator delete(void* block, std::size_t size) noexcept {
  g_block_lists.Deallocate(block, size);
}

TMoskWaveBuffer::TMoskWaveBuffer(HWAVEIN device, TMoskAudioParams* params,
                                 IPtr<IMoskAudioBuffer> buffer)
    : device_(device), params_(params), buffer_(std::move(buffer)) {
  KESTRUNE_USAGE_CHECK(buffer_, "a capture block needs a buffer");
  // The device overwrites the whole sample area; the block is the buffer's
  // own (it was just made), so this takes no copy.
  header_.lpData = reinterpret_cast<char*>(buffer_->GetWriteData());
  header_.dwBufferLength = static_cast<DWORD>(buffer_->GetByteSize());
  header_.dwUser = reinterpret_cast<DWORD_PTR>(this);
}

// ---------------------------------------------------------------------------
// TMoskAudioParams

TMoskAudioParams::~TMoskAudioParams() = default;

void TMoskAudioParams::AssertLocked() const {
  KESTRUNE_USAGE_CHECK(lock_.HeldByCurrentThread(), "the capture state's lock is not held");
}

bool TMoskAudioParams::ActiveLocked() const {
  AssertLocked();
  return active_;
}

void TMoskAudioParams::SetActiveLocked(bool active) {
  AssertLocked();
  active_ = active;
}

bool TMoskAudioParams::PumpMasterLocked() const {
  AssertLocked();
  return pump_master_;
}

void TMoskAudioParams::SetPumpMasterLocked(bool pumpMaster) {
  AssertLocked();
  pump_master_ = pumpMaster;
}

HWAVEIN TMoskAudioParams::DeviceLocked() const {
  AssertLocked();
  return device_;
}

void TMoskAudioParams::SetDeviceLocked(HWAVEIN device) {
  AssertLocked();
  device_ = device;
}

TMoskWaveBuffer* TMoskAudioParams::AddBlockLocked(HWAVEIN device, IPtr<IMoskAudioBuffer> buffer) {
  AssertLocked();
  try {
    blocks_.reserve(blocks_.size() + 1);  // the append below cannot fail
    blocks_.push_back(std::make_unique<TMoskWaveBuffer>(device, this, std::move(buffer)));
  } catch (const std::bad_alloc&) {
    kestrune::RaiseOutOfMemory();
  }
  return blocks_.back().get();
}

TMoskWaveBuffer* TMoskAudioParams::FindBlockLocked(HWAVEIN device, const WAVEHDR* header) const {
  AssertLocked();
  if (device == HWAVEIN{} || device != device_) {
    return nullptr;
  }
  for (const auto& block : blocks_) {
    if (block->Header() == header && block->Device() == device) {
      return block.get();
    }
  }
  return nullptr;
}

std::unique_ptr<TMoskWaveBuffer> TMoskAudioParams::RemoveBlockLocked(TMoskWaveBuffer* block) {
  AssertLocked();
  for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
    if (it->get() == block) {
      std::unique_ptr<TMoskWaveBuffer> taken = std::move(*it);
      blocks_.erase(it);
      return taken;
    }
  }
  return nullptr;
}

std::vector<std::unique_ptr<TMoskWaveBuffer>> TMoskAudioParams::TakeBlocksLocked() {
  AssertLocked();
  return std::exchange(blocks_, {});
}

std::size_t TMoskAudioParams::BlockCountLocked() const {
  AssertLocked();
  return blocks_.size();
}
