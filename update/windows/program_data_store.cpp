// The preserved-block store in the program-data folder: written to a temporary file, flushed to
// the disk, then renamed over the old copy, so that a crash or a power cut leaves either the old
// copy or the new one, never a part.
#include "program_data_store.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "preserved_file_name.h"

namespace {

// "<ProgramData>\Brg40mFup"; empty when the program-data folder cannot be had.
std::string StoreFolder() {
    char folder[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::string();
    }
    return std::string(folder) + "\\Brg40mFup";
}

// The file of one device; empty when the program-data folder cannot be had.
std::string StoreFile(const std::string& deviceId, bool createFolder) {
    const std::string path = StoreFolder();
    if (path.empty()) {
        return path;
    }
    if (createFolder && !CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return std::string();
    }
    return path + "\\" + PreservedFileName(deviceId);
}

}  // namespace

bool ProgramDataStore::Save(const std::string& deviceId, const uint8_t (&block)[kPreservedSize]) {
    const std::string path = StoreFile(deviceId, true);
    if (path.empty()) {
        return false;
    }
    const std::string temporary = path + ".new";
    HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool whole = WriteFile(file, block, kPreservedSize, &written, nullptr) && written == kPreservedSize &&
                       FlushFileBuffers(file);
    CloseHandle(file);
    if (!whole || !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

bool ProgramDataStore::Load(const std::string& deviceId, uint8_t (&block)[kPreservedSize]) {
    const std::string path = StoreFile(deviceId, false);
    if (path.empty()) {
        return false;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size = {};
    DWORD read = 0;
    uint8_t bytes[kPreservedSize];
    const bool whole = GetFileSizeEx(file, &size) && size.QuadPart == kPreservedSize &&
                       ReadFile(file, bytes, kPreservedSize, &read, nullptr) && read == kPreservedSize;
    CloseHandle(file);
    if (whole) {
        memcpy(block, bytes, kPreservedSize);
    }
    return whole;
}

std::string ProgramDataStore::Where() const {
    return StoreFolder();
}

void ProgramDataStore::Remove(const std::string& deviceId) {
    const std::string path = StoreFile(deviceId, false);
    if (!path.empty()) {
        DeleteFileA(path.c_str());
    }
}
