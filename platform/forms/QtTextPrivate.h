// Private to the Qt half of the platform (platform/forms, platform/graphics):
// our text in Qt's string type. Every conversion to QString goes through
// these, so the rule (UTF-8 in, bytes that start no character become U+FFFD)
// is written once. Not for other modules.
#pragma once

#include <QString>
#include <string_view>

// UTF-8 text as a QString.
inline QString ToQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// UTF-16 text as a QString: `length` code units, or up to the first zero
// when `length` is negative; a null `text` is the empty string.
inline QString ToQString(const char16_t* text, qsizetype length) {
  if (text == nullptr)
    return QString();
  if (length < 0) {
    length = 0;
    while (text[length] != 0)
      ++length;
  }
  return QString::fromUtf16(text, length);
}
