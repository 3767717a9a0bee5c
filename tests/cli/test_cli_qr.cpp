// kestrel-cli qr as built: the files it writes are read back by a real QR reader (and
// the PNG by libpng first), and a UID that cannot be encoded writes nothing.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/qr_reader.h"
#include "support/temp_dir.h"

namespace {

struct CRun {
    int m_iExit = -1;
    std::string m_strOutput;  // standard output and standard error
};

CRun sRunCli(const std::string& args) {
    const std::string command = std::string(KESTREL_CLI_PATH) + " " + args + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    CRun run;
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        run.m_strOutput.append(chunk.data(), got);
    }
    const int status = ::pclose(pipe);
    run.m_iExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::uint8_t> bufReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// What the reader finds in a PNG file decoded by libpng; {"<no png>"} when libpng
// refuses it.
std::vector<std::string> vecReadQrPng(const std::string& path, int& side) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        return {"<no png>"};
    }
    image.format = PNG_FORMAT_GRAY;
    std::vector<std::uint8_t> grey(std::size_t{image.width} * image.height);
    if (png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return {"<no png>"};
    }
    side = static_cast<int>(image.width == image.height ? image.width : 0);
    return vecReadQrGrey(grey, static_cast<int>(image.width), static_cast<int>(image.height));
}

TEST(CliQr, WritesABitmapOrPngThatAReaderDecodesToTheUid) {
    const CTempDir dir;
    const std::string uid = "KSTR-A1B2C3-D4E5F6-7";
    struct CCase {
        const char* m_name;
        bool m_fgPng;
    };
    for (const CCase& c : {CCase{"label.bmp", false}, CCase{"label.png", true},
                           CCase{"LABEL.PNG", true}, CCase{"label", false}}) {
        const std::string path = dir.file(c.m_name);
        const CRun run = sRunCli("qr " + uid + " " + path);
        ASSERT_EQ(run.m_iExit, 0) << c.m_name << ": " << run.m_strOutput;
        const std::vector<std::uint8_t> bytes = bufReadFile(path);
        EXPECT_EQ(run.m_strOutput,
                  "wrote " + path + " (" + std::to_string(bytes.size()) + " bytes)\n");
        if (c.m_fgPng) {
            int side = 0;
            EXPECT_EQ(vecReadQrPng(path, side), std::vector<std::string>{uid}) << c.m_name;
            EXPECT_EQ(side, 264) << c.m_name;
        } else {
            EXPECT_EQ(bytes.size(), 9566u) << c.m_name;
            EXPECT_EQ(vecReadQrBmp(bytes), std::vector<std::string>{uid}) << c.m_name;
        }
    }
}

TEST(CliQr, RefusesAUidTheSymbolCannotHoldAndWritesNothing) {
    const CTempDir dir;
    const std::string path = dir.file("label.bmp");
    const CRun lower = sRunCli("qr KSTR-a1B2C3-D4E5F6-7 " + path);
    EXPECT_EQ(lower.m_iExit, 2);
    EXPECT_NE(lower.m_strOutput.find("character 'a' at position 6"), std::string::npos)
        << lower.m_strOutput;
    const CRun missingDir = sRunCli("qr KSTR " + dir.file("no/such/dir.bmp"));
    EXPECT_EQ(missingDir.m_iExit, 1);
    EXPECT_NE(missingDir.m_strOutput.find("cannot write"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
