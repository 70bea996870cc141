// The scaled byte add, subtract and multiply written once over a lane set
// (sixteen bytes of SSE2 or eight of MMX), instantiated by sets A and B.
// Internal to the kernels.
#pragma once

#include <algorithm>
#include <cstdint>

#include "signal/primitives/kernels/VariantKernels.h"

namespace kernels_detail {

inline std::int32_t UInt8Exact(UInt8Op op, std::int32_t d, std::int32_t s) {
  return op == UInt8Op::Add ? d + s : (op == UInt8Op::Sub ? (d > s ? d - s : 0) : d * s);
}

inline std::uint8_t UInt8Scaled(std::int32_t t, std::int32_t sf) {
  std::int32_t r = t;
  if (sf > 0) {
    r = (t + (1 << (sf - 1)) - 1 + ((t >> sf) & 1)) >> sf;
  } else if (sf < -7) {
    r = t > 0 ? 255 : 0;
  } else if (sf < 0) {
    r = t << -sf;
  }
  return static_cast<std::uint8_t>(std::min(r, 255));
}

// The scale of 32-bit lanes of t (at least 0); the packs that follow
// saturate the results to 255.
template <typename L>
typename L::V UInt8ScaleLanes(typename L::V t, std::int32_t sf) {
  if (sf > 0) {
    const auto parity = L::And(L::Srl32Logical(t, sf), L::Set32(1));
    return L::Srl32Logical(L::Add32(L::Add32(t, L::Set32((1 << (sf - 1)) - 1)), parity), sf);
  }
  if (sf < -7) {
    return L::AndNot(L::CmpEq32(t, L::Zero()), L::Set32(255));
  }
  if (sf < 0) {
    return L::Sll32(t, -sf);
  }
  return t;
}

// srcDst[i] = scaled t for one row: blocks of lanes (t in unsigned 16-bit
// lanes, at most 65025, scaled in 32-bit lanes), then single bytes.
template <typename L>
void UInt8ScaledRow(UInt8Op op, const std::uint8_t* src, std::uint8_t* srcDst, std::int64_t len,
                    std::int32_t sf) {
  using V = typename L::V;
  constexpr int kBytes = 2 * L::kLanes;
  const V zero = L::Zero();
  auto half = [&](V t16, bool high) {
    return UInt8ScaleLanes<L>(high ? L::UnpackHi16(t16, zero) : L::UnpackLo16(t16, zero), sf);
  };
  std::int64_t i = 0;
  if (op != UInt8Op::Mul && (sf == 0 || sf < -7)) {
    // On bytes directly: the unsigned saturating add or subtract (sf = 0),
    // or 255 wherever it is non-zero (sf < -7).
    for (; i + kBytes <= len; i += kBytes) {
      const V d = L::LoadBytes(srcDst + i);
      const V s = L::LoadBytes(src + i);
      const V t = op == UInt8Op::Add ? L::AddSatU8(d, s) : L::SubSatU8(d, s);
      L::StoreBytes(srcDst + i, sf == 0 ? t : L::AndNot(L::CmpEq8(t, zero), L::CmpEq8(t, t)));
    }
  }
  if (op != UInt8Op::Mul && sf != 0 && sf >= -7) {
    // The sum (at most 510) or difference in 16-bit lanes: the rounding
    // shift stays below 766, the left shift of min(t, 255) below 32768; the
    // pack saturates to 255.
    const V offset = L::Set16(static_cast<std::int16_t>(sf > 0 ? (1 << (sf - 1)) - 1 : 0));
    const V one = L::Set16(1);
    const V top = L::Set16(255);
    auto scale16 = [&](V t) {
      if (sf > 0) {
        return L::Srl16(L::Add16(L::Add16(t, offset), L::And(L::Srl16(t, sf), one)), sf);
      }
      return L::Sll16(L::Min16(t, top), -sf);
    };
    for (; i + kBytes <= len; i += kBytes) {
      const V d = L::LoadBytes(srcDst + i);
      const V s = L::LoadBytes(src + i);
      V lo, hi;
      if (op == UInt8Op::Sub) {
        const V t = L::SubSatU8(d, s);
        lo = L::UnpackLo8(t, zero);
        hi = L::UnpackHi8(t, zero);
      } else {
        lo = L::Add16(L::UnpackLo8(d, zero), L::UnpackLo8(s, zero));
        hi = L::Add16(L::UnpackHi8(d, zero), L::UnpackHi8(s, zero));
      }
      L::StoreBytes(srcDst + i, L::PackUs16(scale16(lo), scale16(hi)));
    }
  }
  for (; i + kBytes <= len; i += kBytes) {
    const V d = L::LoadBytes(srcDst + i);
    const V s = L::LoadBytes(src + i);
    V lo, hi;
    if (op == UInt8Op::Sub) {
      const V t = L::SubSatU8(d, s);
      lo = L::UnpackLo8(t, zero);
      hi = L::UnpackHi8(t, zero);
    } else {
      const V dLo = L::UnpackLo8(d, zero), dHi = L::UnpackHi8(d, zero);
      const V sLo = L::UnpackLo8(s, zero), sHi = L::UnpackHi8(s, zero);
      lo = op == UInt8Op::Add ? L::Add16(dLo, sLo) : L::MulLo16(dLo, sLo);
      hi = op == UInt8Op::Add ? L::Add16(dHi, sHi) : L::MulLo16(dHi, sHi);
    }
    const V w0 = L::Pack32(half(lo, false), half(lo, true));
    const V w1 = L::Pack32(half(hi, false), half(hi, true));
    L::StoreBytes(srcDst + i, L::PackUs16(w0, w1));
  }
  L::End();
  for (; i < len; ++i) {
    srcDst[i] = UInt8Scaled(UInt8Exact(op, srcDst[i], src[i]), sf);
  }
}

}  // namespace kernels_detail
