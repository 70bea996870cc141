// Text helpers for dotted pin paths ("fmMain.MoskRemoveDC1.InputPin").
// Internal to the pins module.
#pragma once

#include <string>

namespace vek_detail {

// What follows the first "."; empty when there is none.
inline std::string AfterFirstDot(const std::string& s) {
  const size_t dot = s.find('.');
  return dot == std::string::npos ? std::string() : s.substr(dot + 1);
}

// What precedes the first "."; empty when there is none.
inline std::string BeforeFirstDot(const std::string& s) {
  const size_t dot = s.find('.');
  return dot == std::string::npos ? std::string() : s.substr(0, dot);
}

}  // namespace vek_detail
