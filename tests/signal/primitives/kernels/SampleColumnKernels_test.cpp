// The column kernels over lengths around their vector steps and columns at
// every byte offset, against a byte-by-byte reference.
#include "signal/primitives/kernels/SampleColumnKernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// The signed 16-bit little-endian value at p.
double Reference16(const std::uint8_t* p) {
  const auto u = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  return u >= 0x8000 ? static_cast<double>(u) - 65536.0 : static_cast<double>(u);
}

TEST(SampleColumnKernels, Int16ColumnToDoubleOverLengthsStepsAndOffsets) {
  for (std::int32_t step : {2, 4, 6, -4}) {
    for (std::uint32_t count : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 17u, 33u}) {
      for (std::int32_t offset = 0; offset < 4; ++offset) {
        SCOPED_TRACE(testing::Message()
                     << "step " << step << " count " << count << " offset " << offset);
        const std::size_t span = static_cast<std::size_t>(std::abs(step)) * (count + 1) + 8;
        // The column ends exactly at the block's end: a read past its last
        // sample would leave the block (and AddressSanitizer sees it).
        std::vector<std::uint8_t> block(span + static_cast<std::size_t>(offset));
        for (std::size_t b = 0; b < block.size(); ++b)
          block[b] = static_cast<std::uint8_t>(b * 37 + 11);
        const std::int64_t last = count == 0 ? 0 : std::int64_t{count - 1} * step;
        const std::int64_t start = step > 0 ? static_cast<std::int64_t>(block.size()) - 2 - last
                                            : static_cast<std::int64_t>(offset) - last;
        const std::uint8_t* src = block.data() + start;
        std::vector<double> out(count + 1, -1.0);
        ConvertInt16ColumnToDoubleKernel(src, step, out.data(), count);
        for (std::uint32_t i = 0; i < count; ++i)
          ASSERT_EQ(out[i], Reference16(src + std::int64_t{i} * step)) << i;
        EXPECT_EQ(out[count], -1.0) << "written past the count";
      }
    }
  }
}

}  // namespace
