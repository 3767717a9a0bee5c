#include "platform/thread_name.h"

#include <windows.h>

#include <string>

void vSetThreadName(std::string_view name) {
    // SetThreadDescription exists from Windows 10 on: looked up, not linked.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return;
    }
    const auto setDescription = reinterpret_cast<SetDescription>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
    if (setDescription == nullptr) {
        return;
    }
    const std::wstring wide(name.begin(), name.end());
    (void)setDescription(GetCurrentThread(), wide.c_str());
}
