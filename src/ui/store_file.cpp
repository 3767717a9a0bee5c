#include "ui/store_file.h"

#include <fstream>
#include <system_error>

#include "app/atomic_file.h"
#include "app/log.h"

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

void vForEachStoreLine(const std::filesystem::path& path,
                       const std::function<void(const std::string&)>& onLine) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        KLOG_ERR("open null: %s", path.string().c_str());
        return;
    }
    std::string line;
    for (EStoreLine kind = eReadStoreLine(file, line); kind != EStoreLine::kEnd;
         kind = eReadStoreLine(file, line)) {
        if (kind == EStoreLine::kLine) {
            onLine(line);
        }
    }
}

int iRewriteStoreFile(const std::filesystem::path& path, std::string_view content) {
    std::string error;
    if (fgWriteFileAtomic(path.string(), content, error, EFileAccess::kPrivate)) {
        return 0;
    }
    KLOG_ERR("%s", error.c_str());
    return -1;
}
