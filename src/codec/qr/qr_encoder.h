#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The QR Code encoder of the UID preview. Its parameters are fixed: symbol version 2
// (25 x 25 modules), alphanumeric mode, error correction level M, the mask pattern
// chosen by the penalty rules of the symbology (lowest penalty, the lower pattern
// number on a tie). Such a symbol holds 1 to 38 characters of the alphanumeric set:
// digits, upper-case A to Z, blank and $ % * + - . / :.
//
// Pure computation: no I/O, no globals, no threads of its own.

// Error codes of the encoder (0 is success).
inline constexpr int kQrErrBadChar = -1;   // a character outside the alphanumeric set
inline constexpr int kQrErrEmpty = -2;     // nothing was added
inline constexpr int kQrErrTooLong = -3;   // more than kQrMaxChars characters
inline constexpr int kQrErrFinished = -4;  // data added after the symbol was finished

inline constexpr std::size_t kQrMaxChars = 38;

// A finished symbol: the 25 x 25 module matrix, dark or light, including the finder,
// timing and alignment patterns and the format information, without the quiet zone.
// Immutable; copies are cheap (no allocation).
class CQrSymbol {
  public:
    static constexpr int kVersion = 2;
    static constexpr int kSize = 25;  // modules per side

    // row and col in [0, kSize); out-of-range positions are light.
    bool fgDark(int row, int col) const {
        return row >= 0 && row < kSize && col >= 0 && col < kSize &&
               m_modules[static_cast<std::size_t>(row * kSize + col)];
    }
    // The mask pattern the penalty rules chose, in [0, 7].
    int iMask() const { return m_iMask; }

  private:
    friend class CQrEncoder;
    std::array<bool, static_cast<std::size_t>(kSize* kSize)> m_modules{};
    int m_iMask = 0;
};

// One symbol's encoder, used in the order: create (the constructor), add data
// (qrAddData2, any number of calls), finish (iFinish), render (qrSymbolToBMP of the
// finished symbol, see qr_bitmap.h), destroy (the destructor). Creating it cannot
// fail and allocates nothing; only the error message may allocate.
//
// The encoder keeps the code and message of its last failure. Messages name the
// offending character (as itself when printable, else as a hex byte) with its 1-based
// position, or the length; they are at most 1023 characters. Not thread-safe; one
// owner.
class CQrEncoder {
  public:
    CQrEncoder() = default;

    // Appends the bytes of text. Returns 0, or kQrErrBadChar for the first character
    // outside the alphanumeric set, kQrErrTooLong once more than kQrMaxChars characters
    // were added, kQrErrFinished after iFinish. A failure is kept: iFinish then fails
    // with the same code and message.
    int qrAddData2(std::string_view text);

    // Builds the symbol from the data added so far. Returns 0 (then psSymbol() holds the
    // symbol), or the error of the data (kQrErrBadChar, kQrErrEmpty, kQrErrTooLong).
    // Once it has succeeded, later calls return 0 and change nothing.
    int iFinish();

    // The finished symbol; null before iFinish succeeded.
    const CQrSymbol* psSymbol() const { return m_symbol ? &*m_symbol : nullptr; }

    // The last failure: 0 and "" when there was none.
    int iLastError() const { return m_iError; }
    const std::string& strLastError() const { return m_strError; }

  private:
    int iFail(int code, std::string message);

    std::array<char, kQrMaxChars> m_data{};
    std::size_t m_dataChars = 0;  // characters added, possibly more than fit
    int m_iDataError = 0;         // the first fault of the data, kept for iFinish
    std::string m_strDataError;
    std::optional<CQrSymbol> m_symbol;
    int m_iError = 0;
    std::string m_strError;
};
