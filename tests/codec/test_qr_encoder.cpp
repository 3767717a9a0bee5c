// The QR encoder checked from outside: a real reader (zbar) decodes what it draws, and
// an independent encoder (qrcodegen) given the same parameters draws the same modules.
#include <gtest/gtest.h>

#include <cstdint>
#include <qrcodegen/qrcodegen.hpp>
#include <set>
#include <string>
#include <vector>

#include "codec/qr/qr_bitmap.h"
#include "codec/qr/qr_encoder.h"
#include "codec/qr_reader.h"

namespace {

const std::string kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

// The matrix qrcodegen draws: version 2, level M, its own mask choice; "" when it
// encodes the text otherwise.
std::string strReferenceMatrix(const std::string& text, int& mask) {
    using qrcodegen::QrCode;
    using qrcodegen::QrSegment;
    const QrCode code =
        QrCode::encodeSegments({QrSegment::makeAlphanumeric(text.c_str())}, QrCode::Ecc::MEDIUM,
                               CQrSymbol::kVersion, CQrSymbol::kVersion, -1, false);
    mask = code.getMask();
    std::string rows;
    for (int row = 0; row < code.getSize(); ++row) {
        for (int col = 0; col < code.getSize(); ++col) {
            rows += code.getModule(col, row) ? '#' : '.';
        }
        rows += '\n';
    }
    return rows;
}

std::string strMatrix(const CQrSymbol& symbol) {
    std::string rows;
    for (int row = 0; row < CQrSymbol::kSize; ++row) {
        for (int col = 0; col < CQrSymbol::kSize; ++col) {
            rows += symbol.fgDark(row, col) ? '#' : '.';
        }
        rows += '\n';
    }
    return rows;
}

class QrUid : public ::testing::TestWithParam<std::string> {};

TEST_P(QrUid, ReaderDecodesTheBitmapAndTheMatrixMatchesAnIndependentEncoder) {
    const std::string& uid = GetParam();
    CQrEncoder encoder;
    ASSERT_EQ(encoder.qrAddData2(uid), 0);
    ASSERT_EQ(encoder.iFinish(), 0) << encoder.strLastError();
    ASSERT_NE(encoder.psSymbol(), nullptr);

    int referenceMask = -1;
    EXPECT_EQ(strMatrix(*encoder.psSymbol()), strReferenceMatrix(uid, referenceMask));
    EXPECT_EQ(encoder.psSymbol()->iMask(), referenceMask);

    const CQrBitmap bitmap = sMakeQrBitmap(uid);
    ASSERT_EQ(bitmap.m_iError, 0);
    EXPECT_EQ(bitmap.m_bmp, qrSymbolToBMP(*encoder.psSymbol()));
    EXPECT_EQ(vecReadQrBmp(bitmap.m_bmp), std::vector<std::string>{uid});
}

INSTANTIATE_TEST_SUITE_P(
    Uids, QrUid,
    ::testing::Values("KSTR-A1B2C3-D4E5F6-7", "ABCDEFGHIJKLMNOPQRST", "00000000000000000000",
                      "NRVK-000123-ABCDE-99", "Z-9-Y-8-X-7-W-6-V-5-",
                      kAlphabet.substr(0, kQrMaxChars),  // 38 characters, the limit
                      kAlphabet.substr(kQrMaxChars),     // the rest of the set, odd length
                      "A"));

// Every mask pattern is the choice for some text, and for each the penalty rules pick
// the same one as the independent encoder.
TEST(QrEncoder, MaskChoiceAgreesWithIndependentEncoderOverManyTexts) {
    std::uint32_t seed = 12345;
    std::set<int> masksSeen;
    for (int round = 0; round < 400; ++round) {
        std::string text;
        seed = seed * 1103515245u + 12345u;
        const std::size_t length = 1 + (seed >> 16) % kQrMaxChars;
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += kAlphabet[(seed >> 16) % kAlphabet.size()];
        }
        CQrEncoder encoder;
        encoder.qrAddData2(text);
        ASSERT_EQ(encoder.iFinish(), 0) << text;
        int referenceMask = -1;
        ASSERT_EQ(strMatrix(*encoder.psSymbol()), strReferenceMatrix(text, referenceMask))
            << "'" << text << "'";
        masksSeen.insert(encoder.psSymbol()->iMask());
    }
    EXPECT_EQ(masksSeen.size(), 8u);
}

std::uint32_t uLe(const std::vector<std::uint8_t>& bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    }
    return value;
}

TEST(QrBitmap, HeaderPaletteAndSizeFollowTheBitmapFormat) {
    const std::vector<std::uint8_t> bmp = sMakeQrBitmap("KSTR-A1B2C3-D4E5F6-7").m_bmp;
    ASSERT_EQ(bmp.size(), 9566u);
    struct CField {
        std::size_t m_at;
        int m_width;
        std::uint32_t m_value;
        const char* m_name;
    };
    const CField fields[] = {
        {0, 2, 0x4D42, "signature BM"},
        {2, 4, 9566, "file size"},
        {6, 4, 0, "reserved"},
        {10, 4, 62, "pixel offset"},
        {14, 4, 40, "info header size"},
        {18, 4, 264, "width"},
        {22, 4, 264, "height (bottom-up)"},
        {26, 2, 1, "planes"},
        {28, 2, 1, "bits per pixel"},
        {30, 4, 0, "no compression"},
        {34, 4, 9504, "pixel bytes"},
        {46, 4, 2, "colours used"},
        {54, 4, 0x000000, "palette 0 black"},
        {58, 4, 0xFFFFFF, "palette 1 white"},
    };
    for (const CField& field : fields) {
        EXPECT_EQ(uLe(bmp, field.m_at, field.m_width), field.m_value) << field.m_name;
    }
    // The quiet zone: the whole bottom pixel row is white, and so are the row's
    // padding bytes, which must be zero.
    for (std::size_t i = 62; i < 62 + 33; ++i) {
        EXPECT_EQ(bmp[i], 0xFF) << i;
    }
    for (std::size_t i = 62 + 33; i < 62 + 36; ++i) {
        EXPECT_EQ(bmp[i], 0x00) << i;
    }
    // The top-left finder's corner module: 8 x 8 black pixels at (32, 32) from the top.
    const std::size_t topRow = 62 + 36 * (263 - 32);
    EXPECT_EQ(bmp[topRow + 4], 0x00);
    EXPECT_EQ(bmp[topRow + 3], 0xFF);
}

struct CRefusal {
    std::vector<std::string> m_chunks;  // one qrAddData2 call each
    int m_iCode;
    std::string m_strMessage;
};

TEST(QrEncoder, RefusedTextsFailTheFinishStepWithTheirReason) {
    const std::string over = kAlphabet.substr(0, 38) + "A";
    const CRefusal refusals[] = {
        {{"KSTR-a1B2C3-D4E5F6-7"},
         kQrErrBadChar,
         "character 'a' at position 6 cannot be encoded (only 0-9, A-Z, space and $ % * + - . / "
         ":)"},
        {{"ABC", "DEF\n"}, kQrErrBadChar, "character 0x0A at position 7"},
        {{"KSTR_1"}, kQrErrBadChar, "character '_' at position 5"},
        {{over}, kQrErrTooLong, "39 characters, but at most 38 fit in the symbol"},
        {{over.substr(0, 20), over.substr(20), "BC"}, kQrErrTooLong, "41 characters"},
        {{"1234", "x", std::string(40, 'A')}, kQrErrBadChar, "character 'x' at position 5"},
        {{}, kQrErrEmpty, "nothing to encode: the text is empty"},
        {{""}, kQrErrEmpty, "nothing to encode"},
    };
    for (const CRefusal& refusal : refusals) {
        CQrEncoder encoder;
        for (const std::string& chunk : refusal.m_chunks) {
            encoder.qrAddData2(chunk);
        }
        EXPECT_EQ(encoder.iFinish(), refusal.m_iCode) << refusal.m_strMessage;
        EXPECT_EQ(encoder.psSymbol(), nullptr);
        EXPECT_EQ(encoder.iLastError(), refusal.m_iCode);
        EXPECT_EQ(encoder.strLastError().rfind(refusal.m_strMessage, 0), 0u)
            << encoder.strLastError();

        std::string text;
        for (const std::string& chunk : refusal.m_chunks) {
            text += chunk;
        }
        const CQrBitmap bitmap = sMakeQrBitmap(text);
        EXPECT_TRUE(bitmap.m_bmp.empty());
        EXPECT_EQ(bitmap.m_iError, refusal.m_iCode);
        EXPECT_EQ(bitmap.m_strError, encoder.strLastError());
    }
}

TEST(QrEncoder, FinishedSymbolTakesNoMoreData) {
    CQrEncoder encoder;
    ASSERT_EQ(encoder.qrAddData2("AB"), 0);
    ASSERT_EQ(encoder.qrAddData2("12"), 0);
    ASSERT_EQ(encoder.iFinish(), 0);
    const std::string before = strMatrix(*encoder.psSymbol());
    EXPECT_EQ(encoder.qrAddData2("C"), kQrErrFinished);
    EXPECT_EQ(encoder.iFinish(), 0);
    EXPECT_EQ(strMatrix(*encoder.psSymbol()), before);
    EXPECT_EQ(vecReadQrBmp(qrSymbolToBMP(*encoder.psSymbol())), std::vector<std::string>{"AB12"});
}

}  // namespace
