// Helpers shared by the waveform-audio input tests: format headers, buffers
// with stable addresses, a callback that records what comes back, and a check
// of the scripted counting signal.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win/WaveIn.h"
#include "platform/win/WaveInBackend.h"

namespace wavein_test {

inline WAVEFORMATEX PcmFormat(WORD channels, DWORD sampleRate, WORD bits) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = sampleRate;
  format.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
  format.nAvgBytesPerSec = format.nBlockAlign * sampleRate;
  format.wBitsPerSample = bits;
  format.cbSize = 0;
  return format;
}

inline WAVEFORMATEXTENSIBLE ExtensibleFormat(WORD channels, DWORD sampleRate, WORD containerBits,
                                             WORD validBits) {
  WAVEFORMATEXTENSIBLE format{};
  format.Format = PcmFormat(channels, sampleRate, containerBits);
  format.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  format.Format.cbSize = 22;
  format.wValidBitsPerSample = validBits;
  format.dwChannelMask = 3;
  format.SubFormat = WAVE_SUBFORMAT_PCM;
  return format;
}

// A buffer and its header; the address stays put (hold it by unique_ptr).
struct TestBuffer {
  explicit TestBuffer(size_t bytes, char fill = 0) : data(bytes, fill) {
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(bytes);
  }
  std::vector<char> data;
  WAVEHDR header{};
};

inline std::vector<std::unique_ptr<TestBuffer>> MakeBuffers(size_t count, size_t bytes) {
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  for (size_t i = 0; i < count; ++i)
    buffers.push_back(std::make_unique<TestBuffer>(bytes));
  return buffers;
}

// What a WIM_DATA message said, read inside the callback.
struct ReturnedBuffer {
  WAVEHDR* header;
  DWORD bytesRecorded;
  DWORD flags;
};

// Records the messages of one device. `onData`, when set, runs on the
// reading thread after a WIM_DATA was recorded.
class Recorder {
 public:
  static void Callback(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    reinterpret_cast<Recorder*>(instance)->On(msg, param1);
  }
  DWORD_PTR Instance() { return reinterpret_cast<DWORD_PTR>(this); }

  std::function<void(WAVEHDR*)> onData;

  // Waits until `count` WIM_DATA messages have come (10 s at most).
  bool WaitForData(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return returned_.size() >= count; });
  }
  std::vector<UINT> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<ReturnedBuffer> Returned() {
    std::lock_guard lock(mutex_);
    return returned_;
  }
  size_t DataCount() {
    std::lock_guard lock(mutex_);
    return returned_.size();
  }

 private:
  void On(UINT msg, DWORD_PTR param1) {
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(msg);
      if (msg == WIM_DATA)
        returned_.push_back({header, header->dwBytesRecorded, header->dwFlags});
      changed_.notify_all();
    }
    if (msg == WIM_DATA && onData)
      onData(header);
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<UINT> messages_;
  std::vector<ReturnedBuffer> returned_;
};

// The raw sample `index` of `data` in `format`, as an unsigned number of the
// sample's width.
inline uint32_t RawSample(const kestrune::WaveInFormat& format, const char* data, size_t index) {
  const uint32_t bytes = format.BytesPerSample();
  uint32_t value = 0;
  std::memcpy(&value, data + index * bytes, bytes);  // little-endian host
  return value;
}

inline uint32_t WidthMask(const kestrune::WaveInFormat& format) {
  const uint32_t bits = format.BytesPerSample() * 8;
  return bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
}

// True when `bytes` bytes of `data` hold the counting signal from frame
// `firstFrame` on.
inline ::testing::AssertionResult HoldsCountingSignal(const kestrune::WaveInFormat& format,
                                                      const char* data, size_t bytes,
                                                      uint64_t firstFrame) {
  const size_t samples = bytes / format.BytesPerSample();
  for (size_t i = 0; i < samples; ++i) {
    const uint32_t want =
        static_cast<uint32_t>(firstFrame * format.channels + i) & WidthMask(format);
    const uint32_t got = RawSample(format, data, i);
    if (got != want)
      return ::testing::AssertionFailure()
             << "sample " << i << " is " << got << ", expected " << want;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace wavein_test
