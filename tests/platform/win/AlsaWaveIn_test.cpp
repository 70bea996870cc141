// Waveform-audio input on real ALSA: a file-backed default device reached
// through the wave mapper, and the device list of a machine without cards.
#include "platform/win/AlsaWaveIn.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/win/WaveIn.h"
#include "tests/platform/win/WaveInTestSupport.h"

namespace {

using kestrune::CaptureDeviceEntry;
using wavein_test::MakeBuffers;
using wavein_test::PcmFormat;
using wavein_test::Recorder;

constexpr UINT kHeaderSize = sizeof(WAVEHDR);

const std::filesystem::path kConfig = std::filesystem::path(KESTRUNE_TESTS_DIR) / "platform" /
                                      "win" / "data" / "wavein_file_capture.conf";

// Runs every test on the ALSA backend with the test configuration, whose
// default capture device reads the file `infile_`.
class AlsaWaveInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kConfig)) << kConfig;
    kestrune::SetWaveInBackend(nullptr);
    infile_ = std::filesystem::temp_directory_path() /
              ("kestrune_wavein_" + std::to_string(getpid()) + ".raw");
    setenv("ALSA_CONFIG_PATH", kConfig.c_str(), 1);
    setenv("KESTRUNE_TEST_INFILE", infile_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ALSA_CONFIG_PATH");
    unsetenv("KESTRUNE_TEST_INFILE");
    std::filesystem::remove(infile_);
  }

  std::vector<char> WriteInfile(size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<char> content(bytes);
    for (char& c : content)
      c = static_cast<char>(random());
    std::ofstream(infile_, std::ios::binary).write(content.data(), std::streamsize(bytes));
    return content;
  }

  std::filesystem::path infile_;
};

struct FileRow {
  const char* name;
  WORD channels;
  DWORD sampleRate;
  WORD bits;
};

void PrintTo(const FileRow& row, std::ostream* os) {
  *os << row.name;
}

const FileRow kFileRows[] = {
    {"Stereo16At11025", 2, 11025, 16},  // what the capture component asks for
    {"Mono8At8000", 1, 8000, 8},       {"Stereo24PackedAt48000", 2, 48000, 24},
    {"Mono32At44100", 1, 44100, 32},   {"ThirtyTwoChannels16", 32, 22050, 16},
};

class AlsaFileTest : public AlsaWaveInTest, public ::testing::WithParamInterface<FileRow> {};

TEST_P(AlsaFileTest, MapperDeliversTheFileExactly) {
  const FileRow& row = GetParam();
  const WAVEFORMATEX format = PcmFormat(row.channels, row.sampleRate, row.bits);
  constexpr size_t kBuffers = 5;
  const size_t bufferBytes = size_t{1024} * format.nBlockAlign;
  const std::vector<char> content = WriteInfile(kBuffers * bufferBytes, row.sampleRate + row.bits);

  Recorder recorder;
  HWAVEIN handle{};
  ASSERT_EQ(waveInOpen(&handle, WAVE_MAPPER, &format, &Recorder::Callback, recorder.Instance(),
                       CALLBACK_FUNCTION | WAVE_ALLOWSYNC),
            MMSYSERR_NOERROR);
  // The device is not paced: every buffer is queued before it starts.
  auto buffers = MakeBuffers(kBuffers, bufferBytes);
  for (auto& buffer : buffers) {
    ASSERT_EQ(waveInPrepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder.WaitForData(kBuffers));

  const auto returned = recorder.Returned();
  for (size_t i = 0; i < kBuffers; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(returned[i].header, &buffers[i]->header);
    EXPECT_EQ(returned[i].bytesRecorded, bufferBytes);
    EXPECT_TRUE(std::equal(buffers[i]->data.begin(), buffers[i]->data.end(),
                           content.begin() + std::ptrdiff_t(i * bufferBytes)))
        << "buffer " << i << " differs from the file";
  }
  kestrune::WaveInStatistics statistics;
  ASSERT_EQ(kestrune::GetWaveInStatistics(handle, statistics), MMSYSERR_NOERROR);
  EXPECT_EQ(statistics.overruns, 0u);
  EXPECT_FALSE(statistics.deviceLost);

  // Stopped and started again, the device delivers full buffers again.
  ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
  for (auto& buffer : buffers)
    ASSERT_EQ(waveInAddBuffer(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(recorder.WaitForData(2 * kBuffers));
  ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
  for (const auto& again : recorder.Returned())
    EXPECT_EQ(again.bytesRecorded, bufferBytes);

  for (auto& buffer : buffers)
    EXPECT_EQ(waveInUnprepareHeader(handle, &buffer->header, kHeaderSize), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
  EXPECT_EQ(recorder.Messages().back(), WIM_CLOSE);
}

INSTANTIATE_TEST_SUITE_P(Rows, AlsaFileTest, ::testing::ValuesIn(kFileRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AlsaWaveInTest, UnknownDeviceFailsCleanly) {
  kestrune::AlsaWaveInBackend backend;
  kestrune::WaveInFormat format;
  for (const char* pcm : {"kestrune_no_such_pcm", "hw:CARD=KestruneNoCard,DEV=0"}) {
    SCOPED_TRACE(pcm);
    CaptureDeviceEntry entry;
    entry.name = "Absent";
    entry.pcmName = pcm;
    entry.directPcmName = pcm;
    std::unique_ptr<kestrune::WaveInStream> stream;
    EXPECT_EQ(backend.Open(&entry, format, /*mayConvert=*/true, stream), MMSYSERR_NODRIVER);
    EXPECT_EQ(stream, nullptr);
  }
}

bool MachineHasASoundCard() {
  int card = -1;
  return snd_card_next(&card) == 0 && card >= 0;
}

TEST_F(AlsaWaveInTest, WithoutCardsTheListHoldsNoCardEntriesAndNothingFails) {
  if (MachineHasASoundCard())
    GTEST_SKIP() << "this machine has a sound card";

  // The test configuration defines no server device and no card devices.
  EXPECT_TRUE(kestrune::ListAlsaCaptureDevices().empty());
  EXPECT_EQ(waveInGetNumDevs(), 0u);

  // The system's own configuration: a sound server may answer (one entry),
  // one that does not run is passed over at once.
  unsetenv("ALSA_CONFIG_PATH");
  const std::vector<CaptureDeviceEntry> entries = kestrune::ListAlsaCaptureDevices();
  EXPECT_LE(entries.size(), 1u);
  for (const CaptureDeviceEntry& entry : entries) {
    EXPECT_TRUE(entry.soundServer) << entry.name;
    EXPECT_EQ(entry.cardIndex, -1) << entry.name;
  }

  const UINT count = waveInGetNumDevs();
  EXPECT_EQ(count, entries.size());
  WAVEINCAPSA caps{};
  for (UINT i = 0; i < count; ++i) {
    ASSERT_EQ(waveInGetDevCapsA(i, &caps, sizeof(caps)), MMSYSERR_NOERROR);
    EXPECT_STRNE(caps.szPname, "");
  }
  EXPECT_EQ(waveInGetDevCapsA(count, &caps, sizeof(caps)), MMSYSERR_BADDEVICEID);
  const WAVEFORMATEX format = PcmFormat(2, 11025, 16);
  HWAVEIN handle{};
  EXPECT_EQ(waveInOpen(&handle, count, &format, nullptr, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(handle, HWAVEIN{});
}

}  // namespace
