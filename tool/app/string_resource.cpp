// Loading a string of the program's string table as ANSI text.
#include "string_resource.h"

bool LoadStringAnsi(UINT id, std::string& text) {
    // Strings are stored in blocks of 16, each a count-prefixed UTF-16 text; block n holds
    // the IDs (n - 1) * 16 to n * 16 - 1.
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC block = FindResourceA(module, MAKEINTRESOURCEA(id / 16 + 1), MAKEINTRESOURCEA(6));  // RT_STRING
    if (block == nullptr) {
        return false;
    }
    HGLOBAL loaded = LoadResource(module, block);
    const WCHAR* entry = loaded != nullptr ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (entry == nullptr) {
        return false;
    }
    const WCHAR* end = entry + SizeofResource(module, block) / sizeof(WCHAR);
    for (UINT skip = id % 16; skip > 0; --skip) {
        if (entry >= end) {
            return false;
        }
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0 || *entry > end - entry - 1) {
        return false;
    }
    const int length = *entry;
    const WCHAR* chars = entry + 1;
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, chars, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return false;
    }
    std::string converted(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, chars, length, &converted[0], size, nullptr, nullptr);
    text = converted;
    return true;
}
