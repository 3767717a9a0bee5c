#pragma once

#include <string>
#include <string_view>

// Reads one value from INI text with the rules of the classic profile-string reader:
// section and key names match without regard to case, blanks around names and values
// are dropped, a value enclosed in one pair of matching quotes (" or ') loses them,
// and the first matching key of the first matching section wins. Lines beginning
// with ';' are comments. The value is cut to maxBytes bytes, never inside a
// double-byte GBK character. Returns an empty text when nothing matches.
// Pure: reads only the given text, never past it.
std::string strProfileValue(std::string_view fileText, std::string_view section,
                            std::string_view key, size_t maxBytes);
