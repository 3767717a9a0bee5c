#include "codec/qr/qr_encoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kSize = CQrSymbol::kSize;
constexpr std::size_t kModules = static_cast<std::size_t>(kSize * kSize);
constexpr std::size_t kDataCodewords = 28;  // version 2, level M: one block
constexpr std::size_t kEccCodewords = 16;
constexpr std::size_t kDataBits = kDataCodewords * 8;
constexpr int kAlignCenter = 18;      // the one alignment pattern of version 2
constexpr unsigned kEclBitsM = 0b00;  // level M in the format information
constexpr int kMasks = 8;

constexpr int kPenaltyRun = 3;       // rule 1: five or more alike in a line, plus one per extra
constexpr int kPenaltyBlock = 3;     // rule 2: each 2 x 2 block of one colour
constexpr int kPenaltyFinder = 40;   // rule 3: a 1:1:3:1:1 pattern beside four units of light
constexpr int kPenaltyBalance = 10;  // rule 4: per 5 % of dark modules away from half

using Codewords = std::array<std::uint8_t, kDataCodewords + kEccCodewords>;
using Modules = std::array<bool, kModules>;

// The value of ch in the alphanumeric set, -1 when it is not in it.
int iAlnumValue(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'A' && ch <= 'Z') {
        return ch - 'A' + 10;
    }
    constexpr std::string_view kPunctuation = " $%*+-./:";
    const std::size_t at = kPunctuation.find(ch);
    return at == std::string_view::npos ? -1 : 36 + static_cast<int>(at);
}

std::size_t uIndex(int row, int col) {
    return static_cast<std::size_t>(row * kSize + col);
}

// Product in GF(256) over the field polynomial x^8 + x^4 + x^3 + x^2 + 1.
std::uint8_t byGfMul(std::uint8_t a, std::uint8_t b) {
    unsigned product = 0;
    for (int bit = 7; bit >= 0; --bit) {
        product = (product << 1) ^ ((product >> 7) * 0x11Du);
        if (((b >> bit) & 1u) != 0) {
            product ^= a;
        }
    }
    return static_cast<std::uint8_t>(product);
}

// The Reed-Solomon error correction codewords of data, appended behind it.
void vAppendEcc(Codewords& codewords) {
    // Generator polynomial (x - a^0)(x - a^1)...(x - a^15), highest power first.
    std::array<std::uint8_t, kEccCodewords + 1> generator{};
    generator[0] = 1;
    std::uint8_t root = 1;
    for (std::size_t degree = 0; degree < kEccCodewords; ++degree) {
        for (std::size_t k = degree + 1; k > 0; --k) {
            generator[k] ^= byGfMul(generator[k - 1], root);
        }
        root = byGfMul(root, 2);
    }
    std::array<std::uint8_t, kEccCodewords> remainder{};
    for (std::size_t i = 0; i < kDataCodewords; ++i) {
        const std::uint8_t factor = codewords[i] ^ remainder[0];
        std::copy(remainder.begin() + 1, remainder.end(), remainder.begin());
        remainder.back() = 0;
        for (std::size_t k = 0; k < kEccCodewords; ++k) {
            remainder[k] ^= byGfMul(generator[k + 1], factor);
        }
    }
    std::copy(remainder.begin(), remainder.end(), codewords.begin() + kDataCodewords);
}

// The data codewords of an alphanumeric segment: mode, count, values, terminator and
// padding. text holds 1 to kQrMaxChars characters of the set.
Codewords sEncodeData(std::string_view text) {
    Codewords codewords{};
    std::size_t bits = 0;
    const auto put = [&codewords, &bits](unsigned value, int width) {
        for (int bit = width - 1; bit >= 0; --bit) {
            if (((value >> bit) & 1u) != 0) {
                codewords[bits / 8] |= static_cast<std::uint8_t>(0x80u >> (bits % 8));
            }
            ++bits;
        }
    };
    put(0b0010, 4);  // alphanumeric mode
    put(static_cast<unsigned>(text.size()), 9);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        put(static_cast<unsigned>(iAlnumValue(text[i]) * 45 + iAlnumValue(text[i + 1])), 11);
    }
    if (text.size() % 2 != 0) {
        put(static_cast<unsigned>(iAlnumValue(text.back())), 6);
    }
    bits = std::min(kDataBits, bits + 4);  // terminator, shortened when the symbol is full
    bits = (bits + 7) / 8 * 8;
    for (std::size_t i = bits / 8, pad = 0; i < kDataCodewords; ++i, ++pad) {
        codewords[i] = pad % 2 == 0 ? 0xEC : 0x11;
    }
    vAppendEcc(codewords);
    return codewords;
}

// The module matrix while it is built: colours, and which modules are function patterns
// (kept out of data placement and masking).
struct CMatrix {
    Modules m_dark{};
    Modules m_function{};

    void vSetFunction(int row, int col, bool dark) {
        m_dark[uIndex(row, col)] = dark;
        m_function[uIndex(row, col)] = true;
    }
};

void vDrawFunctionPatterns(CMatrix& matrix) {
    for (int i = 0; i < kSize; ++i) {
        matrix.vSetFunction(6, i, i % 2 == 0);
        matrix.vSetFunction(i, 6, i % 2 == 0);
    }
    // Finder patterns with their light separators, cut at the symbol's edge.
    constexpr std::array<std::pair<int, int>, 3> kFinders{{{0, 0}, {0, kSize - 7}, {kSize - 7, 0}}};
    for (const auto& [top, left] : kFinders) {
        for (int dr = -1; dr <= 7; ++dr) {
            for (int dc = -1; dc <= 7; ++dc) {
                const int row = top + dr;
                const int col = left + dc;
                if (row < 0 || row >= kSize || col < 0 || col >= kSize) {
                    continue;
                }
                const int ring = std::max(std::abs(dr - 3), std::abs(dc - 3));
                matrix.vSetFunction(row, col, ring != 2 && ring != 4);
            }
        }
    }
    for (int dr = -2; dr <= 2; ++dr) {
        for (int dc = -2; dc <= 2; ++dc) {
            const int ring = std::max(std::abs(dr), std::abs(dc));
            matrix.vSetFunction(kAlignCenter + dr, kAlignCenter + dc, ring != 1);
        }
    }
}

// The two copies of the 15 format bits (level M and mask, BCH protected, XOR masked),
// and the dark module beside the lower-left finder.
void vDrawFormatBits(CMatrix& matrix, int mask) {
    const unsigned data = (kEclBitsM << 3) | static_cast<unsigned>(mask);
    unsigned remainder = data;
    for (int i = 0; i < 10; ++i) {
        remainder = (remainder << 1) ^ ((remainder >> 9) * 0x537u);
    }
    const unsigned format = ((data << 10) | remainder) ^ 0x5412u;
    const auto bit = [format](int i) { return ((format >> i) & 1u) != 0; };

    for (int i = 0; i <= 5; ++i) {
        matrix.vSetFunction(i, 8, bit(i));
    }
    matrix.vSetFunction(7, 8, bit(6));
    matrix.vSetFunction(8, 8, bit(7));
    matrix.vSetFunction(8, 7, bit(8));
    for (int i = 9; i < 15; ++i) {
        matrix.vSetFunction(8, 14 - i, bit(i));
    }
    for (int i = 0; i < 8; ++i) {
        matrix.vSetFunction(8, kSize - 1 - i, bit(i));
    }
    for (int i = 8; i < 15; ++i) {
        matrix.vSetFunction(kSize - 15 + i, 8, bit(i));
    }
    matrix.vSetFunction(kSize - 8, 8, true);
}

// Places the codewords, most significant bit first, in two-module columns from the
// lower right, up and down in turn, stepping over the vertical timing pattern. The
// modules left over (the remainder bits) stay light.
void vPlaceCodewords(CMatrix& matrix, const Codewords& codewords) {
    const std::size_t totalBits = codewords.size() * 8;
    std::size_t bitIndex = 0;
    bool upward = true;
    for (int right = kSize - 1; right >= 1; right -= 2) {
        if (right == 6) {
            right = 5;
        }
        for (int step = 0; step < kSize; ++step) {
            const int row = upward ? kSize - 1 - step : step;
            for (int col = right; col >= right - 1; --col) {
                if (matrix.m_function[uIndex(row, col)] || bitIndex >= totalBits) {
                    continue;
                }
                const std::uint8_t codeword = codewords[bitIndex / 8];
                matrix.m_dark[uIndex(row, col)] = ((codeword >> (7 - bitIndex % 8)) & 1u) != 0;
                ++bitIndex;
            }
        }
        upward = !upward;
    }
}

bool fgMaskHits(int mask, int row, int col) {
    switch (mask) {
        case 0:
            return (row + col) % 2 == 0;
        case 1:
            return row % 2 == 0;
        case 2:
            return col % 3 == 0;
        case 3:
            return (row + col) % 3 == 0;
        case 4:
            return (row / 2 + col / 3) % 2 == 0;
        case 5:
            return (row * col) % 2 + (row * col) % 3 == 0;
        case 6:
            return ((row * col) % 2 + (row * col) % 3) % 2 == 0;
        default:
            return ((row + col) % 2 + (row * col) % 3) % 2 == 0;
    }
}

// Inverts the data modules the mask selects; applying it twice restores the matrix.
void vApplyMask(CMatrix& matrix, int mask) {
    for (int row = 0; row < kSize; ++row) {
        for (int col = 0; col < kSize; ++col) {
            if (!matrix.m_function[uIndex(row, col)] && fgMaskHits(mask, row, col)) {
                matrix.m_dark[uIndex(row, col)] = !matrix.m_dark[uIndex(row, col)];
            }
        }
    }
}

// Rules 1 and 3 for one row or column, read through dark(i) for i in [0, kSize). The
// quiet zone around the symbol counts as light, so a light run touching the edge is
// long enough for rule 3.
template <typename ModuleAt>
int iLinePenalty(ModuleAt dark) {
    constexpr int kBorderRun = kSize;   // longer than any pattern could ask for
    std::array<int, kSize + 2> runs{};  // lengths; even indices light, odd dark
    std::size_t count = 1;
    runs[0] = kBorderRun;
    for (int i = 0; i < kSize; ++i) {
        const bool isLightRun = count % 2 == 1;
        if (dark(i) == isLightRun) {
            ++count;
        }
        ++runs[count - 1];
    }
    if (count % 2 == 0) {
        ++count;
    }
    runs[count - 1] += kBorderRun;

    int penalty = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const int length = runs[k] - (k == 0 ? kBorderRun : 0) - (k + 1 == count ? kBorderRun : 0);
        if (length >= 5) {
            penalty += kPenaltyRun + (length - 5);
        }
    }
    // A dark:light:dark:light:dark run of 1:1:3:1:1 units looks like a finder when one
    // side has at least four units of light and the other at least one; each such side
    // counts.
    for (std::size_t k = 1; k + 5 < count; k += 2) {
        const int unit = runs[k];
        if (runs[k + 1] != unit || runs[k + 2] != 3 * unit || runs[k + 3] != unit ||
            runs[k + 4] != unit) {
            continue;
        }
        const int before = runs[k - 1];
        const int after = runs[k + 5];
        penalty += (before >= 4 * unit && after >= unit) ? kPenaltyFinder : 0;
        penalty += (after >= 4 * unit && before >= unit) ? kPenaltyFinder : 0;
    }
    return penalty;
}

int iPenalty(const Modules& dark) {
    const auto at = [&dark](int row, int col) { return dark[uIndex(row, col)]; };
    int penalty = 0;
    for (int line = 0; line < kSize; ++line) {
        penalty += iLinePenalty([&](int i) { return at(line, i); });
        penalty += iLinePenalty([&](int i) { return at(i, line); });
    }
    for (int row = 0; row + 1 < kSize; ++row) {
        for (int col = 0; col + 1 < kSize; ++col) {
            const bool colour = at(row, col);
            if (at(row, col + 1) == colour && at(row + 1, col) == colour &&
                at(row + 1, col + 1) == colour) {
                penalty += kPenaltyBlock;
            }
        }
    }
    const auto darkCount = static_cast<int>(std::count(dark.begin(), dark.end(), true));
    const int total = static_cast<int>(kModules);
    // Steps of 5 % away from half: |dark/total - 1/2| / (1/20), an exact 5 % border
    // counting with the step below it.
    const int deviation = std::abs(darkCount * 20 - total * 10);
    const int steps = deviation == 0 ? 0 : (deviation - 1) / total;
    return penalty + steps * kPenaltyBalance;
}

std::string strCharName(char ch) {
    const auto byte = static_cast<unsigned char>(ch);
    std::array<char, 8> name{};
    if (byte >= 0x20 && byte < 0x7F) {
        std::snprintf(name.data(), name.size(), "'%c'", ch);
    } else {
        std::snprintf(name.data(), name.size(), "0x%02X", byte);
    }
    return name.data();
}

}  // namespace

int CQrEncoder::iFail(int code, std::string message) {
    m_iError = code;
    m_strError = std::move(message);
    return code;
}

int CQrEncoder::qrAddData2(std::string_view text) {
    if (m_symbol) {
        return iFail(kQrErrFinished, "the symbol is finished; no data can be added");
    }
    for (const char ch : text) {
        const std::size_t position = ++m_dataChars;
        if (m_iDataError != 0) {
            continue;
        }
        if (iAlnumValue(ch) < 0) {
            m_iDataError = kQrErrBadChar;
            m_strDataError = "character " + strCharName(ch) + " at position " +
                             std::to_string(position) +
                             " cannot be encoded (only 0-9, A-Z, space and $ % * + - . / :)";
        } else if (position > kQrMaxChars) {
            m_iDataError = kQrErrTooLong;
        } else {
            m_data[position - 1] = ch;
        }
    }
    if (m_iDataError == kQrErrTooLong) {
        m_strDataError = std::to_string(m_dataChars) + " characters, but at most " +
                         std::to_string(kQrMaxChars) + " fit in the symbol";
    }
    return m_iDataError == 0 ? 0 : iFail(m_iDataError, m_strDataError);
}

int CQrEncoder::iFinish() {
    if (m_symbol) {
        return 0;
    }
    if (m_iDataError != 0) {
        return iFail(m_iDataError, m_strDataError);
    }
    if (m_dataChars == 0) {
        return iFail(kQrErrEmpty, "nothing to encode: the text is empty");
    }
    CMatrix matrix;
    vDrawFunctionPatterns(matrix);
    vDrawFormatBits(matrix, 0);  // reserves the format areas before data placement
    vPlaceCodewords(matrix, sEncodeData(std::string_view(m_data.data(), m_dataChars)));

    int bestMask = 0;
    int bestPenalty = 0;
    for (int mask = 0; mask < kMasks; ++mask) {
        vApplyMask(matrix, mask);
        vDrawFormatBits(matrix, mask);
        const int penalty = iPenalty(matrix.m_dark);
        if (mask == 0 || penalty < bestPenalty) {
            bestMask = mask;
            bestPenalty = penalty;
        }
        vApplyMask(matrix, mask);
    }
    vApplyMask(matrix, bestMask);
    vDrawFormatBits(matrix, bestMask);

    CQrSymbol symbol;
    symbol.m_modules = matrix.m_dark;
    symbol.m_iMask = bestMask;
    m_symbol = symbol;
    return 0;
}
