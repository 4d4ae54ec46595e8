// Registry entries and object-manager link of the simulated update-mode device (Wine facts below
// were measured with Wine 8.0).
#include "interface_entry.h"

#include <winternl.h>

#include <cstdio>
#include <cctype>

#include "../../update/update_device_id.h"

extern "C" NTSTATUS NTAPI NtCreateSymbolicLinkObject(PHANDLE link,
                                                     ACCESS_MASK access,
                                                     POBJECT_ATTRIBUTES attributes,
                                                     PUNICODE_STRING target);

namespace sim {

namespace {

constexpr char kInterfaceClass[] = "{6c0f3a9d-2b57-4e18-8d4c-91a7e5b2f036}";
constexpr char kSetupClass[] = "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}";  // USBDevice, as brg40fup.inf
constexpr char kEnumRoot[] = "SYSTEM\\CurrentControlSet\\Enum\\";
constexpr char kClassesRoot[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";
constexpr ACCESS_MASK kSymbolicLinkAllAccess = 0xF0001;

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());  // the names are plain ASCII
}

// Wide calls throughout: Wine's ANSI registry calls convert the key path in a buffer of 260
// characters and fail with 234 beyond it, which the long paths of the tests exceed.
bool set_value(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY handle;
    LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, widen(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &handle, nullptr);
    if (error == ERROR_SUCCESS) {
        error = RegSetValueExW(handle, widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(handle);
    }
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "brg40sim-pipes: cannot set HKLM\\%s\\%s: error %ld\n", key.c_str(), name, error);
    }
    return error == ERROR_SUCCESS;
}

bool set_text(const std::string& key, const char* name, const std::string& text) {
    std::wstring wide = widen(text);
    return set_value(key, name, REG_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

bool set_multi_text(const std::string& key, const char* name, const std::string& text) {
    std::wstring wide = widen(text);
    wide.push_back(L'\0');  // the list ends with a second zero
    return set_value(key, name, REG_MULTI_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void delete_tree(const std::string& key) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(key).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(key).c_str());
}

}  // namespace

InterfaceEntry::InterfaceEntry(const std::string& instance, const std::string& pipe_folder)
    : pipe_folder_(pipe_folder) {
    instance_id_ = std::string(kUpdateHardwareId) + "\\" + instance;
    std::string lower = instance;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    // Not the key name Wine derives from the instance id ("##?#USB#VID_1F3A&PID_0C21#SIM0001#{...}"):
    // SetupAPI rewrites SymbolicLink under that key with a path of its own making.
    class_key_ = std::string(kClassesRoot) + kInterfaceClass + "\\brg40sim#" + lower;
    link_name_ = "usb#vid_1f3a&pid_0c21#" + lower + "#" + kInterfaceClass;
    path_ = "\\\\?\\" + link_name_ + (pipe_folder_.empty() ? "" : "\\" + pipe_folder_);
}

InterfaceEntry::~InterfaceEntry() {
    if (link_ != nullptr) {
        CloseHandle(link_);
    }
}

bool InterfaceEntry::set_linked(DWORD linked) {
    return set_value(class_key_ + "\\#\\Control", "Linked", REG_DWORD, &linked, sizeof linked);
}

bool InterfaceEntry::show(bool with_link) {
    // SetupAPI takes a present interface from Enum\<instance> (its ClassGUID) and DeviceClasses\{guid}\<key>
    // (DeviceInstance, #\SymbolicLink, #\Control\Linked = 1).
    std::string enum_key = kEnumRoot + instance_id_;
    bool ok =
        set_text(enum_key, "ClassGUID", kSetupClass) && set_multi_text(enum_key, "HardwareID", kUpdateHardwareId) &&
        set_text(enum_key, "DeviceDesc", "NKV-BRG40M firmware update") &&
        set_text(class_key_, "DeviceInstance", instance_id_) && set_text(class_key_ + "\\#", "SymbolicLink", path_);
    if (!ok) {
        return false;
    }

    if (with_link && link_ == nullptr) {
        // \??\usb#...#{guid} -> \Device\NamedPipe, so that "<path>\PIPE00" is a named pipe of
        // this process. Wine resolves a link's target whole before it looks up the rest of the
        // name, so a link into a folder of pipes would find no pipe below it: a device of its own
        // has its folder in the path instead ("...#{guid}\brg40sim-3", itself a pipe that opens,
        // as discovery opens the path), and "<path>\PIPE00" is the pipe "brg40sim-3\PIPE00".
        // DefineDosDeviceA crashes Wine 8.0 on a name this long; the native call does not. The link
        // is temporary: it lives as long as this handle.
        std::wstring name = L"\\??\\" + widen(link_name_);
        std::wstring target = L"\\Device\\NamedPipe";
        UNICODE_STRING name_string{static_cast<USHORT>(name.size() * 2), static_cast<USHORT>(name.size() * 2),
                                   &name[0]};
        UNICODE_STRING target_string{static_cast<USHORT>(target.size() * 2), static_cast<USHORT>(target.size() * 2),
                                     &target[0]};
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name_string, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
        NTSTATUS status = NtCreateSymbolicLinkObject(&link_, kSymbolicLinkAllAccess, &attributes, &target_string);
        if (status != 0) {
            std::fprintf(stderr, "brg40sim-pipes: cannot link %s: status 0x%08lx\n", path_.c_str(),
                         static_cast<unsigned long>(status));
            link_ = nullptr;
            return false;
        }
    }
    shown_ = set_linked(1);
    return shown_;
}

void InterfaceEntry::hide() {
    shown_ = false;
    set_linked(0);  // first, so that discovery stops listing it before the path stops opening
    if (link_ != nullptr) {
        CloseHandle(link_);
        link_ = nullptr;
    }
}

void InterfaceEntry::erase() {
    hide();
    delete_tree(kEnumRoot + instance_id_);
    delete_tree(class_key_);
}

void InterfaceEntry::erase_class() {
    erase();
    // SetupAPI adds keys of its own beside ours while it enumerates.
    delete_tree(std::string(kClassesRoot) + kInterfaceClass);
}

}  // namespace sim
