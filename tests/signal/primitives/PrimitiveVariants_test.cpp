// The processor-specific variants against the portable ones: one row per
// primitive and letter. Each row binds its letter with BindVariantForTesting
// (skipped where the processor lacks it), checks that the call reaches the
// letter's function, and compares results and statuses bit for bit with the
// portable variant over every layout (lengths, byte offsets) and value pool,
// except for the stated differences, which are checked as stated. Around
// every call the floating-point control state must come back unchanged, also
// with denormals-are-zero set beforehand; guard bytes around every
// destination must stay untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "signal/primitives/MoskBasicDispatcher.h"
#include "signal/primitives/MoskBasicVariants.h"
#include "signal/primitives/SseRounding.h"
#include "signal/primitives/TrelBasicDispatcher.h"
#include "signal/primitives/TrelScopeDispatcher.h"
#include "signal/primitives/kernels/VariantKernels.h"
#include "tests/signal/primitives/PrimitiveReference.h"
#include "tests/signal/primitives/VariantHarness.h"

namespace {

using namespace variants_test;
using V = PrimitiveVariant;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr float kFloatMax = std::numeric_limits<float>::max();

const char* LetterName(V letter) {
  switch (letter) {
    case V::A:
      return "A";
    case V::B:
      return "B";
    case V::C:
      return "C";
    case V::Portable:
      break;
  }
  return "portable";
}

// Binds `letter` and checks that calls now reach that letter's own function.
template <typename P>
void BindChecked(P& pointer, V letter) {
  ASSERT_NE(pointer.Variant(letter), nullptr);
  ASSERT_NE(pointer.Variant(letter), pointer.Variant(V::Portable));
  pointer.BindVariantForTesting(letter);
  ASSERT_EQ(pointer.Target(), pointer.Variant(letter));
}

// One vector primitive as the harness sees it: a source of S (none when
// kInPlace: the destination is read and written), a destination of D and a
// parameter set per call.
template <typename S, typename D, typename Param, bool kInPlace>
struct Shape {
  using Invoke =
      std::function<PrimitiveStatus(const S* src, D* dst, std::int32_t len, const Param&)>;
  // The expected element from the source element, the portable result and
  // the parameters; empty where the letter gives the portable results.
  using Expect = std::function<D(S x, D portable, const Param&)>;

  Invoke variant;
  Invoke portable;
  Expect expect;
  std::vector<S> pool;
  // Initial destination elements (zeros when empty), for two-operand
  // primitives that read their destination.
  std::vector<D> dstPool;
  std::vector<Param> params;
  std::vector<std::int32_t> extraLengths;
  // Where both operands may be NaNs, which of them the result carries is an
  // accident of operand order: a NaN result then only has to be a NaN.
  bool anyNaN = false;
  // Where given, a result one away from the portable one is accepted when
  // nearTie(source element, initial destination element, param) names the
  // case (a stated difference).
  std::function<bool(S, D, const Param&)> nearTie;
};

template <typename T>
bool BothNaN(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::isnan(a) && std::isnan(b);
  } else if constexpr (std::is_same_v<T, std::complex<double>>) {
    return (std::isnan(a.real()) && std::isnan(b.real())) ||
           (std::isnan(a.imag()) && std::isnan(b.imag()));
  } else {
    return false;
  }
}

template <typename T>
bool SameBitsOrNaN(const T& a, const T& b) {
  if constexpr (std::is_same_v<T, std::complex<double>>) {
    return SameBitsOrNaN(a.real(), b.real()) && SameBitsOrNaN(a.imag(), b.imag());
  } else {
    return Bits(a) == Bits(b) || BothNaN(a, b);
  }
}

template <typename S, typename D, typename Param, bool kInPlace>
void RunShape(V letter, const Shape<S, D, Param, kInPlace>& shape) {
  std::size_t start = 0;
  for (const Layout& layout : Layouts(shape.extraLengths)) {
    const std::int32_t len = layout.len;
    Guarded<S> src(len, layout.srcOffset);
    for (std::int32_t i = 0; i < len; ++i) {
      src.Set(i, shape.pool[(start + i * 7) % shape.pool.size()]);
    }
    start += 3;
    for (const Param& param : shape.params) {
      Guarded<D> expected(len, layout.dstOffset);
      Guarded<D> actual(len, layout.dstOffset);
      Guarded<D> initial(len, layout.dstOffset);
      for (std::int32_t i = 0; i < len; ++i) {
        if constexpr (kInPlace) {
          expected.Set(i, src.Get(i));
          actual.Set(i, src.Get(i));
        } else {
          const D first =
              shape.dstPool.empty() ? D{} : shape.dstPool[(start + i * 11) % shape.dstPool.size()];
          expected.Set(i, first);
          actual.Set(i, first);
          initial.Set(i, first);
        }
      }
      const S* srcPointer = kInPlace ? nullptr : src.data();
      const PrimitiveStatus want = shape.portable(srcPointer, expected.data(), len, param);
      PrimitiveStatus got = 0;
      CallCheckingFpState(letter, false,
                          [&] { got = shape.variant(srcPointer, actual.data(), len, param); });
      ASSERT_EQ(got, want) << "len " << len;
      ASSERT_TRUE(actual.GuardsIntact()) << "len " << len << " offset " << layout.dstOffset;
      for (std::int32_t i = 0; i < len; ++i) {
        const D e =
            shape.expect ? shape.expect(src.Get(i), expected.Get(i), param) : expected.Get(i);
        if (shape.anyNaN && SameBitsOrNaN(actual.Get(i), e)) {
          continue;
        }
        if constexpr (std::is_integral_v<D> && !kInPlace) {
          if (shape.nearTie && std::abs(std::int64_t{actual.Get(i)} - std::int64_t{e}) == 1 &&
              shape.nearTie(src.Get(i), initial.Get(i), param)) {
            continue;
          }
        }
        ASSERT_EQ(Bits(actual.Get(i)), Bits(e)) << "len " << len << " element " << i << " offsets "
                                                << layout.srcOffset << "/" << layout.dstOffset;
      }
      if (len <= 80 && layout.dstOffset == 0) {
        // The control state also comes back with denormals-are-zero set.
        CallCheckingFpState(letter, true,
                            [&] { (void)shape.variant(srcPointer, actual.data(), len, param); });
      }
    }
  }
  // Argument errors: the portable statuses, nothing written.
  Guarded<D> dst(4, 0);
  Guarded<S> src(4, 0);
  for (const std::int32_t len : {0, -3, 4}) {
    if constexpr (!kInPlace) {
      EXPECT_EQ(shape.variant(nullptr, dst.data(), len, shape.params[0]),
                shape.portable(nullptr, dst.data(), len, shape.params[0]));
    }
    EXPECT_EQ(shape.variant(src.data(), nullptr, len, shape.params[0]),
              shape.portable(src.data(), nullptr, len, shape.params[0]));
    EXPECT_EQ(shape.variant(src.data(), dst.data(), len < 1 ? len : 0, shape.params[0]),
              StatusBadLength);
  }
  EXPECT_TRUE(dst.GuardsIntact());
}

struct Row {
  std::string name;
  V letter;
  std::function<void(V)> run;
};

// ---- Integer offsets and clamp (in place) ------------------------------------------

struct OffsetParam {
  std::int32_t value;
  std::int32_t sf;
};

std::vector<OffsetParam> OffsetParams() {
  std::vector<OffsetParam> params;
  for (const std::int32_t sf :
       {0, 1, 2, 3, 16, 31, 32, 33, 100, -1, -2, -15, -30, -31, -32, -1000, kMax, kMin}) {
    for (const std::int32_t value : {0, 1, -1, 7, kMax, kMin, 123456789}) {
      params.push_back({value, sf});
    }
  }
  return params;
}

std::vector<std::int32_t> Int32Pool() {
  std::vector<std::int32_t> pool = primitives_test::SampleValues<std::int32_t>(60, 77);
  for (const std::int32_t v : {-3, -5, 6, 12, 1 << 30, -(1 << 30), (1 << 30) + 1, 0x40000000 - 1}) {
    pool.push_back(v);
  }
  return pool;
}

template <typename P>
void RunOffset(P& pointer, V letter,
               decltype(VectorAddConstantInt32InPlaceScaledPortable)* portable) {
  BindChecked(pointer, letter);
  Shape<std::int32_t, std::int32_t, OffsetParam, true> shape;
  shape.variant = [&pointer](const std::int32_t*, std::int32_t* dst, std::int32_t len,
                             const OffsetParam& p) { return pointer(p.value, dst, len, p.sf); };
  shape.portable = [portable](const std::int32_t*, std::int32_t* dst, std::int32_t len,
                              const OffsetParam& p) { return portable(p.value, dst, len, p.sf); };
  shape.pool = Int32Pool();
  shape.params = OffsetParams();
  shape.extraLengths = {255, 5119, 5120, 5121};
  RunShape(letter, shape);
  pointer.ResetToStubForTesting();
}

void RunClamp(V letter) {
  BindChecked(VectorClampAboveInt32InPlace, letter);
  Shape<std::int32_t, std::int32_t, std::int32_t, true> shape;
  shape.variant = [](const std::int32_t*, std::int32_t* dst, std::int32_t len, std::int32_t level) {
    return VectorClampAboveInt32InPlace(dst, len, level);
  };
  shape.portable = [](const std::int32_t*, std::int32_t* dst, std::int32_t len,
                      std::int32_t level) {
    return VectorClampAboveInt32InPlacePortable(dst, len, level);
  };
  shape.pool = Int32Pool();
  shape.params = {0, 1, -1, kMax, kMin, 1000};
  shape.extraLengths = {1025};
  RunShape(letter, shape);
  VectorClampAboveInt32InPlace.ResetToStubForTesting();
}

// ---- Conversions -------------------------------------------------------------------

struct ConvertParam {
  std::int32_t rndMode;
  std::int32_t sf;
};

// Variants B and C read rndMode 0 as toward zero and any other value as to
// nearest; the portable variant and A read 1 as to nearest.
std::int32_t PortableMode(V letter, std::int32_t rndMode) {
  if (letter == V::A) {
    return rndMode;
  }
  return rndMode != 0 ? 1 : 0;
}

std::vector<ConvertParam> ConvertParams(std::vector<std::int32_t> sfs) {
  std::vector<ConvertParam> params;
  for (const std::int32_t sf : sfs) {
    for (const std::int32_t mode : {0, 1, 2, -1}) {
      params.push_back({mode, sf});
    }
  }
  return params;
}

void RunFloatToInt32(V letter) {
  BindChecked(VectorConvertFloatToInt32Scaled, letter);
  Shape<float, std::int32_t, ConvertParam, false> shape;
  shape.variant = [](const float* src, std::int32_t* dst, std::int32_t len, const ConvertParam& p) {
    return VectorConvertFloatToInt32Scaled(src, dst, len, p.rndMode, p.sf);
  };
  shape.portable = [letter](const float* src, std::int32_t* dst, std::int32_t len,
                            const ConvertParam& p) {
    return VectorConvertFloatToInt32ScaledPortable(src, dst, len, PortableMode(letter, p.rndMode),
                                                   p.sf);
  };
  // Every letter: a NaN with the sign bit clear gives INT32_MAX, with it set
  // INT32_MIN (the portable variant: INT32_MIN for both).
  shape.expect = [](float x, std::int32_t portable, const ConvertParam&) {
    return std::isnan(x) ? (std::signbit(x) ? kMin : kMax) : portable;
  };
  shape.pool = FloatPool(5);
  // The single-precision factor is exact for -127 <= sf <= 149.
  shape.params = ConvertParams({0, 1, 2, -2, 31, -31, 100, -100, 127, -127, 149});
  shape.extraLengths = {1031};
  RunShape(letter, shape);
  VectorConvertFloatToInt32Scaled.ResetToStubForTesting();
}

void RunDoubleToInt32(V letter) {
  BindChecked(VectorConvertDoubleToInt32Scaled, letter);
  Shape<double, std::int32_t, ConvertParam, false> shape;
  shape.variant = [](const double* src, std::int32_t* dst, std::int32_t len,
                     const ConvertParam& p) {
    return VectorConvertDoubleToInt32Scaled(src, dst, len, p.rndMode, p.sf);
  };
  shape.portable = [letter](const double* src, std::int32_t* dst, std::int32_t len,
                            const ConvertParam& p) {
    return VectorConvertDoubleToInt32ScaledPortable(src, dst, len, PortableMode(letter, p.rndMode),
                                                    p.sf);
  };
  // B and C limit by a minimum with 2147483647.0, which turns every NaN into
  // INT32_MAX; A gives the portable INT32_MIN.
  if (letter != V::A) {
    shape.expect = [](double x, std::int32_t portable, const ConvertParam&) {
      return std::isnan(x) ? kMax : portable;
    };
  }
  shape.pool = DoublePool(9);
  std::vector<std::int32_t> sfs = {0, 1, 2, -2, 31, -31, 100, -100, 127, -127, 149};
  if (letter == V::A) {
    // A forms its factor exactly in the extended format: any sf.
    sfs.insert(sfs.end(), {1100, -1100, 20000, -20000, kMax, kMin});
  }
  shape.params = ConvertParams(sfs);
  shape.extraLengths = {1031};
  RunShape(letter, shape);
  VectorConvertDoubleToInt32Scaled.ResetToStubForTesting();
}

void RunDoubleToFloat(V letter) {
  BindChecked(VectorConvertDoubleToFloat, letter);
  Shape<double, float, int, false> shape;
  shape.variant = [](const double* src, float* dst, std::int32_t len, int) {
    return VectorConvertDoubleToFloat(src, dst, len);
  };
  shape.portable = [](const double* src, float* dst, std::int32_t len, int) {
    return VectorConvertDoubleToFloatPortable(src, dst, len);
  };
  // C narrows a NaN to the largest float, the portable variant to its
  // negative.
  if (letter == V::C) {
    shape.expect = [](double x, float portable, int) {
      return std::isnan(x) ? kFloatMax : portable;
    };
  }
  shape.pool = DoublePool(11);
  shape.params = {0};
  shape.extraLengths = {1031};
  RunShape(letter, shape);
  VectorConvertDoubleToFloat.ResetToStubForTesting();
}

// ---- Multiply by a constant ----------------------------------------------------------

void RunMulConstant(V letter) {
  BindChecked(VectorMulConstantDouble, letter);
  Shape<double, double, double, false> shape;
  shape.variant = [](const double* src, double* dst, std::int32_t len, double value) {
    return VectorMulConstantDouble(src, value, dst, len);
  };
  shape.portable = [](const double* src, double* dst, std::int32_t len, double value) {
    return VectorMulConstantDoublePortable(src, value, dst, len);
  };
  shape.pool = DoublePool(13);
  shape.params = {1.0, 0.0, -0.0, 2.0, -1.5, 1e300, std::numeric_limits<double>::quiet_NaN()};
  // A NaN times a NaN is one of the two, and which one follows the order the
  // compiler gives the factors (it may swap them: a product commutes); only
  // that the product is a NaN is fixed.
  shape.anyNaN = true;
  // Around the copy's switches (1024 elements, 20480 bytes) and beyond the
  // large-copy bounds of B (128 KiB) and C (512 KiB).
  shape.extraLengths = {1023, 1024, 1025, 2559, 2560, 2561, 16385, 65537};
  RunShape(letter, shape);

  // In place (src = dst), as the scope calls it.
  Guarded<double> a(100, 8), b(100, 8);
  const std::vector<double> pool = DoublePool(17);
  for (int i = 0; i < 100; ++i) {
    a.Set(i, pool[i % pool.size()]);
    b.Set(i, pool[i % pool.size()]);
  }
  for (const double value : {1.0, 0.0, 3.0}) {
    ASSERT_EQ(VectorMulConstantDouble(a.data(), value, a.data(), 100),
              VectorMulConstantDoublePortable(b.data(), value, b.data(), 100));
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(Bits(a.Get(i)), Bits(b.Get(i))) << value << " " << i;
    }
  }
  VectorMulConstantDouble.ResetToStubForTesting();
}

// ---- 16-bit fill ---------------------------------------------------------------------

void RunSetInt16(V letter) {
  BindChecked(VectorSetInt16, letter);
  Shape<std::int16_t, std::int16_t, std::int16_t, false> shape;
  shape.variant = [](const std::int16_t*, std::int16_t* dst, std::int32_t len, std::int16_t v) {
    return VectorSetInt16(v, dst, len);
  };
  shape.portable = [](const std::int16_t*, std::int16_t* dst, std::int32_t len, std::int16_t v) {
    return VectorSetInt16Portable(v, dst, len);
  };
  shape.pool = {0};
  shape.params = {0, -1, 0x1234, static_cast<std::int16_t>(0x80FF)};
  // A's switch to streaming (10240) and B's and C's (above 131072).
  shape.extraLengths = {10239, 10240, 10241, 131072, 131073, 140001};
  RunShape(letter, shape);
  VectorSetInt16.ResetToStubForTesting();
}

// ---- 16-bit blocks ------------------------------------------------------------------

using BlockFunction = PrimitiveStatus(const std::int16_t*, std::int32_t, std::int16_t*,
                                      std::int32_t, std::int32_t, std::int32_t, std::int32_t);

struct BlockLayout {
  std::int32_t width;
  std::int32_t height;
  std::int32_t padBytes;  // between rows: 0 packs the block (the fast path)
};

std::vector<BlockLayout> BlockLayouts() {
  std::vector<BlockLayout> layouts;
  for (std::int32_t width = 1; width <= 40; ++width) {
    layouts.push_back({width, 1, 0});
  }
  for (const std::int32_t width : {6, 7, 10, 11, 14, 15, 18, 19, 22, 23, 33, 47, 80, 257}) {
    for (const std::int32_t pad : {0, 6, 3}) {
      layouts.push_back({width, 3, pad});
    }
  }
  return layouts;
}

// Variant A's division may differ by one from the portable result where the
// exact quotient lies within 1/256 of a half-integer (its single-precision
// q + 32768 lands on the half-integer).
bool NearHalfInteger(std::int16_t n, std::int16_t d, std::int32_t sf) {
  using primitives_test::Int128;
  if (d == 0 || sf < -40 || sf > 40) {
    return false;
  }
  const Int128 num = sf >= 0 ? Int128{n} : Int128{n} << -sf;
  const Int128 den = sf >= 0 ? Int128{d} << sf : Int128{d};
  const Int128 twiceFloor = 2 * primitives_test::FloorDiv(num, den) + 1;  // the half-integer, x2
  Int128 gap = 2 * num - twiceFloor * den;  // 2 * den * (q - half-integer)
  gap = gap < 0 ? -gap : gap;
  const Int128 absDen = den < 0 ? -den : den;
  return 256 * gap <= 2 * absDen;
}

// Both blocks in byte areas with guards; every byte of the destination
// area (padding between rows included) must match the portable result
// (`nearTie`, where given, accepts a difference of one it names).
void RunBlockPrimitive(V letter, const PrimitivePointer<BlockFunction>& pointer,
                       BlockFunction* portable, std::vector<std::int32_t> sfs,
                       bool (*nearTie)(std::int16_t n, std::int16_t d, std::int32_t sf) = nullptr) {
  std::vector<std::int16_t> pool = primitives_test::SampleValues<std::int16_t>(40, 31);
  pool.insert(pool.end(), {0, 0, 16384, 32767, -16384, 4, 6, -6, 10});
  std::size_t start = 0;
  for (const BlockLayout& layout : BlockLayouts()) {
    const std::int32_t step = layout.width * 2 + layout.padBytes;
    const std::int64_t bytes = std::int64_t{step} * layout.height;
    for (const int offset : {0, 1, 2, 6, 8, 14}) {
      Guarded<std::uint8_t> src(bytes, (offset + 5) % 16);
      Guarded<std::uint8_t> initial(bytes, offset);
      for (std::int64_t i = 0; i + 1 < bytes; i += 2) {
        const std::int16_t a = pool[(start + i * 3) % pool.size()];
        const std::int16_t b = pool[(start + i * 5 + 1) % pool.size()];
        std::memcpy(src.data() + i, &a, 2);
        std::memcpy(initial.data() + i, &b, 2);
      }
      ++start;
      for (const std::int32_t sf : sfs) {
        for (const bool same : {false, true}) {
          Guarded<std::uint8_t> expected = initial;
          Guarded<std::uint8_t> actual = initial;
          auto* e = reinterpret_cast<std::int16_t*>(expected.data());
          auto* a = reinterpret_cast<std::int16_t*>(actual.data());
          const auto* s = reinterpret_cast<const std::int16_t*>(src.data());
          const PrimitiveStatus want =
              portable(same ? e : s, step, e, step, layout.width, layout.height, sf);
          PrimitiveStatus got = 0;
          CallCheckingFpState(letter, false, [&] {
            got = pointer(same ? a : s, step, a, step, layout.width, layout.height, sf);
          });
          ASSERT_EQ(got, want) << "sf " << sf;
          ASSERT_TRUE(actual.GuardsIntact());
          for (std::int64_t i = 0; i < bytes; ++i) {
            if (nearTie != nullptr && i + 1 < bytes && (i % step) % 2 == 0 &&
                (i % step) < layout.width * 2) {
              // One sample: compare as numbers, accepting the named case.
              std::int16_t got16, want16, n, d;
              std::memcpy(&got16, actual.data() + i, 2);
              std::memcpy(&want16, expected.data() + i, 2);
              std::memcpy(&n, initial.data() + i, 2);
              std::memcpy(&d, same ? initial.data() + i : src.data() + i, 2);
              const bool named = std::abs(got16 - want16) == 1 && nearTie(n, d, sf);
              ASSERT_TRUE(got16 == want16 || named)
                  << n << " / " << d << " sf " << sf << ": " << got16 << " vs " << want16;
              ++i;
              continue;
            }
            ASSERT_EQ(actual.Get(i), expected.Get(i))
                << "sf " << sf << " width " << layout.width << " pad " << layout.padBytes
                << " offset " << offset << " byte " << i << (same ? " same block" : "");
          }
          if (offset == 0 && !same) {
            CallCheckingFpState(letter, true, [&] {
              (void)pointer(s, step, a, step, layout.width, layout.height, sf);
            });
          }
        }
      }
    }
  }
  // Argument errors, and the zero-fill case's step check.
  std::int16_t block[8] = {};
  for (const std::int32_t sf : {0, 100}) {
    EXPECT_EQ(pointer(nullptr, 2, block, 2, 0, 1, sf), portable(nullptr, 2, block, 2, 0, 1, sf));
    EXPECT_EQ(pointer(block, 2, nullptr, 2, 1, 1, sf), portable(block, 2, nullptr, 2, 1, 1, sf));
    EXPECT_EQ(pointer(block, 2, block, 2, 1, 0, sf), portable(block, 2, block, 2, 1, 0, sf));
    EXPECT_EQ(pointer(block, 2, block, 0, 2, 1, sf), portable(block, 2, block, 0, 2, 1, sf));
  }
}

void RunRoiAdd(V letter) {
  BindChecked(RoiAddInt16InPlaceScaled, letter);
  RunBlockPrimitive(letter, RoiAddInt16InPlaceScaled, &RoiAddInt16InPlaceScaledPortable,
                    {0, 1, 2, 3, 15, 16, 17, -1, -2, -14, -15, -16, -17, 1000, -1000});
  RoiAddInt16InPlaceScaled.ResetToStubForTesting();
}

void RunRoiSub(V letter) {
  BindChecked(RoiSubInt16InPlaceScaled, letter);
  RunBlockPrimitive(letter, RoiSubInt16InPlaceScaled, &RoiSubInt16InPlaceScaledPortable,
                    {0, 1, 2, 3, 15, 16, 17, -1, -2, -14, -15, -16, -17, 1000, -1000});
  RoiSubInt16InPlaceScaled.ResetToStubForTesting();
}

void RunRoiMul(V letter) {
  BindChecked(RoiMulInt16InPlaceScaled, letter);
  RunBlockPrimitive(letter, RoiMulInt16InPlaceScaled, &RoiMulInt16InPlaceScaledPortable,
                    {0, 1, 2, 15, 16, 29, 30, 31, -1, -2, -13, -14, -15, -16, 1000, -1000});
  RoiMulInt16InPlaceScaled.ResetToStubForTesting();
}

void RunRoiDiv(V letter) {
  BindChecked(RoiDivInt16InPlaceScaled, letter);
  std::vector<std::int32_t> sfs = {0, 1, 2, 8, 15, 16, 17, 100, -1, -5, -6, -15, -30, -31, -32};
  if (letter == V::A) {
    sfs.insert(sfs.end(), {-127, -128, -200, 149, 150});
  }
  RunBlockPrimitive(letter, RoiDivInt16InPlaceScaled, &RoiDivInt16InPlaceScaledPortable, sfs,
                    letter == V::A ? &NearHalfInteger : nullptr);
  RoiDivInt16InPlaceScaled.ResetToStubForTesting();
}

// ---- Copies, fills, zero fills, chirp and conversion of the basic unit -----------

// Lengths around the switches of the copies (8192 and 16384 bytes, the
// page walk from 20480), of the fills and zero fills (20480 bytes, 256 KiB)
// and beyond the large-copy bounds of B (128 KiB) and C (512 KiB).
std::vector<std::int32_t> MovementLengths(std::int32_t elementSize) {
  std::vector<std::int32_t> lengths;
  for (const std::int64_t bytes : {8192, 16384, 20480, 131072, 262144, 524288 + 64}) {
    for (const std::int64_t delta : {-1, 0, 1}) {
      lengths.push_back(static_cast<std::int32_t>(bytes / elementSize + delta));
    }
  }
  return lengths;
}

template <typename T, typename P>
void RunCopy(P& pointer, V letter, typename P::Function* portable, std::vector<T> pool) {
  BindChecked(pointer, letter);
  Shape<T, T, int, false> shape;
  shape.variant = [&pointer](const T* src, T* dst, std::int32_t len, int) {
    return pointer(src, dst, len);
  };
  shape.portable = [portable](const T* src, T* dst, std::int32_t len, int) {
    return portable(src, dst, len);
  };
  shape.pool = std::move(pool);
  shape.params = {0};
  shape.extraLengths = MovementLengths(sizeof(T));
  RunShape(letter, shape);
  pointer.ResetToStubForTesting();
}

// A destination below an overlapping source, shifted by whole elements and
// (for bytes) by any distance: the result of the portable copy.
template <typename T, typename Call>
void CheckOverlappingShifts(Call copy, const char* name) {
  for (const std::int32_t len : {1, 7, 80, 1023, 3000, 70000}) {
    for (const std::int32_t shift : {1, 2, 3, 5, 16, 100}) {
      for (const int offset : {0, 3, 8}) {
        std::vector<unsigned char> raw((len + shift) * sizeof(T) + 16);
        for (std::size_t i = 0; i < raw.size(); ++i) {
          raw[i] = static_cast<unsigned char>(i * 37 + (i >> 9));
        }
        std::vector<unsigned char> expected = raw;
        T* base = reinterpret_cast<T*>(raw.data() + offset);
        T* want = reinterpret_cast<T*>(expected.data() + offset);
        ASSERT_EQ(copy(base + shift, base, len), StatusOk);
        std::memmove(want, want + shift, len * sizeof(T));
        ASSERT_EQ(raw, expected) << name << " len " << len << " shift " << shift;
      }
    }
  }
}

void RunCopyDouble(V letter) {
  RunCopy<double>(VectorCopyDouble, letter, &VectorCopyDoublePortable, DoublePool(21));
  BindChecked(VectorCopyDouble, letter);
  CheckOverlappingShifts<double>(
      [](const double* s, double* d, std::int32_t n) { return VectorCopyDouble(s, d, n); },
      "VectorCopyDouble");
  // The overlapping entry selects again on every call: under the letter's
  // code it reaches the same variant.
  const std::int32_t code = letter == V::A ? 5 : (letter == V::B ? 7 : 16);
  SetCpuTypeCodeForTesting(code);
  CheckOverlappingShifts<double>(
      [](const double* s, double* d, std::int32_t n) {
        return VectorCopyDoubleOverlapping(s, d, n);
      },
      "VectorCopyDoubleOverlapping");
  EXPECT_EQ(VectorCopyDouble.Select(), VectorCopyDouble.Variant(letter));
  SetCpuTypeCodeForTesting(0);
  VectorCopyDouble.ResetToStubForTesting();
}

void RunCopyUInt8(V letter) {
  std::vector<std::uint8_t> pool;
  for (int i = 0; i < 256; ++i) {
    pool.push_back(static_cast<std::uint8_t>(i * 91));
  }
  RunCopy<std::uint8_t>(VectorCopyUInt8, letter, &VectorCopyUInt8Portable, pool);
  BindChecked(VectorCopyUInt8, letter);
  CheckOverlappingShifts<std::uint8_t>([](const std::uint8_t* s, std::uint8_t* d,
                                          std::int32_t n) { return VectorCopyUInt8(s, d, n); },
                                       "VectorCopyUInt8");
  VectorCopyUInt8.ResetToStubForTesting();
}

template <typename T, typename P, typename Invoke, typename PortableInvoke>
void RunFill(P& pointer, V letter, Invoke invoke, PortableInvoke portable, std::vector<T> values) {
  BindChecked(pointer, letter);
  Shape<T, T, T, false> shape;
  shape.variant = [invoke](const T*, T* dst, std::int32_t len, const T& v) {
    return invoke(v, dst, len);
  };
  shape.portable = [portable](const T*, T* dst, std::int32_t len, const T& v) {
    return portable(v, dst, len);
  };
  shape.pool = {T{}};
  shape.params = std::move(values);
  shape.extraLengths = MovementLengths(sizeof(T));
  RunShape(letter, shape);
  pointer.ResetToStubForTesting();
}

template <typename T, typename P>
void RunZero(P& pointer, V letter, PrimitiveStatus (*portable)(T*, std::int32_t)) {
  RunFill<T>(
      pointer, letter, [&pointer](const T&, T* dst, std::int32_t len) { return pointer(dst, len); },
      [portable](const T&, T* dst, std::int32_t len) { return portable(dst, len); }, {T{}});
}

using Complex = std::complex<double>;

void RunSetsAndZeros(V letter) {
  RunFill<std::int32_t>(
      VectorSetInt32, letter,
      [](std::int32_t v, std::int32_t* d, std::int32_t n) { return VectorSetInt32(v, d, n); },
      &VectorSetInt32Portable, {0x12345678, -1, kMin});
  RunFill<double>(VectorSetDouble, letter,
                  [](double v, double* d, std::int32_t n) { return VectorSetDouble(v, d, n); },
                  &VectorSetDoublePortable,
                  {1.0 / 3.0, -0.0, std::numeric_limits<double>::quiet_NaN()});
  RunFill<Complex>(
      VectorSetComplex, letter,
      [](const Complex& v, Complex* d, std::int32_t n) {
        return VectorSetComplex(v.real(), v.imag(), d, n);
      },
      [](const Complex& v, Complex* d, std::int32_t n) {
        return VectorSetComplexPortable(v.real(), v.imag(), d, n);
      },
      {Complex(1.5, -2.25), Complex(-0.0, 1e300)});
  RunFill<std::uint8_t>(
      VectorSetUInt8, letter,
      [](std::uint8_t v, std::uint8_t* d, std::int32_t n) { return VectorSetUInt8(v, d, n); },
      &VectorSetUInt8Portable, {0x00, 0xA7, 0xFF});
  RunZero<std::int16_t>(VectorZeroInt16, letter, &VectorZeroInt16Portable);
  RunZero<std::int32_t>(VectorZeroInt32, letter, &VectorZeroInt32Portable);
  RunZero<double>(VectorZeroDouble, letter, &VectorZeroDoublePortable);
  RunZero<Complex>(VectorZeroComplex, letter, &VectorZeroComplexPortable);
  RunZero<std::uint8_t>(VectorZeroUInt8, letter, &VectorZeroUInt8Portable);
}

void RunChirpAndConversion(V letter) {
  BindChecked(VectorChirpDouble, letter);
  for (const std::int32_t len : {0, 1, 5, 80, 1000}) {
    for (const double magnitude : {0.0, 1.0, 2.5, -1.0}) {
      Guarded<double> a(len, 8), b(len, 8);
      PrimitiveStatus got = 0;
      CallCheckingFpState(letter, false,
                          [&] { got = VectorChirpDouble(a.data(), len, magnitude); });
      ASSERT_EQ(got, VectorChirpDoublePortable(b.data(), len, magnitude));
      for (std::int32_t i = 0; i < len; ++i) {
        ASSERT_EQ(Bits(a.Get(i)), Bits(b.Get(i))) << len << " " << i;
      }
      ASSERT_TRUE(a.GuardsIntact());
    }
  }
  EXPECT_EQ(VectorChirpDouble(nullptr, 4, 1.0), VectorChirpDoublePortable(nullptr, 4, 1.0));
  VectorChirpDouble.ResetToStubForTesting();

  BindChecked(VectorConvertInt32ToDouble, letter);
  Shape<std::int32_t, double, int, false> shape;
  shape.variant = [](const std::int32_t* src, double* dst, std::int32_t len, int) {
    return VectorConvertInt32ToDouble(src, dst, len);
  };
  shape.portable = [](const std::int32_t* src, double* dst, std::int32_t len, int) {
    return VectorConvertInt32ToDoublePortable(src, dst, len);
  };
  shape.pool = Int32Pool();
  shape.params = {0};
  shape.extraLengths = {1031};
  RunShape(letter, shape);
  VectorConvertInt32ToDouble.ResetToStubForTesting();
}

// ---- In-place arithmetic ------------------------------------------------------------

template <typename T, typename P>
void RunInPlacePair(P& pointer, V letter, typename P::Function* portable, std::vector<T> pool,
                    std::vector<std::int32_t> extra = {1031}) {
  BindChecked(pointer, letter);
  Shape<T, T, int, false> shape;
  shape.variant = [&pointer](const T* src, T* dst, std::int32_t len, int) {
    return pointer(src, dst, len);
  };
  shape.portable = [portable](const T* src, T* dst, std::int32_t len, int) {
    return portable(src, dst, len);
  };
  shape.dstPool = pool;
  shape.pool = std::move(pool);
  shape.anyNaN = true;
  shape.params = {0};
  shape.extraLengths = std::move(extra);
  RunShape(letter, shape);
  pointer.ResetToStubForTesting();
}

// The shape of a scaled two-operand primitive (src, srcDst, len, sf).
template <typename T, typename P>
Shape<T, T, std::int32_t, false> ScaledShape(P& pointer, typename P::Function* portable) {
  Shape<T, T, std::int32_t, false> shape;
  shape.variant = [&pointer](const T* src, T* dst, std::int32_t len, std::int32_t sf) {
    return pointer(src, dst, len, sf);
  };
  shape.portable = [portable](const T* src, T* dst, std::int32_t len, std::int32_t sf) {
    return portable(src, dst, len, sf);
  };
  return shape;
}

// B's and C's int32 division rounds the quotient to double first: for
// negative sf a quotient within its last bits of a half-integer may round
// one away from the exact rounding.
bool DoubleRoundedTie(std::int32_t b, std::int32_t a, std::int32_t sf) {
  using primitives_test::Int128;
  if (b == 0 || sf >= 0 || sf < -62) {
    return false;
  }
  const Int128 num = Int128{a} * (Int128{1} << -sf);
  const Int128 twiceFloor = 2 * primitives_test::FloorDiv(num, b) + 1;
  Int128 gap = 2 * num - twiceFloor * b;  // 2 * b * (q - half-integer)
  gap = gap < 0 ? -gap : gap;
  const Int128 magnitude = num < 0 ? -num : num;
  return gap <= (magnitude >> 50);
}

// B's and C's int32 multiply rounds the product to double before scaling:
// where sf >= 23 and |a * b| > 2^53 the result may be one away from the
// exact rounding.
bool ProductRoundedFirst(std::int32_t b, std::int32_t a, std::int32_t sf) {
  const std::int64_t p = std::int64_t{a} * b;
  const std::int64_t limit = std::int64_t{1} << 53;
  return sf >= 23 && (p > limit || p < -limit);
}

template <typename P>
void RunInt32Scaled(P& pointer, V letter, typename P::Function* portable,
                    bool (*nearTie)(std::int32_t, std::int32_t, std::int32_t) = nullptr) {
  BindChecked(pointer, letter);
  auto shape = ScaledShape<std::int32_t>(pointer, portable);
  if (nearTie != nullptr) {
    shape.nearTie = nearTie;
  }
  shape.pool = Int32Pool();
  shape.dstPool = Int32Pool();
  shape.params = {0, 1, 2, 22, 23, 31, 32, 33, 62, 63, 100, -1, -30, -31, -32, -63, kMax, kMin};
  shape.extraLengths = {5119, 5120, 5121};
  RunShape(letter, shape);
  pointer.ResetToStubForTesting();
}

void RunMulInt32(V letter) {
  RunInt32Scaled(VectorMulInt32InPlaceScaled, letter, &VectorMulInt32InPlaceScaledPortable,
                 letter == V::A ? nullptr : &ProductRoundedFirst);
  if (letter == V::A) {
    return;
  }
  // The named case: p = m 2^22 + 1 between 2^53 and 2^54, m = 1 modulo 4,
  // sf = 23: the exact m/2 + 2^-23 rounds to (m + 1) / 2, B and C round p to
  // m 2^22 first and the tie m/2 to the even (m - 1) / 2.
  BindChecked(VectorMulInt32InPlaceScaled, letter);
  const std::int32_t a = 134217729;
  const std::int32_t b = 71303169;
  const std::int64_t m = (std::int64_t{a} * b - 1) >> 22;
  std::int32_t got = b;
  std::int32_t want = b;
  ASSERT_EQ(VectorMulInt32InPlaceScaled(&a, &got, 1, 23), StatusOk);
  ASSERT_EQ(VectorMulInt32InPlaceScaledPortable(&a, &want, 1, 23), StatusOk);
  EXPECT_EQ(want, (m + 1) / 2);
  EXPECT_EQ(got, (m - 1) / 2);
  VectorMulInt32InPlaceScaled.ResetToStubForTesting();
}

// ---- Divisions and complex products of B and C, checked by their stated rules ----------

// Units in the last place between two doubles of the same sign.
std::int64_t UlpDistance(double x, double y) {
  if (x == y) {
    return 0;
  }
  if (std::signbit(x) != std::signbit(y)) {
    return std::numeric_limits<std::int64_t>::max();
  }
  std::int64_t bx, by;
  std::memcpy(&bx, &x, 8);
  std::memcpy(&by, &y, 8);
  return bx > by ? bx - by : by - bx;
}

// One two-operand call of the variant against the portable one over every
// layout, with the element check and the status rule of a stated
// difference: check(i, dstOffset, len, src, initial, portable, actual) and
// status(src, initial, len) give what the variant must produce.
template <typename T, typename P, typename Check, typename Status>
void RunByRule(P& pointer, V letter, typename P::Function* portable, const std::vector<T>& pool,
               std::vector<std::int32_t> extra, Check check, Status status) {
  BindChecked(pointer, letter);
  std::size_t start = 0;
  for (const Layout& layout : Layouts(std::move(extra))) {
    const std::int32_t len = layout.len;
    Guarded<T> src(len, layout.srcOffset);
    Guarded<T> initial(len, layout.dstOffset);
    for (std::int32_t i = 0; i < len; ++i) {
      src.Set(i, pool[(start + i * 7) % pool.size()]);
      initial.Set(i, pool[(start + i * 11 + 5) % pool.size()]);
    }
    start += 3;
    Guarded<T> expected = initial;
    Guarded<T> actual = initial;
    (void)portable(src.data(), expected.data(), len);
    PrimitiveStatus got = 0;
    CallCheckingFpState(letter, false, [&] { got = pointer(src.data(), actual.data(), len); });
    if (len > 0) {
      ASSERT_EQ(got, status(src, initial, len)) << "len " << len;
    }
    ASSERT_TRUE(actual.GuardsIntact()) << "len " << len << " offset " << layout.dstOffset;
    for (std::int32_t i = 0; i < len; ++i) {
      ASSERT_TRUE(check(i, layout.dstOffset, len, src.Get(i), initial.Get(i), expected.Get(i),
                        actual.Get(i)))
          << "len " << len << " element " << i << " offsets " << layout.srcOffset << "/"
          << layout.dstOffset << std::hexfloat << ": " << src.Get(i) << ", " << initial.Get(i)
          << " gives " << actual.Get(i) << ", portable " << expected.Get(i);
    }
    if (len <= 80 && layout.dstOffset == 0) {
      CallCheckingFpState(letter, true, [&] { (void)pointer(src.data(), actual.data(), len); });
    }
  }
  Guarded<T> dst(4, 0);
  Guarded<T> src(4, 0);
  for (const std::int32_t len : {0, -3, 4}) {
    EXPECT_EQ(pointer(nullptr, dst.data(), len), portable(nullptr, dst.data(), len));
    EXPECT_EQ(pointer(src.data(), nullptr, len), portable(src.data(), nullptr, len));
    EXPECT_EQ(pointer(src.data(), dst.data(), len < 1 ? len : 0), StatusBadLength);
  }
  EXPECT_TRUE(dst.GuardsIntact());
  pointer.ResetToStubForTesting();
}

// Ordinary doubles (finite, non-zero, far from the ends of the range), so
// that most blocks of the double division take the shared-division path.
std::vector<double> OrdinaryDoubles(std::uint32_t seed) {
  std::vector<double> v = {1.0, -1.0, 3.0, 0.1, 7.0, 1e10, -1e-10, 2.5, 1e100, 1e-100};
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::uniform_int_distribution<int> exponent(-60, 60);
  for (int i = 0; i < 200; ++i) {
    const double x = std::ldexp(mantissa(rng), exponent(rng));
    v.push_back(i % 3 == 0 ? -x : x);
  }
  return v;
}

void RunDivDoubleBC(V letter) {
  // Zero divisors give NaN with the warning whatever the dividend, NaN
  // divisors NaN without it; the quotients of a block of eight (after a
  // one-element head when the destination is 8 modulo 16) have their two
  // lowest bits clear and lie a few units from the correctly rounded one:
  // six roundings on the way (up to 6 units at the top of a binade) and the
  // rounding to a multiple of four (2), so 8; every other quotient is the
  // portable one.
  const auto check = [](std::int32_t i, int dstOffset, std::int32_t len, double b, double,
                        double portable, double actual) {
    if (b == 0.0 || std::isnan(b)) {
      return std::isnan(actual);
    }
    if (SameBitsOrNaN(actual, portable)) {
      return true;
    }
    const std::int32_t head = dstOffset == 8 && len > 0 ? 1 : 0;
    const std::int32_t blockEnd = head + (len - head) / 8 * 8;
    std::uint64_t bits;
    std::memcpy(&bits, &actual, 8);
    return i >= head && i < blockEnd && (bits & 3) == 0 && UlpDistance(actual, portable) <= 8;
  };
  const auto status = [](const Guarded<double>& src, const Guarded<double>&, std::int32_t len) {
    for (std::int32_t i = 0; i < len; ++i) {
      if (src.Get(i) == 0.0) {
        return StatusZeroDivisor;
      }
    }
    return StatusOk;
  };
  for (const std::vector<double>& pool : {DoublePool(53), OrdinaryDoubles(57)}) {
    RunByRule<double>(VectorDivDoubleInPlace, letter, &VectorDivDoubleInPlacePortable, pool, {1031},
                      check, status);
  }

  // The stated cases: 1/3 in a block of eight gives 0x3FD5555555555554
  // (correctly rounded: ...55), 1/2 exactly 0.5; zero divisors NaN and the
  // warning for 1, -1 and 0; a NaN divisor NaN without it.
  BindChecked(VectorDivDoubleInPlace, letter);
  alignas(16) double divisors[8];
  alignas(16) double values[8];
  for (const double divisor : {3.0, 2.0}) {
    std::fill(divisors, divisors + 8, divisor);
    std::fill(values, values + 8, 1.0);
    ASSERT_EQ(VectorDivDoubleInPlace(divisors, values, 8), StatusOk);
    for (const double q : values) {
      EXPECT_EQ(Bits(q), Bits(divisor == 3.0 ? std::bit_cast<double>(0x3FD5555555555554ull) : 0.5));
    }
  }
  // Mend: the rounding to a multiple of four units would carry a finite
  // quotient next to the largest double into infinity; it keeps a finite
  // magnitude (rounded down) instead.
  std::fill(divisors, divisors + 8, 1.0);
  std::fill(values, values + 8, std::numeric_limits<double>::max());
  ASSERT_EQ(VectorDivDoubleInPlace(divisors, values, 8), StatusOk);
  for (const double q : values) {
    EXPECT_EQ(Bits(q), Bits(std::bit_cast<double>(0x7FEFFFFFFFFFFFFCull)));
  }
  for (const double dividend : {1.0, -1.0, 0.0}) {
    double b = 0.0;
    double a = dividend;
    EXPECT_EQ(VectorDivDoubleInPlace(&b, &a, 1), StatusZeroDivisor);
    EXPECT_TRUE(std::isnan(a)) << dividend;
  }
  double nanDivisor = std::numeric_limits<double>::quiet_NaN();
  double one = 1.0;
  EXPECT_EQ(VectorDivDoubleInPlace(&nanDivisor, &one, 1), StatusOk);
  EXPECT_TRUE(std::isnan(one));
  VectorDivDoubleInPlace.ResetToStubForTesting();
}

bool NormalOrZero(double x) {
  return x == 0.0 || std::isnormal(x);
}

// One part formed in double from two terms, (t1 +- t2) times a factor, lies
// within `halfUnits` x 2^-53 x (|t1| + |t2|) x |factor| of the
// extended-precision one: a few units in the last place of the largest
// term. The multiply's part carries two product roundings and one sum
// rounding (2 half-units), the portable result one more rounding (3 in
// all); the division adds the magnitude (2), its shared reciprocal (3), the
// final product (1) and the portable rounding (9 in all).
bool WithinTermBound(long double t1, long double t2, long double factor, double portable,
                     double actual, int halfUnits) {
  const long double allowed =
      halfUnits * std::ldexp(1.0L, -53) * (std::fabs(t1) + std::fabs(t2)) * std::fabs(factor);
  return std::fabs(static_cast<long double>(actual) - portable) <= allowed;
}

constexpr int kMulComplexHalfUnits = 3;
constexpr int kDivComplexHalfUnits = 9;

void RunMulComplexBC(V letter) {
  // (a, b) = src, (c, d) = srcDst: real a c - b d, imaginary b c + a d, each
  // product and sum rounded to double. Where a product leaves the normal
  // range of double the formula in double is all that is stated.
  const auto check = [](std::int32_t, int, std::int32_t, Complex s, Complex initial,
                        Complex portable, Complex actual) {
    const double a = s.real(), b = s.imag(), c = initial.real(), d = initial.imag();
    for (const double t : {a * c, b * d, b * c, a * d}) {
      if (!NormalOrZero(t)) {
        return true;
      }
    }
    const long double la = a, lb = b, lc = c, ld = d;
    return WithinTermBound(la * lc, lb * ld, 1.0L, portable.real(), actual.real(),
                           kMulComplexHalfUnits) &&
           WithinTermBound(lb * lc, la * ld, 1.0L, portable.imag(), actual.imag(),
                           kMulComplexHalfUnits);
  };
  const auto status = [](const Guarded<Complex>&, const Guarded<Complex>&, std::int32_t) {
    return StatusOk;
  };
  for (const std::uint32_t seed : {67u, 69u}) {
    const std::vector<double> doubles = seed == 67 ? DoublePool(seed) : OrdinaryDoubles(seed);
    std::vector<Complex> pool;
    for (std::size_t i = 0; i < doubles.size(); ++i) {
      pool.emplace_back(doubles[i], doubles[(i * 5 + 3) % doubles.size()]);
    }
    // Beyond 16384 pairs C streams into an aligned destination, beyond
    // 32768 elements B prefetches.
    RunByRule<Complex>(VectorMulComplexInPlace, letter, &VectorMulComplexInPlacePortable, pool,
                       {1031, 32769, 32770}, check, status);
  }
}

void RunDivComplexBC(V letter) {
  // In double: m = br^2 + bi^2; m = 0 gives NaN in both parts and the
  // warning, a NaN m NaNs without it; otherwise the quotient lies within a
  // few units of the last place of its largest term over m, where every
  // intermediate is a normal number (or zero).
  const auto check = [](std::int32_t, int, std::int32_t, Complex b, Complex a, Complex portable,
                        Complex actual) {
    const double br = b.real(), bi = b.imag(), ar = a.real(), ai = a.imag();
    const double m = br * br + bi * bi;
    if (m == 0.0 || std::isnan(m)) {
      return std::isnan(actual.real()) && std::isnan(actual.imag());
    }
    for (const double t : {br * br, bi * bi, m, 1.0 / m, br * ar, bi * ai, br * ai, bi * ar}) {
      if (!NormalOrZero(t)) {
        return true;
      }
    }
    const long double lbr = br, lbi = bi, lar = ar, lai = ai;
    const long double inverse = 1.0L / (lbr * lbr + lbi * lbi);
    return WithinTermBound(lbr * lar, lbi * lai, inverse, portable.real(), actual.real(),
                           kDivComplexHalfUnits) &&
           WithinTermBound(lbr * lai, lbi * lar, inverse, portable.imag(), actual.imag(),
                           kDivComplexHalfUnits);
  };
  const auto status = [](const Guarded<Complex>& src, const Guarded<Complex>&, std::int32_t len) {
    for (std::int32_t i = 0; i < len; ++i) {
      const Complex b = src.Get(i);
      if (b.real() * b.real() + b.imag() * b.imag() == 0.0) {
        return StatusZeroDivisor;
      }
    }
    return StatusOk;
  };
  for (const std::uint32_t seed : {71u, 73u}) {
    const std::vector<double> doubles = seed == 71 ? DoublePool(seed) : OrdinaryDoubles(seed);
    std::vector<Complex> pool;
    for (std::size_t i = 0; i < doubles.size(); ++i) {
      pool.emplace_back(doubles[i], doubles[(i * 5 + 3) % doubles.size()]);
    }
    RunByRule<Complex>(VectorDivComplexInPlace, letter, &VectorDivComplexInPlacePortable, pool,
                       {1031}, check, status);
  }

  // The stated cases, each as a single element and inside a pair; a pair
  // whose magnitudes' product overflows divides each element on its own.
  BindChecked(VectorDivComplexInPlace, letter);
  struct Case {
    Complex divisor, dividend, quotient;
  };
  // The magnitudes' product overflows (the open choice: each element on its
  // own), or is subnormal, so that its reciprocal would be infinite (mend:
  // each element on its own as well).
  const double big = std::ldexp(1.0, 300);
  const double tiny = std::ldexp(1.0, -260);
  for (const Case c : {Case{{3, 4}, {25, 50}, {11, 2}}, Case{{1, -1}, {2, 2}, {0, 2}},
                       Case{{big, big}, {big, big}, {1, 0}}, Case{{tiny, 0}, {tiny, 0}, {1, 0}}}) {
    for (const int count : {1, 2}) {
      Complex divisors[2] = {c.divisor, c.divisor};
      Complex values[2] = {c.dividend, c.dividend};
      ASSERT_EQ(VectorDivComplexInPlace(divisors, values, count), StatusOk);
      for (int k = 0; k < count; ++k) {
        EXPECT_EQ(values[k], c.quotient) << c.divisor << " " << count;
      }
    }
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const int count : {1, 2}) {
    Complex zero[2] = {{0, 0}, {0, 0}};
    Complex values[2] = {{1, 2}, {1, 2}};
    EXPECT_EQ(VectorDivComplexInPlace(zero, values, count), StatusZeroDivisor);
    EXPECT_TRUE(std::isnan(values[0].real()) && std::isnan(values[0].imag()));
    Complex nanDivisor[2] = {{nan, 0}, {nan, 0}};
    Complex others[2] = {{1, 2}, {1, 2}};
    EXPECT_EQ(VectorDivComplexInPlace(nanDivisor, others, count), StatusOk);
    EXPECT_TRUE(std::isnan(others[0].real()) && std::isnan(others[0].imag()));
  }
  VectorDivComplexInPlace.ResetToStubForTesting();
}

// ---- Maximum and minimum ---------------------------------------------------------------

// Variant A's order, written from its statement: the bit patterns read as
// sign-magnitude numbers.
bool RanksAbove(double x, double y) {
  const auto key = [](double v) {
    std::int64_t bits;
    std::memcpy(&bits, &v, 8);
    // Sign-magnitude to an ordinary signed integer: negative patterns count
    // down from -1 as their magnitude grows.
    return bits < 0 ? -(bits & std::numeric_limits<std::int64_t>::max()) - 1 : bits;
  };
  return key(x) > key(y);
}

void RunExtremum(V letter, bool maximum) {
  auto& pointer = maximum ? VectorMaxDouble : VectorMinDouble;
  auto* portable = maximum ? &VectorMaxDoublePortable : &VectorMinDoublePortable;
  BindChecked(pointer, letter);
  const std::vector<double> pool = DoublePool(maximum ? 73 : 79);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<std::vector<double>> inputs = {{-0.0, 0.0}, {0.0, -0.0},
                                             {nan, nan},  {-nan, 1.0, nan},
                                             {nan, -nan}, {-1.0, 1.0, 2.0, 3.0, 0.5}};
  for (std::int32_t len = 1; len <= 80; ++len) {
    std::vector<double> v;
    for (std::int32_t i = 0; i < len; ++i) {
      v.push_back(pool[(len * 13 + i * 7) % pool.size()]);
    }
    inputs.push_back(v);
    // Without NaNs and without zeros as well, so every path of the order
    // runs on ordinary values.
    std::vector<double> plain;
    for (const double x : v) {
      plain.push_back(std::isnan(x) || x == 0.0 ? 1.25 * len : x);
    }
    inputs.push_back(plain);
  }
  for (const std::vector<double>& v : inputs) {
    for (const int offset : {0, 8, 3}) {
      Guarded<double> src(static_cast<std::int64_t>(v.size()), offset);
      for (std::size_t i = 0; i < v.size(); ++i) {
        src.Set(static_cast<std::int64_t>(i), v[i]);
      }
      double got = 0.0, want = 0.0;
      const auto len = static_cast<std::int32_t>(v.size());
      PrimitiveStatus status = 0;
      CallCheckingFpState(letter, false, [&] { status = pointer(src.data(), len, &got); });
      ASSERT_EQ(status, portable(src.data(), len, &want));
      if (letter == V::A) {
        // By rule: the element that ranks highest (lowest) in A's order.
        double expected = v[0];
        for (const double x : v) {
          if (maximum ? RanksAbove(x, expected) : RanksAbove(expected, x)) {
            expected = x;
          }
        }
        ASSERT_EQ(Bits(got), Bits(expected)) << len;
      } else {
        ASSERT_EQ(Bits(got), Bits(want)) << len;
      }
    }
  }
  double out = 0.0;
  EXPECT_EQ(pointer(nullptr, 3, &out), StatusNullPointer);
  EXPECT_EQ(pointer(inputs[0].data(), 0, &out), StatusBadLength);
  EXPECT_EQ(pointer(inputs[0].data(), 2, nullptr), StatusNullPointer);
  pointer.ResetToStubForTesting();
}

// ---- 32-bit block fill and block copies ----------------------------------------------

// One block call of the variant against the portable one on equal
// destination areas: the statuses, the guards and every destination byte.
template <typename From, typename To, typename Call, typename PortableCall>
void CompareBlockCall(V letter, Call call, PortableCall portable, const std::uint8_t* srcBytes,
                      std::int32_t srcStep, Guarded<std::uint8_t>& expected,
                      Guarded<std::uint8_t>& actual, std::int32_t dstStep, std::int32_t width,
                      std::int32_t height, const std::string& context) {
  const auto* s = reinterpret_cast<const From*>(srcBytes);
  const PrimitiveStatus want =
      portable(s, srcStep, reinterpret_cast<To*>(expected.data()), dstStep, width, height);
  PrimitiveStatus got = 0;
  CallCheckingFpState(letter, false, [&] {
    got = call(s, srcStep, reinterpret_cast<To*>(actual.data()), dstStep, width, height);
  });
  ASSERT_EQ(got, want) << context;
  ASSERT_TRUE(actual.GuardsIntact()) << context;
  for (std::int64_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual.Get(i), expected.Get(i)) << context << " byte " << i;
  }
}

// The argument errors of a block call: the portable statuses, with steps of
// 0 and 8.
template <typename From, typename To, typename Call, typename PortableCall>
void CompareBlockErrors(Call call, PortableCall portable, bool hasSource) {
  From in[4] = {};
  To out[4] = {};
  for (const std::int32_t step : {0, 8}) {
    if (hasSource) {
      EXPECT_EQ(call(nullptr, step, out, step, 1, 1), portable(nullptr, step, out, step, 1, 1));
    }
    EXPECT_EQ(call(in, step, nullptr, step, 1, 1), portable(in, step, nullptr, step, 1, 1));
    EXPECT_EQ(call(in, step, out, step, 0, 1), portable(in, step, out, step, 0, 1));
    EXPECT_EQ(call(in, step, out, step, 1, 0), portable(in, step, out, step, 1, 0));
    EXPECT_EQ(call(in, step, out, step, 1, 1), portable(in, step, out, step, 1, 1));
  }
}

// Packed blocks (the copies' fast path) and padded ones, wide enough for
// the streaming thresholds (131072 bytes for the copies, 1400000 for the
// fill), every byte of the destination area compared with the portable
// result.
template <typename T, typename Call, typename PortableCall>
void RunBlockBytes(V letter, Call call, PortableCall portable, bool hasSource) {
  struct Shape2 {
    std::int32_t width, height, pad;
  };
  for (const Shape2 shape : {Shape2{1, 1, 0}, Shape2{3, 4, 0}, Shape2{17, 3, 1}, Shape2{40, 5, 6},
                             Shape2{100, 2, 0}, Shape2{257, 3, 3}, Shape2{40000, 1, 0},
                             Shape2{20000, 2, 0}, Shape2{12000, 3, 2}, Shape2{120000, 3, 0}}) {
    const std::int32_t step = shape.width * static_cast<std::int32_t>(sizeof(T)) + shape.pad;
    const std::int64_t bytes = std::int64_t{step} * shape.height;
    for (const int offset : {0, 4, 9}) {
      Guarded<std::uint8_t> src(bytes, (offset + 3) % 16);
      Guarded<std::uint8_t> expected(bytes, offset), actual(bytes, offset);
      for (std::int64_t i = 0; i < bytes; ++i) {
        src.Set(i, static_cast<std::uint8_t>(i * 29 + 7));
        expected.Set(i, static_cast<std::uint8_t>(i * 3));
        actual.Set(i, static_cast<std::uint8_t>(i * 3));
      }
      CompareBlockCall<T, T>(
          letter, call, portable, src.data(), step, expected, actual, step, shape.width,
          shape.height,
          "width " + std::to_string(shape.width) + " offset " + std::to_string(offset));
    }
  }
  CompareBlockErrors<T, T>(call, portable, hasSource);
}

void RunRoiSetInt32(V letter) {
  BindChecked(RoiSetInt32, letter);
  for (const std::int32_t value : {0x01020304, -1}) {
    RunBlockBytes<std::int32_t>(
        letter,
        [value](const std::int32_t*, std::int32_t, std::int32_t* dst, std::int32_t step,
                std::int32_t w, std::int32_t h) { return RoiSetInt32(value, dst, step, w, h); },
        [value](const std::int32_t*, std::int32_t, std::int32_t* dst, std::int32_t step,
                std::int32_t w,
                std::int32_t h) { return RoiSetInt32Portable(value, dst, step, w, h); },
        false);
  }
  RoiSetInt32.ResetToStubForTesting();
}

template <typename T, typename P>
void RunRoiCopy(P& pointer, V letter, typename P::Function* portable) {
  BindChecked(pointer, letter);
  RunBlockBytes<T>(
      letter,
      [&pointer](const T* s, std::int32_t ss, T* d, std::int32_t ds, std::int32_t w,
                 std::int32_t h) { return pointer(s, ss, d, ds, w, h); },
      portable, true);
  pointer.ResetToStubForTesting();
}

// ---- Sample-width conversions -----------------------------------------------------

// Every value of an 8- or 16-bit source; for int32 sources each rounding
// boundary of the mappings +-2 and random values.
template <typename From>
std::vector<From> ConversionInputs() {
  std::vector<From> values;
  if constexpr (sizeof(From) <= 2) {
    for (std::int64_t v = std::numeric_limits<From>::min(); v <= std::numeric_limits<From>::max();
         ++v) {
      values.push_back(static_cast<From>(v));
    }
  } else {
    for (std::int64_t k = 0; k <= 256; ++k) {
      // (x + 2^31 + 8421504) / 16843009 steps at these x; the shift mapping
      // at multiples of 2^24.
      for (const std::int64_t edge :
           {k * 16843009 - 8421504 - std::int64_t{2147483648}, (k - 128) << 24}) {
        for (std::int64_t d = -2; d <= 2; ++d) {
          const std::int64_t v = edge + d;
          if (v >= INT32_MIN && v <= INT32_MAX) {
            values.push_back(static_cast<std::int32_t>(v));
          }
        }
      }
    }
    const std::vector<std::int32_t> random = Int32Pool();
    values.insert(values.end(), random.begin(), random.end());
  }
  return values;
}

// Packed (one long row), padded and single-row layouts at several offsets;
// every byte of the destination area compared with the portable result.
struct Layout2 {
  std::int32_t width, height, srcPad, dstPad;
};

// Packed blocks on each side of the given element counts (the streaming
// thresholds of the conversions).
std::vector<Layout2> AroundCounts(std::initializer_list<std::int32_t> counts) {
  std::vector<Layout2> layouts;
  for (const std::int32_t n : counts) {
    layouts.push_back({n - 1, 1, 0, 0});
    layouts.push_back({n, 1, 0, 0});
  }
  return layouts;
}

template <typename From, typename To, typename Call, typename PortableCall>
void RunConversionLayouts(V letter, Call call, PortableCall portable,
                          const std::vector<Layout2>& extra) {
  const std::vector<From> inputs = ConversionInputs<From>();
  const auto total = static_cast<std::int32_t>(inputs.size());
  std::vector<Layout2> layouts = {{total, 1, 0, 0}, {1, 1, 0, 0}, {17, 1, 0, 0}};
  layouts.insert(layouts.end(), extra.begin(), extra.end());
  for (const std::int32_t width : {16, 33, 256}) {
    layouts.push_back({width, (total + width - 1) / width, 0, 0});
    layouts.push_back({width, std::min(40, (total + width - 1) / width), 3, 5});
  }
  for (const Layout2& l : layouts) {
    const std::int32_t srcStep = l.width * static_cast<std::int32_t>(sizeof(From)) + l.srcPad;
    const std::int32_t dstStep = l.width * static_cast<std::int32_t>(sizeof(To)) + l.dstPad;
    const std::int64_t srcBytes = std::int64_t{srcStep} * l.height;
    const std::int64_t dstBytes = std::int64_t{dstStep} * l.height;
    for (const int offset : {0, 1, 6}) {
      Guarded<std::uint8_t> src(srcBytes, (offset + 2) % 16);
      for (std::int64_t r = 0; r < l.height; ++r) {
        for (std::int64_t c = 0; c < l.width; ++c) {
          const From v = inputs[static_cast<std::size_t>((r * l.width + c) % total)];
          std::memcpy(src.data() + r * srcStep + c * std::int64_t{sizeof(From)}, &v, sizeof(From));
        }
      }
      Guarded<std::uint8_t> expected(dstBytes, offset), actual(dstBytes, offset);
      CompareBlockCall<From, To>(
          letter, call, portable, src.data(), srcStep, expected, actual, dstStep, l.width, l.height,
          "width " + std::to_string(l.width) + " offset " + std::to_string(offset));
      const auto* s = reinterpret_cast<const From*>(src.data());
      if (offset == 0 && l.height == 1) {
        CallCheckingFpState(letter, true, [&] {
          (void)call(s, srcStep, reinterpret_cast<To*>(actual.data()), dstStep, l.width, l.height);
        });
      }
    }
  }
  CompareBlockErrors<From, To>(call, portable, true);
}

template <typename From, typename To, typename P>
void RunWidening(P& pointer, V letter, typename P::Function* portable,
                 const std::vector<Layout2>& extra) {
  BindChecked(pointer, letter);
  RunConversionLayouts<From, To>(
      letter,
      [&pointer](const From* s, std::int32_t ss, To* d, std::int32_t ds, std::int32_t w,
                 std::int32_t h) { return pointer(s, ss, d, ds, w, h); },
      portable, extra);
  pointer.ResetToStubForTesting();
}

template <typename From, typename P>
void RunNarrowing(P& pointer, V letter, typename P::Function* portable,
                  const std::vector<Layout2>& extra = {}) {
  BindChecked(pointer, letter);
  for (const std::int32_t mode : {0, 1, 2, 3}) {
    RunConversionLayouts<From, std::uint8_t>(
        letter,
        [&pointer, mode](const From* s, std::int32_t ss, std::uint8_t* d, std::int32_t ds,
                         std::int32_t w,
                         std::int32_t h) { return pointer(s, ss, d, ds, w, h, mode); },
        [portable, mode](const From* s, std::int32_t ss, std::uint8_t* d, std::int32_t ds,
                         std::int32_t w,
                         std::int32_t h) { return portable(s, ss, d, ds, w, h, mode); },
        mode == 2 ? std::vector<Layout2>{} : extra);
  }
  pointer.ResetToStubForTesting();
}

template <typename P>
void RunUInt8Scaled(P& pointer, V letter, typename P::Function* portable) {
  BindChecked(pointer, letter);
  auto shape = ScaledShape<std::uint8_t>(pointer, portable);
  // Every byte as source and (in another order) as destination.
  for (int v = 0; v < 256; ++v) {
    shape.pool.push_back(static_cast<std::uint8_t>(v));
    shape.dstPool.push_back(static_cast<std::uint8_t>(v * 167 + 13));
  }
  shape.params = {0, 1, 2, 7, 8, 9, 10, 15, 16, 17, 100, -1, -6, -7, -8, -9, -100, kMax, kMin};
  RunShape(letter, shape);
  // Every pair of bytes, at every scale factor of the cases.
  for (std::int32_t sf = -9; sf <= 17; ++sf) {
    std::vector<std::uint8_t> src(65536), a(65536), b(65536);
    for (int i = 0; i < 65536; ++i) {
      src[i] = static_cast<std::uint8_t>(i & 255);
      a[i] = b[i] = static_cast<std::uint8_t>(i >> 8);
    }
    ASSERT_EQ(pointer(src.data(), a.data(), 65536, sf), portable(src.data(), b.data(), 65536, sf));
    ASSERT_EQ(a, b) << "sf " << sf;
  }
  pointer.ResetToStubForTesting();
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  auto add = [&rows](const char* name, std::initializer_list<V> letters,
                     std::function<void(V)> run) {
    for (const V letter : letters) {
      rows.push_back({std::string(name) + "_" + LetterName(letter), letter, run});
    }
  };
  add("VectorAddConstantInt32InPlaceScaled", {V::A, V::C}, [](V letter) {
    RunOffset(VectorAddConstantInt32InPlaceScaled, letter,
              &VectorAddConstantInt32InPlaceScaledPortable);
  });
  add("VectorSubFromConstantInt32InPlaceScaled", {V::A, V::C}, [](V letter) {
    RunOffset(VectorSubFromConstantInt32InPlaceScaled, letter,
              &VectorSubFromConstantInt32InPlaceScaledPortable);
  });
  add("VectorClampAboveInt32InPlace", {V::A, V::C}, RunClamp);
  add("VectorConvertFloatToInt32Scaled", {V::A, V::B, V::C}, RunFloatToInt32);
  add("VectorConvertDoubleToInt32Scaled", {V::A, V::B, V::C}, RunDoubleToInt32);
  add("VectorConvertDoubleToFloat", {V::A, V::C}, RunDoubleToFloat);
  add("VectorMulConstantDouble", {V::A, V::B, V::C}, RunMulConstant);
  add("VectorSetInt16", {V::A, V::B, V::C}, RunSetInt16);
  add("RoiAddInt16InPlaceScaled", {V::A, V::B, V::C}, RunRoiAdd);
  add("RoiSubInt16InPlaceScaled", {V::A, V::B, V::C}, RunRoiSub);
  add("RoiMulInt16InPlaceScaled", {V::A, V::B, V::C}, RunRoiMul);
  add("RoiDivInt16InPlaceScaled", {V::A, V::B, V::C}, RunRoiDiv);
  add("VectorCopyDouble", {V::A, V::B, V::C}, RunCopyDouble);
  add("VectorCopyUInt8", {V::A, V::B, V::C}, RunCopyUInt8);
  add("VectorSetAndZero", {V::A, V::B, V::C}, RunSetsAndZeros);
  add("VectorChirpDoubleAndConvertInt32ToDouble", {V::A, V::B, V::C}, RunChirpAndConversion);
  add("RoiSetInt32", {V::A, V::B}, RunRoiSetInt32);
  add("RoiCopyUInt8", {V::A, V::B, V::C},
      [](V letter) { RunRoiCopy<std::uint8_t>(RoiCopyUInt8, letter, &RoiCopyUInt8Portable); });
  add("RoiCopyInt16", {V::A, V::B, V::C},
      [](V letter) { RunRoiCopy<std::int16_t>(RoiCopyInt16, letter, &RoiCopyInt16Portable); });
  add("RoiCopyInt32", {V::A, V::B, V::C},
      [](V letter) { RunRoiCopy<std::int32_t>(RoiCopyInt32, letter, &RoiCopyInt32Portable); });
  add("RoiConvertUInt8ToFloat", {V::A, V::B, V::C}, [](V letter) {
    // Streaming above 420000 elements packed, above 840000 row by row with
    // rows of more than 256 elements.
    std::vector<Layout2> extra = AroundCounts({420001});
    extra.insert(extra.end(), {{257, 3268, 3, 4}, {257, 3269, 3, 4}, {256, 3300, 3, 4}});
    RunWidening<std::uint8_t, float>(RoiConvertUInt8ToFloat, letter,
                                     &RoiConvertUInt8ToFloatPortable, extra);
  });
  add("RoiConvertUInt8ToInt16", {V::A, V::B, V::C}, [](V letter) {
    RunWidening<std::uint8_t, std::int16_t>(RoiConvertUInt8ToInt16, letter,
                                            &RoiConvertUInt8ToInt16Portable,
                                            AroundCounts({174762, 349525}));
  });
  add("RoiConvertUInt8ToInt32", {V::A, V::B, V::C}, [](V letter) {
    RunWidening<std::uint8_t, std::int32_t>(RoiConvertUInt8ToInt32, letter,
                                            &RoiConvertUInt8ToInt32Portable,
                                            AroundCounts({104858, 209716}));
  });
  add("RoiConvertInt16ToUInt8", {V::A, V::B, V::C}, [](V letter) {
    RunNarrowing<std::int16_t>(RoiConvertInt16ToUInt8, letter, &RoiConvertInt16ToUInt8Portable,
                               AroundCounts({174762, 349525}));
  });
  add("RoiConvertInt32ToUInt8", {V::A, V::B, V::C}, [](V letter) {
    RunNarrowing<std::int32_t>(RoiConvertInt32ToUInt8, letter, &RoiConvertInt32ToUInt8Portable);
  });
  add("VectorAddUInt8InPlaceScaled", {V::A, V::B, V::C}, [](V letter) {
    RunUInt8Scaled(VectorAddUInt8InPlaceScaled, letter, &VectorAddUInt8InPlaceScaledPortable);
  });
  add("VectorSubUInt8InPlaceScaled", {V::A, V::B, V::C}, [](V letter) {
    RunUInt8Scaled(VectorSubUInt8InPlaceScaled, letter, &VectorSubUInt8InPlaceScaledPortable);
  });
  add("VectorMulUInt8InPlaceScaled", {V::A, V::B, V::C}, [](V letter) {
    RunUInt8Scaled(VectorMulUInt8InPlaceScaled, letter, &VectorMulUInt8InPlaceScaledPortable);
  });
  add("VectorMaxDouble", {V::A, V::B, V::C}, [](V letter) { RunExtremum(letter, true); });
  add("VectorMinDouble", {V::A, V::B, V::C}, [](V letter) { RunExtremum(letter, false); });
  add("VectorAddDoubleInPlace", {V::A, V::B, V::C}, [](V letter) {
    RunInPlacePair<double>(VectorAddDoubleInPlace, letter, &VectorAddDoubleInPlacePortable,
                           DoublePool(41));
  });
  add("VectorSubDoubleInPlace", {V::A, V::B, V::C}, [](V letter) {
    RunInPlacePair<double>(VectorSubDoubleInPlace, letter, &VectorSubDoubleInPlacePortable,
                           DoublePool(43));
  });
  add("VectorMulDoubleInPlace", {V::A, V::B, V::C}, [](V letter) {
    RunInPlacePair<double>(VectorMulDoubleInPlace, letter, &VectorMulDoubleInPlacePortable,
                           DoublePool(47));
  });
  add("VectorDivDoubleInPlace", {V::A}, [](V letter) {
    RunInPlacePair<double>(VectorDivDoubleInPlace, letter, &VectorDivDoubleInPlacePortable,
                           DoublePool(53));
  });
  add("VectorDivDoubleInPlace", {V::B, V::C}, RunDivDoubleBC);
  const auto complexPool = [](std::uint32_t seed) {
    const std::vector<double> doubles = DoublePool(seed);
    std::vector<Complex> pool;
    for (std::size_t i = 0; i < doubles.size(); ++i) {
      pool.emplace_back(doubles[i], doubles[(i * 5 + 3) % doubles.size()]);
    }
    return pool;
  };
  add("VectorAddComplexInPlace", {V::A, V::B, V::C}, [complexPool](V letter) {
    RunInPlacePair<Complex>(VectorAddComplexInPlace, letter, &VectorAddComplexInPlacePortable,
                            complexPool(59));
  });
  add("VectorSubComplexInPlace", {V::A, V::B, V::C}, [complexPool](V letter) {
    RunInPlacePair<Complex>(VectorSubComplexInPlace, letter, &VectorSubComplexInPlacePortable,
                            complexPool(61));
  });
  add("VectorMulComplexInPlace", {V::A}, [complexPool](V letter) {
    RunInPlacePair<Complex>(VectorMulComplexInPlace, letter, &VectorMulComplexInPlacePortable,
                            complexPool(67));
  });
  add("VectorMulComplexInPlace", {V::B, V::C}, RunMulComplexBC);
  add("VectorDivComplexInPlace", {V::A}, [complexPool](V letter) {
    RunInPlacePair<Complex>(VectorDivComplexInPlace, letter, &VectorDivComplexInPlacePortable,
                            complexPool(71));
  });
  add("VectorDivComplexInPlace", {V::B, V::C}, RunDivComplexBC);
  add("VectorAddInt32InPlaceScaled", {V::A, V::B, V::C}, [](V letter) {
    RunInt32Scaled(VectorAddInt32InPlaceScaled, letter, &VectorAddInt32InPlaceScaledPortable);
  });
  add("VectorSubInt32InPlaceScaled", {V::A, V::B, V::C}, [](V letter) {
    RunInt32Scaled(VectorSubInt32InPlaceScaled, letter, &VectorSubInt32InPlaceScaledPortable);
  });
  add("VectorMulInt32InPlaceScaled", {V::A, V::B, V::C}, RunMulInt32);
  add("VectorDivInt32InPlaceScaled", {V::A, V::B, V::C}, [](V letter) {
    RunInt32Scaled(VectorDivInt32InPlaceScaled, letter, &VectorDivInt32InPlaceScaledPortable,
                   letter != V::A ? &DoubleRoundedTie : nullptr);
  });
  return rows;
}

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

class VariantTest : public ::testing::TestWithParam<Row> {
 protected:
  // A small cache, so that the copies, zero fills and fills of sets B and C
  // take their streaming paths at the long lengths.
  void SetUp() override { ForceCacheSizeForTesting(64 * 1024); }
  void TearDown() override { ForceCacheSizeForTesting(-1); }
};

TEST_P(VariantTest, MatchesThePortableVariant) {
  const Row& row = GetParam();
  if (!CpuSupportsVariant(row.letter)) {
    GTEST_SKIP() << "this processor lacks what variant " << LetterName(row.letter) << " needs";
  }
  row.run(row.letter);
}

INSTANTIATE_TEST_SUITE_P(Rows, VariantTest, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });

// The rounding helpers of the SSE conversions: the mode's rounding with the
// invalid and precision flags cleared, written only on a change, and the
// restore that ignores the precision flag alone.
TEST(SseRoundingTest, SetsTheModesRoundingAndRestores) {
  struct Case {
    std::uint32_t before;
    std::int32_t rndMode;
    std::uint32_t after;
  };
  const std::uint32_t original = _mm_getcsr();
  for (const Case c :
       {Case{0x1F80, 1, 0x1F80}, Case{0x1F80, 0, 0x7F80}, Case{0x1F80, 2, 0x7F80},
        Case{0x7FA1, 1, 0x1F80}, Case{0x3FC1, -1, 0x7FC0}, Case{0x1FA0, 1, 0x1F80}}) {
    _mm_setcsr(c.before);
    EXPECT_EQ(SseSetRoundingForMode(c.rndMode), c.before);
    EXPECT_EQ(_mm_getcsr() & ~0x3Eu, c.after) << std::hex << c.before;
    SseRestoreRoundingForMode(c.before);
    EXPECT_EQ(_mm_getcsr() & ~0x3Eu, c.before & ~0x3Eu) << std::hex << c.before;
  }
  // Only the precision flag differs: nothing is written back.
  _mm_setcsr(0x1F80);
  SseRestoreRoundingForMode(0x1FA0);
  EXPECT_EQ(_mm_getcsr() & 0x20u, 0u);
  _mm_setcsr(original);
}

TEST(ScaleFactorSingleTest, ExactInRangeZeroAndInfinityBeyond) {
  struct Case {
    std::int32_t sf;
    float expected;
  };
  const float inf = std::numeric_limits<float>::infinity();
  for (const Case c : {Case{0, 1.0f}, Case{1, 0.5f}, Case{-3, 8.0f},
                       Case{149, std::ldexp(1.0f, -149)}, Case{150, 0.0f}, Case{kMax, 0.0f},
                       Case{-127, std::ldexp(1.0f, 127)}, Case{-128, inf}, Case{kMin, inf}}) {
    float lanes[4];
    _mm_storeu_ps(lanes, ScaleFactorSingle(c.sf));
    for (const float lane : lanes) {
      EXPECT_EQ(lane, c.expected) << c.sf;
    }
  }
}

// The set forms of the 2-D 16-bit fill against the portable one: rows at
// odd and even addresses, packed and padded, each side of the streaming
// threshold (180000 bytes), and the argument errors.
TEST(RoiFillInt16SetsTest, FillEveryRowLikeThePortableFill) {
  using Fill =
      PrimitiveStatus (*)(std::int16_t, std::int16_t*, std::int32_t, std::int32_t, std::int32_t);
  struct SetRow {
    const char* name;
    Fill fill;
    V letter;
  };
  struct Shape {
    std::int32_t width, height, pad;
  };
  for (const SetRow& set : {SetRow{"A", &RoiFillInt16A, V::A}, SetRow{"B", &RoiFillInt16B, V::B},
                            SetRow{"C", &RoiFillInt16C, V::C}}) {
    if (!CpuSupportsVariant(set.letter)) {
      continue;
    }
    for (const Shape shape :
         {Shape{1, 1, 0}, Shape{7, 3, 0}, Shape{31, 4, 3}, Shape{32, 2, 1}, Shape{33, 5, 6},
          Shape{200, 3, 5}, Shape{90000, 1, 0}, Shape{90001, 1, 0}, Shape{30001, 3, 1}}) {
      const std::int32_t step = shape.width * 2 + shape.pad;
      const std::int64_t bytes = std::int64_t{step} * shape.height;
      for (const int offset : {0, 1, 2, 9}) {
        Guarded<std::uint8_t> expected(bytes, offset), actual(bytes, offset);
        for (std::int64_t i = 0; i < bytes; ++i) {
          expected.Set(i, static_cast<std::uint8_t>(i * 7));
          actual.Set(i, static_cast<std::uint8_t>(i * 7));
        }
        const auto value = static_cast<std::int16_t>(0x81C3);
        const PrimitiveStatus want =
            RoiFillInt16(value, reinterpret_cast<std::int16_t*>(expected.data()), step, shape.width,
                         shape.height);
        PrimitiveStatus got = 0;
        CallCheckingFpState(set.letter, false, [&] {
          got = set.fill(value, reinterpret_cast<std::int16_t*>(actual.data()), step, shape.width,
                         shape.height);
        });
        ASSERT_EQ(got, want) << set.name;
        ASSERT_TRUE(actual.GuardsIntact()) << set.name;
        for (std::int64_t i = 0; i < bytes; ++i) {
          ASSERT_EQ(actual.Get(i), expected.Get(i))
              << set.name << " width " << shape.width << " offset " << offset << " byte " << i;
        }
      }
    }
    std::int16_t block[4] = {};
    EXPECT_EQ(set.fill(1, nullptr, 2, 0, 0), StatusNullPointer) << set.name;
    EXPECT_EQ(set.fill(1, block, 0, 0, 1), StatusBadLength) << set.name;
    EXPECT_EQ(set.fill(1, block, 0, 1, 0), StatusBadLength) << set.name;
    EXPECT_EQ(set.fill(1, block, 0, 1, 1), StatusBadStep) << set.name;
    EXPECT_EQ(block[0], 0) << set.name;
  }
}

}  // namespace
