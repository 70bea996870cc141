// The capture component on real ALSA: with a test configuration whose
// default capture device reads a raw file, the component opened through the
// wave mapper (by "Default", or by a name no device has) pushes the file's
// samples exactly, block after block.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "audio/MoskAudioIn.h"
#include "tests/audio/MoskAudioInTestSupport.h"

namespace {

using namespace audiointest;

const std::filesystem::path kConfig = std::filesystem::path(KESTRUNE_TESTS_DIR) / "platform" /
                                      "win" / "data" / "wavein_file_capture.conf";

class MoskAudioInAlsa : public AudioInTest {
 public:
  void SetUp() override {
    AudioInTest::SetUp();
    ASSERT_TRUE(std::filesystem::exists(kConfig)) << kConfig;
    kestrune::SetWaveInBackend(nullptr);  // ALSA
    infile_ = std::filesystem::temp_directory_path() /
              ("kestrune_audioin_" + std::to_string(getpid()) + ".raw");
    setenv("ALSA_CONFIG_PATH", kConfig.c_str(), 1);
    setenv("KESTRUNE_TEST_INFILE", infile_.c_str(), 1);
  }
  void TearDown() override {
    AudioInTest::TearDown();
    unsetenv("ALSA_CONFIG_PATH");
    unsetenv("KESTRUNE_TEST_INFILE");
    std::filesystem::remove(infile_);
  }

  std::vector<uint8_t> WriteInfile(std::size_t bytes, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> content(bytes);
    for (uint8_t& c : content) {
      c = static_cast<uint8_t>(random());
    }
    std::ofstream(infile_, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), std::streamsize(bytes));
    return content;
  }

  std::filesystem::path infile_;
};

TEST_F(MoskAudioInAlsa, TheWaveMapperDeliversTheFileExactly) {
  constexpr uint32_t kFrames = 256;
  constexpr std::size_t kBlockBytes = kFrames * 4;  // stereo, 16 bits
  // Fewer blocks than the component queues before it starts the device, so
  // the whole file lands in blocks queued in advance.
  constexpr std::size_t kBlocks = 12;
  const struct {
    const char* name;
    const char* deviceName;
  } rows[] = {{"Default", "Default"}, {"a name no device has", "No such capture device"}};
  uint32_t seed = 1;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<uint8_t> content = WriteInfile(kBlocks * kBlockBytes, seed++);
    TMoskAudioIn* in = Make(kFrames);
    in->GetDevice()->SetDeviceName(row.deviceName);
    in->Loaded();
    ASSERT_NE(in->OpenDevice(), HWAVEIN{}) << "the test device did not open";
    ASSERT_TRUE(sink_.WaitForBuffers(kBlocks));
    in->SetEnabled(false);
    EXPECT_EQ(in->QueuedBlockCount(), 0u);

    const std::vector<IPtr<IMoskAudioBuffer>> buffers = sink_.Buffers();
    for (std::size_t k = 0; k < kBlocks; ++k) {
      IMoskAudioBuffer* b = buffers[k].get();
      ASSERT_EQ(b->GetCount(), static_cast<int32_t>(kFrames));
      EXPECT_EQ(0, std::memcmp(b->GetData(), content.data() + k * kBlockBytes, kBlockBytes))
          << "block " << k << " differs from the file";
    }
    FreeAndNil(form_);
    FreeAndNil(sink_pin_);
    FreeAndNil(sink_owner_);
    sink_.Clear();
  }
}

}  // namespace
