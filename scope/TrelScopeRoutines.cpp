#include "scope/TrelScopeRoutines.h"

#include <cmath>
#include <limits>

std::int32_t SaturateToInt32(double value) {
  if (std::isnan(value))
    return 0;
  if (value >= 2147483647.0)
    return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0)
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::int32_t RoundSaturated(double value) {
  // nearbyint rounds half to even in the default rounding mode.
  return SaturateToInt32(std::nearbyint(value));
}

std::int32_t TruncSaturated(double value) {
  return SaturateToInt32(std::trunc(value));
}

std::int32_t ClampToInt32(std::int64_t value) {
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

double DotProduct(TTrelIntPoint a, TTrelIntPoint b) {
  return static_cast<double>(a.X) * b.X + static_cast<double>(a.Y) * b.Y;
}

namespace {

// The difference of two points in double: a 32-bit difference could wrap.
double DiffLength(double dx, double dy) {
  const double square = dx * dx + dy * dy;
  if (!std::isfinite(square) || square < 0.0)
    return 10000.0;
  return std::sqrt(square);
}

}  // namespace

double VectorLength(TTrelIntPoint v) {
  return DiffLength(v.X, v.Y);
}

double PointDistance(TTrelIntPoint a, TTrelIntPoint b) {
  return DiffLength(static_cast<double>(a.X) - b.X, static_cast<double>(a.Y) - b.Y);
}

double DistanceToSegment(TTrelIntPoint p, TTrelIntPoint a, TTrelIntPoint b, TTrelIntPoint& nearest,
                         double& t) {
  const double vx = static_cast<double>(b.X) - a.X;
  const double vy = static_cast<double>(b.Y) - a.Y;
  const double c1 = (static_cast<double>(p.X) - a.X) * vx + (static_cast<double>(p.Y) - a.Y) * vy;
  if (c1 <= 0.0) {
    nearest = a;
    t = 0.0;
  } else {
    const double c2 = vx * vx + vy * vy;
    if (c2 <= c1) {
      nearest = b;
      t = 1.0;
    } else {
      t = c1 / c2;
      // The displacement may exceed 32 bits; only the point is saturated.
      nearest.X = SaturateToInt32(a.X + std::nearbyint(t * vx));
      nearest.Y = SaturateToInt32(a.Y + std::nearbyint(t * vy));
    }
  }
  return PointDistance(p, nearest);
}

double Log10(double v) {
  return std::log10(v);
}

double SignedLog10(double v) {
  return v >= 0.0 ? std::log10(v + 1.0) : -std::log10(-v + 1.0);
}

double InverseSignedLog10(double v) {
  return v >= 0.0 ? std::pow(10.0, v) - 1.0 : -(std::pow(10.0, -v) - 1.0);
}

double SignedPower10(double v) {
  return v >= 0.0 ? std::pow(10.0, v) : -std::pow(10.0, -v);
}

double PowerOfTwo(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 1e9)
    return std::exp2(v);
  const double whole = std::nearbyint(v);
  return std::exp2(whole) * std::exp2(v - whole);
}

std::string TrimFloatText(std::string_view text, int digits) {
  std::string s(text);
  const std::size_t e = s.find('E');
  if (e == std::string::npos)
    return s;
  // The decimal separator: the mantissa's first character that is neither a
  // digit nor a sign.
  std::size_t sep = std::string::npos;
  for (std::size_t i = 0; i < e; ++i) {
    const char c = s[i];
    if ((c < '0' || c > '9') && c != '-' && c != '+') {
      sep = i;
      break;
    }
  }
  if (sep != std::string::npos) {
    const std::size_t keepEnd = sep + 1 + static_cast<std::size_t>(digits < 0 ? 0 : digits);
    if (keepEnd < e)
      s.erase(keepEnd, e - keepEnd);
  }
  for (std::size_t at = s.find("E0"); at != std::string::npos; at = s.find("E0"))
    s.erase(at + 1, 1);
  return s;
}

std::string ExpandLabelMacros(std::string_view text, std::string_view defaultText,
                              const std::function<std::optional<std::string>(char)>& macro,
                              bool defaultMacro) {
  std::string result;
  // Expands one template; `insideDefault` stops a default from being
  // inserted into itself.
  auto expand = [&](std::string_view tmpl, bool insideDefault, auto& self) -> bool {
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
      if (tmpl[i] != '%') {
        result += tmpl[i];
        continue;
      }
      if (i + 1 >= tmpl.size())
        return false;  // a trailing "%" ends the result
      char c = tmpl[++i];
      if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
      if (c == '%') {
        result += '%';
      } else if (c == 'D' && defaultMacro) {
        if (!insideDefault && !self(defaultText, true, self))
          return false;
      } else if (std::optional<std::string> piece = macro(c)) {
        result += *piece;
      }
    }
    return true;
  };
  expand(text.empty() ? defaultText : text, text.empty(), expand);
  return result;
}

double PixelToValueOnSpan(std::int32_t position, const TTrelValueAxisSpan& span, double max,
                          double min) {
  double range = max - min;
  if (range == 0.0)
    range = 1e-05;
  const double extent = static_cast<double>(span.End) - span.Start;
  const double fromStart = static_cast<double>(position) - span.Start;
  if (span.Logarithmic) {
    const double l0 = SignedLog10(min);
    const double l1 = SignedLog10(max);
    if (l1 != l0 && std::isfinite(l1 - l0)) {
      const double zero = std::nearbyint(extent * l1 / (l1 - l0));
      if (zero != 0.0 && std::isfinite(zero)) {
        const double n = span.Reversed ? zero - (extent - fromStart) : zero - fromStart;
        return InverseSignedLog10(n * l1 / zero);
      }
    }
  }
  const double p = span.Reversed ? static_cast<double>(span.End) - position : fromStart;
  const double steps = extent - 1.0 >= 1.0 ? extent - 1.0 : 1.0;
  return max - p * range / steps;
}
