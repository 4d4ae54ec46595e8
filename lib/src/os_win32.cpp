// The operating-system seam (os.h) on Windows: device files, the SCSI pass-through request,
// threads, sleeping, window messages and the module's own version resource. Translation only.
#include <windows.h>
#include <ntddscsi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "brg40firmup.h"
#include "os.h"

namespace brg40 {

// Our block must be exactly what the driver expects.
static_assert(sizeof(ScsiPassThroughDirect) == sizeof(SCSI_PASS_THROUGH_DIRECT), "SPTD size");
static_assert(offsetof(ScsiPassThroughDirect, DataTransferLength) ==
                  offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength),
              "SPTD layout");
static_assert(offsetof(ScsiPassThroughDirect, TimeOutValue) == offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue),
              "SPTD layout");
static_assert(offsetof(ScsiPassThroughDirect, DataBuffer) == offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer),
              "SPTD layout");
static_assert(offsetof(ScsiPassThroughDirect, SenseInfoOffset) == offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset),
              "SPTD layout");
static_assert(offsetof(ScsiPassThroughDirect, Cdb) == offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb), "SPTD layout");
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x0004D014, "pass-through control code");
static_assert(SCSI_IOCTL_DATA_IN == kScsiDataIn && SCSI_IOCTL_DATA_OUT == kScsiDataOut, "direction values");

// The error numbers the public header names are the system's own.
static_assert(
    BRG40_ERROR_INVALID_FUNCTION == ERROR_INVALID_FUNCTION && BRG40_ERROR_FILE_NOT_FOUND == ERROR_FILE_NOT_FOUND &&
        BRG40_ERROR_ACCESS_DENIED == ERROR_ACCESS_DENIED && BRG40_ERROR_INVALID_HANDLE == ERROR_INVALID_HANDLE &&
        BRG40_ERROR_NOT_ENOUGH_MEMORY == ERROR_NOT_ENOUGH_MEMORY && BRG40_ERROR_NOT_READY == ERROR_NOT_READY &&
        BRG40_ERROR_GEN_FAILURE == ERROR_GEN_FAILURE && BRG40_ERROR_SHARING_VIOLATION == ERROR_SHARING_VIOLATION &&
        BRG40_ERROR_NOT_SUPPORTED == ERROR_NOT_SUPPORTED && BRG40_ERROR_INVALID_PARAMETER == ERROR_INVALID_PARAMETER &&
        BRG40_ERROR_DISK_FULL == ERROR_DISK_FULL && BRG40_ERROR_SEM_TIMEOUT == ERROR_SEM_TIMEOUT &&
        BRG40_ERROR_BUSY == ERROR_BUSY && BRG40_ERROR_NOACCESS == ERROR_NOACCESS &&
        BRG40_ERROR_IO_DEVICE == ERROR_IO_DEVICE && BRG40_ERROR_DEVICE_NOT_CONNECTED == ERROR_DEVICE_NOT_CONNECTED,
    "Windows error numbers");

OsHandle os_open_device(const char* name, uint32_t* error) {
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) {
        *error = GetLastError();
        return nullptr;
    }
    return h;
}

bool os_close_device(OsHandle handle) {
    return CloseHandle(handle) != 0;
}

bool os_scsi_pass_through(OsHandle handle, CommandBlock* block, uint32_t* error) {
    DWORD returned = 0;  // not used: a short transfer is not looked at
    if (DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, block, sizeof(*block), block, sizeof(*block), &returned,
                        nullptr)) {
        return true;
    }
    *error = GetLastError();
    return false;
}

namespace {

struct ThreadStart {
    OsThreadRoutine routine;
    void* arg;
    HMODULE module;  // the reference the thread holds on our module
};

DWORD WINAPI thread_entry(LPVOID param) {
    ThreadStart start = *static_cast<ThreadStart*>(param);
    std::free(param);
    start.routine(start.arg);
    // Our code must stay mapped until the thread is out of it: the application may free the
    // library while a worker still polls. The reference goes with the thread's exit, in one call
    // that never returns into the code it may unmap.
    FreeLibraryAndExitThread(start.module, 0);
}

}  // namespace

bool os_start_thread(OsThreadRoutine routine, void* arg) {
    // The routine and its argument travel to the new thread in one small block it frees.
    auto* start = static_cast<ThreadStart*>(std::malloc(sizeof(ThreadStart)));
    if (start == nullptr) {
        return false;
    }
    start->routine = routine;
    start->arg = arg;
    // One more reference on the module that holds this code, taken before the thread exists.
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&thread_entry),
                            &start->module)) {
        std::free(start);
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, thread_entry, start, 0, nullptr);
    if (thread == nullptr) {
        FreeLibrary(start->module);
        std::free(start);
        return false;
    }
    CloseHandle(thread);  // nobody waits for it; the thread runs on
    return true;
}

void os_sleep_ms(uint32_t ms) {
    Sleep(ms);
}

bool os_post_message(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return PostMessageA(static_cast<HWND>(window), message, wparam, lparam) != 0;
}

bool os_has_window_messages() {
    return true;
}

namespace {

// The version functions, bound at run time. version.dll is not one of the system's known DLLs:
// imported at load time, it would be looked for in the application's folder first, and a copy
// planted there would run inside the application (the update tool runs with administrator
// rights). So it is taken from the system folder only.
struct VersionApi {
    HMODULE module = nullptr;
    DWORD(WINAPI* infoSize)(LPCSTR, LPDWORD) = nullptr;
    BOOL(WINAPI* info)(LPCSTR, DWORD, DWORD, LPVOID) = nullptr;
    BOOL(WINAPI* query)(LPCVOID, LPCSTR, LPVOID*, PUINT) = nullptr;

    VersionApi() {
        module = LoadLibraryExA("version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module != nullptr) {
            bind(infoSize, "GetFileVersionInfoSizeA");
            bind(info, "GetFileVersionInfoA");
            bind(query, "VerQueryValueA");
        }
    }
    ~VersionApi() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    VersionApi(const VersionApi&) = delete;
    VersionApi& operator=(const VersionApi&) = delete;

    bool usable() const { return infoSize != nullptr && info != nullptr && query != nullptr; }

private:
    template <class Fn>
    void bind(Fn& fn, const char* name) {
        fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

}  // namespace

bool os_read_own_product_version(char* text, size_t size) {
    const VersionApi api;
    if (!api.usable()) {
        return false;
    }
    // The module that holds this code, found by an address inside it, so that the resource read
    // is the one of the file actually loaded.
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&os_read_own_product_version), &module)) {
        return false;
    }
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) {
        return false;  // a cut path would name another file
    }
    DWORD unused = 0;
    const DWORD info_size = api.infoSize(path, &unused);
    if (info_size == 0) {
        return false;
    }
    void* info = std::malloc(info_size + 1);
    if (info == nullptr) {
        return false;
    }
    bool found = false;
    void* translation = nullptr;
    UINT translation_size = 0;
    if (api.info(path, 0, info_size, info) &&
        api.query(info, "\\VarFileInfo\\Translation", &translation, &translation_size) &&
        translation_size >= 2 * sizeof(WORD)) {
        const WORD* pair = static_cast<const WORD*>(translation);  // language, code page
        char query[64];
        std::snprintf(query, sizeof(query), "\\StringFileInfo\\%04x%04x\\ProductVersion", pair[0], pair[1]);
        void* value = nullptr;
        UINT value_size = 0;
        if (api.query(info, query, &value, &value_size) && value != nullptr && size > 0) {
            // value_size counts characters including the terminator; never read past it.
            const char* chars = static_cast<const char*>(value);
            size_t n = 0;
            while (n + 1 < size && n < value_size && chars[n] != '\0') {
                text[n] = chars[n];
                ++n;
            }
            text[n] = '\0';
            found = true;
        }
    }
    std::free(info);
    return found;
}

}  // namespace brg40
