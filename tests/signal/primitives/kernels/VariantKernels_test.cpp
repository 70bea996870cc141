// The named row kernels of the 16-bit block add, subtract and multiply, the
// 16-bit division, fill and copy routines of every set, each called on small
// rows with values worked out by hand from the element formulas: the scalar
// path on the given samples and, repeated over 40 samples at an address off
// the vector boundary, the head, vector and tail paths.
#include "signal/primitives/kernels/VariantKernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/PortableKernels.h"

namespace {

using Row = std::vector<std::int16_t>;

// The samples of `values` repeated to `n`.
Row Repeat(const Row& values, std::size_t n) {
  Row out(n);
  for (std::size_t i = 0; i < n; ++i)
    out[i] = values[i % values.size()];
  return out;
}

struct SetKernels {
  const char* name;
  PrimitiveVariant letter;
  Int16RowKernels add, sub, mul;
};

const SetKernels kSets[] = {
    {"C",
     PrimitiveVariant::C,
     {&AddInt16SatRowC, &AddInt16HalfRowC, &AddInt16ShiftDownRowC, &AddInt16ShiftUpRowC,
      &AddInt16SignRowC},
     {&SubInt16SatRowC, &SubInt16HalfRowC, &SubInt16ShiftDownRowC, &SubInt16ShiftUpRowC,
      &SubInt16SignRowC},
     {&MulInt16SatRowC, &MulInt16HalfRowC, &MulInt16ShiftDownRowC, &MulInt16ShiftUpRowC,
      &MulInt16SignRowC}},
    {"B",
     PrimitiveVariant::B,
     {&AddInt16SatRowB, &AddInt16HalfRowB, &AddInt16ShiftDownRowB, &AddInt16ShiftUpRowB,
      &AddInt16SignRowB},
     {&SubInt16SatRowB, &SubInt16HalfRowB, &SubInt16ShiftDownRowB, &SubInt16ShiftUpRowB,
      &SubInt16SignRowB},
     {&MulInt16SatRowB, &MulInt16HalfRowB, &MulInt16ShiftDownRowB, &MulInt16ShiftUpRowB,
      &MulInt16SignRowB}},
    {"A",
     PrimitiveVariant::A,
     {&AddInt16SatRowA, &AddInt16HalfRowA, &AddInt16ShiftDownRowA, &AddInt16ShiftUpRowA,
      &AddInt16SignRowA},
     {&SubInt16SatRowA, &SubInt16HalfRowA, &SubInt16ShiftDownRowA, &SubInt16ShiftUpRowA,
      &SubInt16SignRowA},
     {&MulInt16SatRowA, &MulInt16HalfRowA, &MulInt16ShiftDownRowA, &MulInt16ShiftUpRowA,
      &MulInt16SignRowA}},
};

struct ArithmeticCase {
  const char* name;
  Int16Op op;
  Int16Kind kind;
  std::int32_t k;
  Row srcDst, src, expected;
};

// srcDst op src; x the exact result.
const ArithmeticCase kArithmetic[] = {
    {"add saturates",
     Int16Op::Add,
     Int16Kind::Sat,
     0,
     {32767, -32768, 5},
     {1, -1, 6},
     {32767, -32768, 11}},
    {"add halves to even",
     Int16Op::Add,
     Int16Kind::Half,
     0,
     {1, 0, 0, -1, -32768},
     {2, 1, -1, -2, -32768},
     {2, 0, 0, -2, -32768}},
    {"add shifts down by 16",
     Int16Op::Add,
     Int16Kind::ShiftDown,
     16,
     {-32768, 32767, 16384},
     {-32768, 32767, 16384},
     {-1, 1, 0}},
    {"add shifts up by 15",
     Int16Op::Add,
     Int16Kind::ShiftUp,
     15,
     {1, -1, 0},
     {0, 0, 0},
     {32767, -32768, 0}},
    {"add shifts up by 1", Int16Op::Add, Int16Kind::ShiftUp, 1, {3, -3}, {4, -4}, {14, -14}},
    {"add takes the sign",
     Int16Op::Add,
     Int16Kind::Sign,
     0,
     {5, 1, -1},
     {-5, 2, -2},
     {0, 32767, -32768}},
    {"subtract saturates",
     Int16Op::Sub,
     Int16Kind::Sat,
     0,
     {32767, -32768, 10},
     {-1, 1, 3},
     {32767, -32768, 7}},
    {"subtract halves to even and clamps",
     Int16Op::Sub,
     Int16Kind::Half,
     0,
     {32767, 3, 0},
     {-32768, 0, 1},
     {32767, 2, 0}},
    {"subtract shifts down by 2",
     Int16Op::Sub,
     Int16Kind::ShiftDown,
     2,
     {6, 10, -6},
     {0, 0, 0},
     {2, 2, -2}},
    {"subtract shifts up by 15",
     Int16Op::Sub,
     Int16Kind::ShiftUp,
     15,
     {1, 0},
     {0, 1},
     {32767, -32768}},
    {"subtract takes the sign",
     Int16Op::Sub,
     Int16Kind::Sign,
     0,
     {7, 3, 5},
     {7, 5, 3},
     {0, -32768, 32767}},
    {"multiply saturates",
     Int16Op::Mul,
     Int16Kind::Sat,
     0,
     {200, -200, -32768},
     {200, 200, -32768},
     {32767, -32768, 32767}},
    {"multiply halves to even",
     Int16Op::Mul,
     Int16Kind::Half,
     0,
     {3, 1, -1, -3, -32768},
     {1, 1, 1, 1, -32768},
     {2, 0, 0, -2, 32767}},
    {"multiply shifts down by 2",
     Int16Op::Mul,
     Int16Kind::ShiftDown,
     2,
     {6, 10, -6},
     {1, 1, 1},
     {2, 2, -2}},
    {"multiply shifts down by 30",
     Int16Op::Mul,
     Int16Kind::ShiftDown,
     30,
     {-32768, 16384},
     {-32768, -32768},
     {1, 0}},
    {"multiply shifts up by 14",
     Int16Op::Mul,
     Int16Kind::ShiftUp,
     14,
     {1, 2, -2},
     {1, 1, 1},
     {16384, 32767, -32768}},
    {"multiply takes the sign",
     Int16Op::Mul,
     Int16Kind::Sign,
     0,
     {0, -3, 3},
     {-5, -4, -4},
     {0, 32767, -32768}},
};

void RunKernel(const Int16RowKernels& kernels, Int16Kind kind, std::int32_t k,
               const std::int16_t* src, std::int16_t* srcDst, std::int32_t len) {
  switch (kind) {
    case Int16Kind::Sat:
      return kernels.Sat(src, srcDst, len);
    case Int16Kind::Half:
      return kernels.Half(src, srcDst, len);
    case Int16Kind::ShiftDown:
      return kernels.ShiftDown(src, srcDst, len, k);
    case Int16Kind::ShiftUp:
      return kernels.ShiftUp(src, srcDst, len, k);
    case Int16Kind::Sign:
      return kernels.Sign(src, srcDst, len);
  }
}

TEST(VariantKernelsTest, EachNamedArithmeticRowKernelGivesItsCasesResults) {
  for (const SetKernels& set : kSets) {
    if (!CpuSupportsVariant(set.letter))
      continue;
    for (const ArithmeticCase& c : kArithmetic) {
      SCOPED_TRACE(std::string("set ") + set.name + ", " + c.name);
      const Int16RowKernels& kernels =
          c.op == Int16Op::Add ? set.add : (c.op == Int16Op::Sub ? set.sub : set.mul);
      Row row = c.srcDst;
      RunKernel(kernels, c.kind, c.k, c.src.data(), row.data(),
                static_cast<std::int32_t>(row.size()));
      EXPECT_EQ(row, c.expected);
      // 40 samples one sample past a 16-byte boundary, the source two past.
      alignas(16) std::int16_t dst[48] = {};
      alignas(16) std::int16_t src[48] = {};
      const Row longDst = Repeat(c.srcDst, 40), longSrc = Repeat(c.src, 40);
      std::memcpy(dst + 1, longDst.data(), 80);
      std::memcpy(src + 2, longSrc.data(), 80);
      dst[41] = 1234;
      RunKernel(kernels, c.kind, c.k, src + 2, dst + 1, 40);
      EXPECT_EQ(Row(dst + 1, dst + 41), Repeat(c.expected, 40));
      EXPECT_EQ(dst[0], 0);
      EXPECT_EQ(dst[41], 1234);
    }
  }
}

// Divisor, dividend, sf, quotient: n * 2^-sf / d rounded half to even and
// saturated; a zero divisor gives the dividend's end of the range.
struct DivisionCase {
  std::int16_t d, n;
  std::int32_t sf;
  std::int16_t q;
};
const DivisionCase kDivisions[] = {
    {2, 7, 0, 4},
    {2, 5, 0, 2},
    {2, -5, 0, -2},
    {2, -7, 0, -4},
    {2, 1, 0, 0},
    {2, 3, 0, 2},
    {-1, -32768, 0, 32767},
    {1, -32768, 0, -32768},
    {-1, 32767, 0, -32767},
    {1, 7, 1, 4},
    {1, 5, 1, 2},
    {1, 20000, -1, 32767},
    {1, -20000, -1, -32768},
    {2, 3, -1, 3},
    {3, 1000, -8, 32767},
    {7, 22, -6, 201},
};

TEST(VariantKernelsTest, TheNamedDivisionRoutinesRoundHalfToEvenAndSaturate) {
  using RowKernel =
      int (*)(const std::int16_t*, const std::int16_t*, std::int16_t*, std::int32_t, std::int32_t);
  using RowRoutine = PrimitiveStatus (*)(const std::int16_t*, const std::int16_t*, std::int16_t*,
                                         std::int32_t, std::int32_t);
  using Block =
      PrimitiveStatus (*)(const std::int16_t*, std::int32_t, const std::int16_t*, std::int32_t,
                          std::int16_t*, std::int32_t, std::int32_t, std::int32_t, std::int32_t);
  const struct {
    const char* name;
    PrimitiveVariant letter;
    RowKernel kernel;  // none in the portable set and set A
    RowRoutine row;
    Block rows, checked;
  } sets[] = {
      {"portable", PrimitiveVariant::Portable, nullptr, &DivInt16ScaledRow, &RoiDivInt16ScaledRows,
       &RoiDivInt16Scaled},
      {"C", PrimitiveVariant::C, &DivInt16RowKernelC, &DivInt16ScaledRowC, &RoiDivInt16ScaledRowsC,
       &RoiDivInt16ScaledC},
      {"B", PrimitiveVariant::B, &DivInt16RowKernelB, &DivInt16ScaledRowB, &RoiDivInt16ScaledRowsB,
       &RoiDivInt16ScaledB},
      {"A", PrimitiveVariant::A, nullptr, &DivInt16ScaledRowA, &RoiDivInt16ScaledRowsA,
       &RoiDivInt16ScaledA},
  };
  for (const auto& set : sets) {
    if (!CpuSupportsVariant(set.letter))
      continue;
    SCOPED_TRACE(std::string("set ") + set.name);
    for (const DivisionCase& c : kDivisions) {
      SCOPED_TRACE(testing::Message() << c.n << " / " << c.d << ", sf " << c.sf);
      // 24 samples one past a 16-byte boundary: scalar head, a block of 8,
      // scalar tail; the same quotient everywhere.
      alignas(16) std::int16_t d[25], n[25], q[25];
      for (int i = 0; i < 25; ++i) {
        d[i] = c.d;
        n[i] = c.n;
        q[i] = 0;
      }
      if (set.kernel != nullptr) {
        EXPECT_EQ(set.kernel(d + 1, n + 1, q + 1, 24, c.sf), 0);
        EXPECT_EQ(Row(q + 1, q + 25), Row(24, c.q));
      }
      std::int16_t out = 0;
      EXPECT_EQ(set.row(d, n, &out, 1, c.sf), StatusOk);
      EXPECT_EQ(out, c.q);
      // A 2 x 3 block with its row loop and its checked form.
      for (Block block : {set.rows, set.checked}) {
        std::int16_t blockOut[8] = {};
        EXPECT_EQ(block(d, 8, n, 8, blockOut, 8, 3, 2, c.sf), StatusOk);
        EXPECT_EQ(Row(blockOut, blockOut + 8), (Row{c.q, c.q, c.q, 0, c.q, c.q, c.q, 0}));
      }
    }
    // Zero divisors: the dividend's end of the range, 0 for 0, and status 6;
    // the other samples are still divided.
    const std::int16_t d[4] = {0, 0, 0, 2};
    const std::int16_t n[4] = {5, -5, 0, 7};
    std::int16_t q[4] = {};
    if (set.kernel != nullptr) {
      EXPECT_EQ(set.kernel(d, n, q, 4, 0), 1);
      EXPECT_EQ(Row(q, q + 4), (Row{32767, -32768, 0, 4}));
    }
    std::fill(q, q + 4, 0);
    EXPECT_EQ(set.row(d, n, q, 4, 0), StatusZeroDivisor);
    EXPECT_EQ(Row(q, q + 4), (Row{32767, -32768, 0, 4}));
    EXPECT_EQ(set.checked(d, 8, n, 8, q, 8, 4, 1, 16), StatusZeroDivisor);
    EXPECT_EQ(Row(q, q + 4), (Row{32767, -32768, 0, 0}));
    // The checked form refuses a missing block before anything.
    EXPECT_EQ(set.checked(nullptr, 8, n, 8, q, 8, 4, 1, 0), StatusNullPointer);
  }
}

TEST(VariantKernelsTest, TheNamedFillKernelsWriteExactlyTheirSamples) {
  using Fill = std::int16_t* (*)(std::int16_t, std::int16_t*, std::int64_t);
  using RowFill = void (*)(std::int16_t, std::int16_t*, std::int64_t);
  const struct {
    const char* name;
    PrimitiveVariant letter;
    Fill fill;
  } fills[] = {
      {"FillInt16Kernel", PrimitiveVariant::Portable, &FillInt16Kernel},
      {"FillInt16KernelC", PrimitiveVariant::C, &FillInt16KernelC},
      {"FillInt16KernelB", PrimitiveVariant::B, &FillInt16KernelB},
      {"FillInt16KernelA", PrimitiveVariant::A, &FillInt16KernelA},
      {"FillInt16StreamKernelA", PrimitiveVariant::A, &FillInt16StreamKernelA},
      {"FillInt16StreamRowA", PrimitiveVariant::A, nullptr},
  };
  const RowFill streamRowA = &FillInt16StreamRowA;
  for (const auto& f : fills) {
    if (!CpuSupportsVariant(f.letter))
      continue;
    for (std::int64_t len : {1, 15, 16, 17, 33, 100}) {
      SCOPED_TRACE(testing::Message() << f.name << ", " << len << " samples");
      // One sample past an 8-byte boundary, so 2 modulo 4.
      alignas(16) std::int16_t buffer[104];
      std::fill(buffer, buffer + 104, std::int16_t{-1});
      std::int16_t* dst = buffer + 1;
      if (f.fill != nullptr)
        EXPECT_EQ(f.fill(0x1234, dst, len), dst);
      else
        streamRowA(0x1234, dst, len);
      EXPECT_EQ(Row(dst, dst + len), Row(static_cast<std::size_t>(len), 0x1234));
      EXPECT_EQ(buffer[0], -1);
      EXPECT_EQ(dst[len], -1);
    }
  }
}

TEST(VariantKernelsTest, TheNamedPatternRowsAndTheSetCBlockFillCoverEverySample) {
  using PatternRow = void (*)(const std::uint8_t*, void*, std::int64_t, bool);
  std::uint8_t pattern[32];
  for (int k = 0; k < 32; k += 2) {
    pattern[k] = 0x34;
    pattern[k + 1] = 0x12;
  }
  for (PatternRow row : {&FillPatternRowC, &FillPatternRowB}) {
    for (bool stream : {false, true}) {
      for (std::int64_t bytes : {2, 14, 70, 130}) {
        SCOPED_TRACE(testing::Message() << bytes << " bytes, streaming " << stream);
        alignas(16) std::uint8_t buffer[160];
        std::memset(buffer, 0xEE, sizeof buffer);
        row(pattern, buffer + 2, bytes, stream);
        for (std::int64_t i = 0; i < bytes; ++i)
          ASSERT_EQ(buffer[2 + i], i % 2 == 0 ? 0x34 : 0x12) << "byte " << i;
        EXPECT_EQ(buffer[1], 0xEE);
        EXPECT_EQ(buffer[2 + bytes], 0xEE);
      }
    }
  }
  // Two rows of 40 samples, 96 bytes apart, each from an odd address.
  alignas(16) std::uint8_t block[200];
  std::memset(block, 0xEE, sizeof block);
  auto* first = reinterpret_cast<std::int16_t*>(block + 1);
  EXPECT_EQ(RoiFillInt16C(0x1234, first, 96, 40, 2), StatusOk);
  for (int r = 0; r < 2; ++r) {
    for (int i = 0; i < 80; ++i)
      ASSERT_EQ(block[1 + 96 * r + i], i % 2 == 0 ? 0x34 : 0x12) << "row " << r << ", byte " << i;
    EXPECT_EQ(block[1 + 96 * r + 80], 0xEE);
  }
  EXPECT_EQ(block[0], 0xEE);
  EXPECT_EQ(RoiFillInt16C(1, nullptr, 96, 40, 2), StatusNullPointer);
  EXPECT_EQ(RoiFillInt16C(1, first, 0, 40, 2), StatusBadStep);
}

TEST(VariantKernelsTest, TheNamedRowCopiesCopyExactlyTheirBytes) {
  const auto copyA = [](const void* src, void* dst, std::int64_t n, bool) {
    CopyRowKernelA(src, dst, n);
  };
  const struct {
    const char* name;
    PrimitiveVariant letter;
    void (*copy)(const void*, void*, std::int64_t, bool);
  } copies[] = {
      {"CopyRowKernelC", PrimitiveVariant::C, &CopyRowKernelC},
      {"CopyRowKernelB", PrimitiveVariant::B, &CopyRowKernelB},
      {"CopyRowKernelA", PrimitiveVariant::A, copyA},
  };
  std::uint8_t source[300];
  for (int i = 0; i < 300; ++i)
    source[i] = static_cast<std::uint8_t>(i * 7 + 3);
  for (const auto& c : copies) {
    if (!CpuSupportsVariant(c.letter))
      continue;
    for (bool stream : {false, true}) {
      for (std::int64_t bytes : {1, 7, 63, 64, 200}) {
        SCOPED_TRACE(testing::Message()
                     << c.name << ", " << bytes << " bytes, streaming " << stream);
        alignas(16) std::uint8_t dst[260];
        std::memset(dst, 0xEE, sizeof dst);
        c.copy(source + 5, dst + 3, bytes, stream);
        EXPECT_EQ(std::memcmp(dst + 3, source + 5, static_cast<std::size_t>(bytes)), 0);
        EXPECT_EQ(dst[2], 0xEE);
        EXPECT_EQ(dst[3 + bytes], 0xEE);
      }
    }
  }
}

}  // namespace
