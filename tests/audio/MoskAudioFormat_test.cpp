// The audio format: its 40-byte header byte for byte, the setters' clamps and
// which assignments count as changes, locking and notification (also when
// the handler raises), the refused Assign, and stored descriptions of a
// component that publishes a format.
#include "audio/MoskAudioFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "audio/MoskAudioUnit.h"
#include "platform/classes/ClassesUnit.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"

namespace {

// A lock owner that records how changes run: how deep the lock is held, and
// at which depth each change notification arrived.
class RecordingLock : public TMoskFormatLockOwner {
 public:
  void RunInWriteSection(const std::function<void()>& change) override {
    ++entered;
    ++depth;
    struct Leave {
      int& depth;
      ~Leave() { --depth; }
    } leave{depth};
    change();
  }
  int entered = 0;
  int depth = 0;
};

// The change handler's owner: counts calls, checks the sender and the lock.
class Listener : public TObject {
 public:
  explicit Listener(RecordingLock* lock) : lock_(lock) {}
  void FormatChanged(TObject* sender) {
    senders.push_back(sender);
    depths.push_back(lock_ != nullptr ? lock_->depth : -1);
    if (raise)
      throw EConvertError("refused");
  }
  TNotifyEvent Handler() { return TNotifyEvent(this, &Listener::FormatChanged); }

  std::vector<TObject*> senders;
  std::vector<int> depths;
  bool raise = false;

 private:
  RecordingLock* lock_;
};

struct FormatDeleter {
  void operator()(TObject* o) const { FreeObject(o); }
};
template <class T>
using Owned = std::unique_ptr<T, FormatDeleter>;

// The header every format must hold for its properties (independent of the
// code under test's own recomputation).
void ExpectConsistentHeader(const TMoskAudioFormatBasic& f) {
  const WAVEFORMATEXTENSIBLE* h = f.GetWaveFormat();
  const uint32_t container = f.GetBits() <= 8    ? 8
                             : f.GetBits() <= 16 ? 16
                             : f.GetBits() <= 24 ? 24
                                                 : 32;
  EXPECT_EQ(h->Format.wFormatTag, 0xFFFE);
  EXPECT_EQ(h->Format.nChannels, f.GetChannels());
  EXPECT_EQ(h->Format.nSamplesPerSec, f.GetSampleRate());
  EXPECT_EQ(h->Format.wBitsPerSample, container);
  EXPECT_EQ(h->Format.nBlockAlign, container / 8 * f.GetChannels());
  EXPECT_EQ(h->Format.nAvgBytesPerSec, container / 8 * f.GetChannels() * f.GetSampleRate());
  EXPECT_EQ(h->Format.cbSize, 22);
  EXPECT_EQ(h->wValidBitsPerSample, f.GetBits());
  EXPECT_EQ(h->dwChannelMask, f.GetChannelMask());
  EXPECT_EQ(h->SubFormat, TGUID::Parse("{00000001-0000-0010-8000-00AA00389B71}"));
}

TEST(MoskAudioFormat, DefaultHeaderBytes) {
  Owned<TMoskAudioFormat> f(Create<TMoskAudioFormat>(nullptr, nullptr, TNotifyEvent()));
  const uint8_t expected[40] = {
      0xFE, 0xFF,              // extensible tag
      0x02, 0x00,              // 2 channels
      0x11, 0x2B, 0x00, 0x00,  // 11025 samples/s
      0x44, 0xAC, 0x00, 0x00,  // 44100 bytes/s
      0x04, 0x00,              // block align 4
      0x10, 0x00,              // container 16 bits
      0x16, 0x00,              // extra size 22
      0x10, 0x00,              // valid 16 bits
      0x03, 0x00, 0x00, 0x00,  // front left | front right
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71,  // PCM sub-format
  };
  EXPECT_EQ(std::memcmp(f->GetWaveFormat(), expected, sizeof expected), 0);
  EXPECT_EQ(f->GetBufferSize(), 1024u);
}

TEST(MoskAudioFormat, HeaderBytesAfterChanges) {
  Owned<TMoskAudioFormat> f(Create<TMoskAudioFormat>(nullptr, nullptr, TNotifyEvent()));
  f->SetChannels(6);
  f->SetBits(20);
  f->SetSampleRate(48000);
  f->SetChannelMask(0x3F);
  const uint8_t expected[24] = {
      0xFE, 0xFF, 0x06, 0x00,  // tag, 6 channels
      0x80, 0xBB, 0x00, 0x00,  // 48000
      0x00, 0x2F, 0x0D, 0x00,  // 18 x 48000 = 864000
      0x12, 0x00, 0x18, 0x00,  // block align 18, container 24
      0x16, 0x00, 0x14, 0x00,  // extra 22, valid 20
      0x3F, 0x00, 0x00, 0x00,  // mask
  };
  EXPECT_EQ(std::memcmp(f->GetWaveFormat(), expected, sizeof expected), 0);
}

// One assignment and what it must leave, and whether it counts as a change.
struct SetterCase {
  const char* name;
  std::function<void(TMoskAudioFormat&)> prepare;
  std::function<void(TMoskAudioFormat&)> assign;
  std::function<uint32_t(const TMoskAudioFormat&)> read;
  uint32_t expected;
  bool notifies;
};
void PrintTo(const SetterCase& c, std::ostream* os) {
  *os << c.name;
}

class MoskAudioFormatSetter : public testing::TestWithParam<SetterCase> {};

TEST_P(MoskAudioFormatSetter, ClampsStoresAndNotifies) {
  const SetterCase& c = GetParam();
  RecordingLock lock;
  Listener listener(&lock);
  Owned<TMoskAudioFormat> f(Create<TMoskAudioFormat>(nullptr, &lock, listener.Handler()));
  if (c.prepare)
    c.prepare(*f);
  listener.senders.clear();
  listener.depths.clear();
  lock.entered = 0;

  c.assign(*f);

  EXPECT_EQ(c.read(*f), c.expected);
  ExpectConsistentHeader(*f);
  EXPECT_EQ(lock.entered, 1) << "every assignment runs under the owner's lock";
  EXPECT_EQ(lock.depth, 0);
  if (c.notifies) {
    ASSERT_EQ(listener.senders.size(), 1u);
    EXPECT_EQ(listener.senders[0], f.get());
    EXPECT_EQ(listener.depths[0], 1) << "the handler runs inside the lock";
  } else {
    EXPECT_TRUE(listener.senders.empty());
  }
}

uint32_t Channels(const TMoskAudioFormat& f) {
  return f.GetChannels();
}
uint32_t Bits(const TMoskAudioFormat& f) {
  return f.GetBits();
}
uint32_t Container(const TMoskAudioFormat& f) {
  return f.GetContainerBits();
}
uint32_t BlockAlign(const TMoskAudioFormat& f) {
  return f.GetBlockAlign();
}
uint32_t Rate(const TMoskAudioFormat& f) {
  return f.GetSampleRate();
}
uint32_t Mask(const TMoskAudioFormat& f) {
  return f.GetChannelMask();
}
uint32_t Frames(const TMoskAudioFormat& f) {
  return f.GetBufferSize();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoskAudioFormatSetter,
    testing::Values(
        SetterCase{"ChannelsZeroStoresOne", nullptr, [](auto& f) { f.SetChannels(0); }, Channels, 1,
                   true},
        SetterCase{"ChannelsFortyStoresThirtyTwo", nullptr, [](auto& f) { f.SetChannels(40); },
                   Channels, 32, true},
        SetterCase{"ChannelsSameIsNoChange", nullptr, [](auto& f) { f.SetChannels(2); }, Channels,
                   2, false},
        SetterCase{"ChannelsClampingToCurrentIsNoChange", [](auto& f) { f.SetChannels(32); },
                   [](auto& f) { f.SetChannels(99); }, Channels, 32, false},
        SetterCase{"BitsFourStoresEight", nullptr, [](auto& f) { f.SetBits(4); }, Bits, 8, true},
        SetterCase{"BitsThirtyThreeStoresThirtyTwo", nullptr, [](auto& f) { f.SetBits(33); }, Bits,
                   32, true},
        SetterCase{"BitsTwelveUsesSixteenBitContainers", nullptr, [](auto& f) { f.SetBits(12); },
                   Container, 16, true},
        SetterCase{"BitsTwentyUsesTwentyFourBitContainers", nullptr, [](auto& f) { f.SetBits(20); },
                   BlockAlign, 6, true},
        SetterCase{"BitsTwentyFourSameContainerAsTwenty", [](auto& f) { f.SetBits(20); },
                   [](auto& f) { f.SetBits(24); }, BlockAlign, 6, true},
        SetterCase{"BitsSameIsNoChange", nullptr, [](auto& f) { f.SetBits(16); }, Bits, 16, false},
        SetterCase{"SampleRateSameStillNotifies", nullptr, [](auto& f) { f.SetSampleRate(11025); },
                   Rate, 11025, true},
        SetterCase{"SampleRateZeroAccepted", nullptr, [](auto& f) { f.SetSampleRate(0); }, Rate, 0,
                   true},
        SetterCase{"ChannelMaskSameStillNotifies", nullptr, [](auto& f) { f.SetChannelMask(3); },
                   Mask, 3, true},
        SetterCase{"ChannelMaskUnnamedBitsKept", nullptr,
                   [](auto& f) { f.SetChannelMask(0x80000001u); }, Mask, 0x80000001u, true},
        SetterCase{"BufferSizeZeroStoresOne", nullptr, [](auto& f) { f.SetBufferSize(0); }, Frames,
                   1, true},
        SetterCase{"BufferSizeSameIsNoChange", nullptr, [](auto& f) { f.SetBufferSize(1024); },
                   Frames, 1024, false}),
    [](const testing::TestParamInfo<SetterCase>& info) { return std::string(info.param.name); });

TEST(MoskAudioFormat, HandlerThatRaisesLeavesTheLockAndKeepsTheValue) {
  RecordingLock lock;
  Listener listener(&lock);
  Owned<TMoskAudioFormat> f(Create<TMoskAudioFormat>(nullptr, &lock, listener.Handler()));
  listener.raise = true;
  EXPECT_THROW(f->SetChannels(1), EConvertError);
  EXPECT_EQ(lock.depth, 0) << "the lock is left when the handler raises";
  EXPECT_EQ(f->GetChannels(), 1u);
  ExpectConsistentHeader(*f);
}

TEST(MoskAudioFormat, ConstructionCallsNoHandlerAndTakesNoLock) {
  RecordingLock lock;
  Listener listener(&lock);
  Owned<TMoskAudioFormat> f(Create<TMoskAudioFormat>(nullptr, &lock, listener.Handler()));
  EXPECT_TRUE(listener.senders.empty());
  EXPECT_EQ(lock.entered, 0);
  ExpectConsistentHeader(*f);
}

// A persistent object that is not a format.
class TNotAFormat : public TPersistent {
  KESTRUNE_CLASS(TNotAFormat, TPersistent)
  TNotAFormat() = default;
};

// A format has no Assign of its own: whatever the source, even another
// format, the class library's cannot-assign error comes, and the target
// keeps its values, takes no lock and calls no handler.
TEST(MoskAudioFormat, AssignRaisesAndChangesNothing) {
  Owned<TMoskAudioFormat> otherFormat(Create<TMoskAudioFormat>(nullptr, nullptr, TNotifyEvent()));
  otherFormat->SetChannels(1);
  otherFormat->SetBits(24);
  otherFormat->SetBufferSize(256);
  Owned<TMoskAudioFormatBasic> basicFormat(
      Create<TMoskAudioFormatBasic>(nullptr, nullptr, TNotifyEvent()));
  basicFormat->SetSampleRate(96000);
  Owned<TNotAFormat> notAFormat(Create<TNotAFormat>());
  const struct {
    const char* name;
    TPersistent* source;
  } rows[] = {
      {"another format", otherFormat.get()},
      {"a basic format", basicFormat.get()},
      {"an object of another class", notAFormat.get()},
      {"nil", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RecordingLock lock;
    Listener listener(&lock);
    Owned<TMoskAudioFormat> target(Create<TMoskAudioFormat>(nullptr, &lock, listener.Handler()));
    uint8_t before[40];
    std::memcpy(before, target->GetWaveFormat(), 40);
    EXPECT_THROW(target->Assign(row.source), EConvertError);
    EXPECT_EQ(std::memcmp(before, target->GetWaveFormat(), 40), 0);
    EXPECT_EQ(target->GetBufferSize(), 1024u);
    EXPECT_EQ(lock.entered, 0);
    EXPECT_TRUE(listener.senders.empty());
  }
}

// ---------------------------------------------------------------------------
// Stored descriptions

// A component that publishes a format the way the capture component does,
// and counts the format's change notifications.
class TFormatHolder : public TComponent {
  KESTRUNE_CLASS(TFormatHolder, TComponent)
  explicit TFormatHolder(TComponent* owner) : TComponent(owner) {
    format_ = Create<TMoskAudioFormat>(this, nullptr, TNotifyEvent(this, &TFormatHolder::Changed));
  }
  ~TFormatHolder() override { FreeObject(format_); }
  TMoskAudioFormat* GetAudioFormat() const { return format_; }
  int changes = 0;

 private:
  void Changed(TObject*) { ++changes; }
  TMoskAudioFormat* format_;
};

class MoskAudioFormatStreaming : public testing::Test {
 protected:
  void SetUp() override {
    ClassesUnit.Initialize();
    MoskAudioUnit.Initialize();
    RegisterClass<TFormatHolder>().Object("AudioFormat", &TFormatHolder::GetAudioFormat);
  }
  void TearDown() override {
    MoskAudioUnit.Finalize();
    ClassesUnit.Finalize();
  }
};

TEST_F(MoskAudioFormatStreaming, SubPropertiesRoundTrip) {
  const std::string text =
      "object Holder: TFormatHolder\n"
      "  AudioFormat.Channels = 1\n"
      "  AudioFormat.SampleRate = 44100\n"
      "  AudioFormat.ChannelMask = [spFrontCenter, spTopBackRight]\n"
      "  AudioFormat.BufferSize = 4096\n"
      "end\n";
  Owned<TFormatHolder> holder(Create<TFormatHolder>(nullptr));
  ReadComponentFromText(holder.get(), text);

  TMoskAudioFormat* f = holder->GetAudioFormat();
  EXPECT_EQ(f->GetChannels(), 1u);
  EXPECT_EQ(f->GetBits(), 16u);
  EXPECT_EQ(f->GetSampleRate(), 44100u);
  EXPECT_EQ(f->GetChannelMask(), SpeakerSet(spFrontCenter) | SpeakerSet(spTopBackRight));
  EXPECT_EQ(f->GetBufferSize(), 4096u);
  ExpectConsistentHeader(*f);
  EXPECT_EQ(holder->changes, 4) << "the owner hears of every property read";
  EXPECT_EQ(f->GetOwner(), holder.get());

  // Declared defaults (Bits) are not written; the rest comes back as read.
  EXPECT_EQ(WriteComponentToText(holder.get()), text);
}

TEST_F(MoskAudioFormatStreaming, DefaultFormatWritesNothing) {
  Owned<TFormatHolder> holder(Create<TFormatHolder>(nullptr));
  holder->SetName("Holder");
  EXPECT_EQ(WriteComponentToText(holder.get()), "object Holder: TFormatHolder\nend\n");
}

TEST_F(MoskAudioFormatStreaming, BadValuesAreRefusedNamingTheLine) {
  struct Row {
    const char* name;
    const char* line;
  };
  const Row rows[] = {
      {"negative channel count", "AudioFormat.Channels = -1"},
      {"unknown speaker", "AudioFormat.ChannelMask = [spNowhere]"},
      {"rate beyond 32 bits", "AudioFormat.SampleRate = 4294967296"},
      {"unknown sub-property", "AudioFormat.Volume = 3"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Owned<TFormatHolder> holder(Create<TFormatHolder>(nullptr));
    const std::string text = std::string("object Holder: TFormatHolder\n  ") + row.line + "\nend\n";
    try {
      ReadComponentFromText(holder.get(), text);
      ADD_FAILURE() << "read without error";
    } catch (const EDescriptionError& e) {
      EXPECT_EQ(e.Line(), 2);
    }
    EXPECT_EQ(holder->changes, 0);
    ExpectConsistentHeader(*holder->GetAudioFormat());
  }
}

}  // namespace
