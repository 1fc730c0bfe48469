// Text helpers: engine strings are UTF-8 (the platform's native encoding); these convert to
// and from code points and compare without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace sondrel {

// Invalid sequences become U+FFFD, so hostile input never stops a conversion.
std::u32string Utf8ToUtf32(std::string_view text);
std::string Utf32ToUtf8(std::u32string_view text);

// Appends one code point as UTF-8 (the caller keeps it valid).
void AppendUtf8(std::string& out, char32_t cp);
// 0..15 for a hexadecimal digit of either case, -1 for any other character.
int HexDigitValue(char c);

// Simple case folding for Latin, Greek and Cyrillic letters (enough for device names).
char32_t FoldCase(char32_t c);
std::u32string FoldCase(std::u32string_view text);

// True when needle occurs in haystack, ignoring case. An empty needle is found everywhere.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace sondrel
