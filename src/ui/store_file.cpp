#include "ui/store_file.h"

#include "app/atomic_file.h"
#include "app/dbg_print.h"

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
    std::string error;
    if (fgWriteFileAtomic(path.string(), content, error, EFileAccess::kPrivate)) {
        return 0;
    }
    vDbgPrint("camkit:err:%s, %d=>%s\r\n", "iRewriteStoreFile", __LINE__, error.c_str());
    return -1;
}
