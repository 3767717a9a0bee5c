#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Conversion between character sets named as iconv names them ("UTF-8", "GBK",
// "GB2312", "CP936", "ISO-8859-1", "ASCII"): iconv on POSIX, the code pages of
// MultiByteToWideChar / WideCharToMultiByte on Windows.

// The character set of the user's locale ("UTF-8", "GBK", ...); on Windows the ANSI
// code page as "CP<n>" ("CP936"), or "UTF-8" for code page 65001.
std::string strLocalCharset();

// A converter from one set to another, kept for many conversions. Not shared between
// threads.
class CCharsetConverter {
  public:
    CCharsetConverter(const char* toCharset, const char* fromCharset);
    ~CCharsetConverter();
    CCharsetConverter(const CCharsetConverter&) = delete;
    CCharsetConverter& operator=(const CCharsetConverter&) = delete;

    // False when the system knows either set not.
    bool fgValid() const;
    // Converts all of text; nullopt when the converter is not valid or the text holds
    // a byte sequence that is invalid, incomplete or has no equivalent in the target.
    std::optional<std::string> strConvert(std::string_view text) const;

  private:
    struct CState;
    std::unique_ptr<CState> m_state;
};

// One conversion with a converter of its own.
std::optional<std::string> strConvertCharset(std::string_view text, const char* toCharset,
                                             const char* fromCharset);
