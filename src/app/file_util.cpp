#include "app/file_util.h"

#include <algorithm>

#include "app/dbg_print.h"

int iReadFileBuf(const char* path, int size, void* buffer) {
    if (path == nullptr || buffer == nullptr) {
        return 0;
    }
    const FilePtr file(std::fopen(path, "rb"));
    if (!file) {
        return 0;
    }
    constexpr int kChunkBytes = 0x20000;
    auto* bytes = static_cast<unsigned char*>(buffer);
    int total = 0;
    int remaining = size;
    while (remaining > 0) {
        const int chunk = std::min(remaining, kChunkBytes);
        const size_t got = std::fread(bytes + total, 1, static_cast<size_t>(chunk), file.get());
        if (got == 0) {
            break;
        }
        total += static_cast<int>(got);
        remaining -= static_cast<int>(got);
    }
    if (total == 0) {
        vDbgPrint("camkit:%s, %d=>read fail\r\n", "iReadFileBuf", __LINE__);
    }
    return total;
}

int iWriteBufToFile(int length, FilePtr& file, const char* path, const void* data) {
    if (!file) {
        if (path == nullptr) {
            return -1;
        }
        vDbgPrint("camkit:%s, %d=>openfile:%s\r\n", "iWriteBufToFile", __LINE__, path);
        file.reset(std::fopen(path, "wb+"));
        if (!file) {
            vDbgPrint("camkit:err:%s, %d=>open file:%s\r\n", "iWriteBufToFile", __LINE__, path);
            return -1;
        }
    }
    if (length < 1 || data == nullptr) {
        return 0;
    }
    return static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(length), file.get()));
}
