// The registry entries and the object-manager link that make the update-mode device's interface
// present to SetupAPI and its path open onto the named pipes of this process.
#ifndef BRG40_SIM_PIPES_INTERFACE_ENTRY_H
#define BRG40_SIM_PIPES_INTERFACE_ENTRY_H

#include <windows.h>

#include <string>

namespace sim {

class InterfaceEntry {
public:
    // instance: the last part of the instance id (USB\VID_1F3A&PID_0C21\SIM0001: the serial of a
    // device that reports one) and, in lower case, of the path. pipe_folder: the folder of named
    // pipes that "<path>\PIPE00" and "<path>\PIPE01" open, which then ends the path (empty: the
    // pipes PIPE00 and PIPE01 themselves). Tests make entries of their own with other instances (a
    // path that does not open, a path of a chosen length).
    explicit InterfaceEntry(const std::string& instance = "SIM0001", const std::string& pipe_folder = "");
    ~InterfaceEntry();
    InterfaceEntry(const InterfaceEntry&) = delete;
    InterfaceEntry& operator=(const InterfaceEntry&) = delete;

    // Device arrives: registry entries with Linked = 1 and, when with_link, the link. Returns false
    // (and says why on stderr) when a step failed.
    bool show(bool with_link = true);
    // Device leaves: Linked = 0 and the link removed, so discovery no longer finds it.
    void hide();
    // Removes this entry's registry keys.
    void erase();
    // Removes every entry of the interface class (start and end of the simulator).
    void erase_class();

    bool shown() const { return shown_; }
    // "\\?\usb#vid_1f3a&pid_0c21#sim0001#{6c0f3a9d-...}"
    const std::string& device_path() const { return path_; }

private:
    bool set_linked(DWORD linked);

    std::string instance_id_;  // USB\VID_1F3A&PID_0C21\SIM0001
    std::string class_key_;    // its key under DeviceClasses\{guid}
    std::string link_name_;    // usb#vid_1f3a&pid_0c21#sim0001#{...}: the object-manager link below \??
    std::string path_;
    std::string pipe_folder_;
    HANDLE link_ = nullptr;
    bool shown_ = false;
};

}  // namespace sim

#endif
