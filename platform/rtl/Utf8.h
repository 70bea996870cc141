// UTF-8 text: the well-formed characters and the UTF-16 form.
//
// Threads: any; no state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The length in bytes of the well-formed UTF-8 character at text[at], or 0
// when the byte there starts none (a stray continuation byte, an overlong
// form, a surrogate, a value beyond U+10FFFF, a sequence cut by the end).
// `at` must be inside `text`.
size_t Utf8CharLength(std::string_view text, size_t at);

// The UTF-16 form of UTF-8 text: characters beyond U+FFFF become surrogate
// pairs, and each byte that starts no well-formed character becomes one
// U+FFFD, so bad input loses no character around it.
std::u16string Utf8ToUtf16(std::string_view utf8);
