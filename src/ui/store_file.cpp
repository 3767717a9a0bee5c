#include "ui/store_file.h"

#include <cstdio>
#include <system_error>

#include "platform/files.h"

EStoreLine eReadStoreLine(std::istream& stream, std::string& line) {
    line.clear();
    bool tooLong = false;
    bool any = false;
    for (;;) {
        const int next = stream.get();
        if (next == std::char_traits<char>::eof()) {
            break;
        }
        any = true;
        if (next == '\n') {
            break;
        }
        if (line.size() < kStoreLineMax) {
            line.push_back(static_cast<char>(next));
        } else {
            tooLong = true;
        }
    }
    if (!any) {
        return EStoreLine::kEnd;
    }
    if (tooLong) {
        line.clear();
        return EStoreLine::kTooLong;
    }
    return EStoreLine::kLine;
}

int iRewriteStoreFile(const std::filesystem::path& path, std::string_view content) {
    std::filesystem::path tempPath;
    FilePtr temp = sCreatePrivateTemp(path, tempPath);
    if (!temp) {
        return -1;
    }
    std::error_code ignored;
    const bool written =
        std::fwrite(content.data(), 1, content.size(), temp.get()) == content.size() &&
        iFlushToDisk(temp.get()) == 0;
    // A late write error shows at the close.
    const bool closed = std::fclose(temp.release()) == 0;
    if (!written || !closed) {
        std::filesystem::remove(tempPath, ignored);
        return -2;
    }
    if (iReplaceFile(tempPath, path) != 0) {
        std::filesystem::remove(tempPath, ignored);
        return -3;
    }
    return 0;
}
