#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Text conversions between the local code page and UTF-8. The local code page is the
// character set of the process locale (nl_langinfo(CODESET) after setlocale); the
// plain "C" locale counts as UTF-8, as on every current Linux desktop.
// Both functions are reentrant and bound their work to 1024 UTF-16 units, the size
// of the intermediate text the station has always used.

inline constexpr int kConvUnitsMax = 1024;

// Whether the station writes local text in charset (strLocalCharset) as UTF-8: UTF-8
// itself, and the plain "C" locale's ASCII.
bool fgIsUtf8Charset(const std::string& charset);

// Converts `length` bytes of local text to UTF-8 into `destination` (with terminator).
// 0 converted; -1 the text needs more than 1023 UTF-16 units or is not valid in the
// local code page; -2 the source is too long (2 * length + 2 > 2048) or missing;
// -3 the destination cannot hold the result plus one spare byte (it is left unchanged).
int iAnsi2Utf8(int length, const char* source, char* destination, int destinationSize);

// Converts at most `length` bytes of UTF-8 (stopping at a NUL) to the local code page.
// Invalid sequences become U+FFFD and characters the code page lacks become '?'; the
// text is cut to 1024 UTF-16 units and then to whole characters that fit into
// destinationSize - 1 bytes. Always terminates when destinationSize > 0; never writes
// past the destination nor reads past the source.
void vUtf82Ansi(char* destination, const char* source, int length, int destinationSize);

// A name a device sent in UTF-8 (at most utf8.size() bytes, stopping at a NUL), in
// the local code page cut to whole characters within destinationBytes bytes.
std::string strLocalName(std::span<const std::uint8_t> utf8, int destinationBytes);

// Converts text from the named character set to UTF-8, dropping nothing: invalid
// input gives std::nullopt. Used for the GBK language file.
std::optional<std::string> strToUtf8(std::string_view text, const char* fromCharset);

// Converts UTF-8 text to the named character set; nullopt when it cannot be
// represented there.
std::optional<std::string> strFromUtf8(std::string_view text, const char* toCharset);

// The text with every invalid UTF-8 sequence replaced by U+FFFD, so that it can be
// written where valid UTF-8 is required (JSON, CSV, Qt).
std::string strSanitizeUtf8(std::string_view text);
