// brg40 selftest on Linux: what decides whether a user reaches the converter. The sg module gives
// the converter its /dev/sgN node; the node's mode and ACL (udev's uaccess tag) decide who may
// open it; another program holding it open keeps everyone else out.
#include "selftest_system.h"

#include <dirent.h>
#include <grp.h>
#include <libudev.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>

namespace {

SelfCheck ModuleCheck() {
    struct stat info = {};
    const bool loaded = stat("/sys/module/sg", &info) == 0 || stat("/sys/class/scsi_generic", &info) == 0;
    return {"sg module", loaded,
            loaded ? "loaded" : "not loaded: `sudo modprobe sg` (and sg in /etc/modules-load.d to load it at boot)"};
}

std::string OwnerText(const struct stat& info) {
    const passwd* user = getpwuid(info.st_uid);
    const group* grp = getgrgid(info.st_gid);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", info.st_mode & 0777);
    return std::string("mode ") + mode + ", " + (user ? user->pw_name : std::to_string(info.st_uid)) + ":" +
           (grp ? grp->gr_name : std::to_string(info.st_gid));
}

SelfCheck NodeCheck(const std::string& node) {
    struct stat info = {};
    if (stat(node.c_str(), &info) != 0) {
        return {"node", false, node + " is not there"};
    }
    const bool access_ok = access(node.c_str(), R_OK | W_OK) == 0;  // ACLs included
    return {"node", access_ok,
            node + ": " + OwnerText(info) +
                (access_ok ? ", readable and writable by you"
                           : ", not writable by you: install the udev rule 70-brg40.rules, or enable its group rule")};
}

// The processes (other than this one) that hold node open.
SelfCheck HoldersCheck(const std::string& node) {
    std::string holders;
    const std::string self = std::to_string(getpid());
    if (DIR* proc = opendir("/proc")) {
        while (const dirent* entry = readdir(proc)) {
            const std::string pid = entry->d_name;
            if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
                continue;
            }
            const std::string fds = "/proc/" + pid + "/fd";
            DIR* dir = opendir(fds.c_str());
            if (dir == nullptr) {
                continue;  // another user's process: not ours to see
            }
            bool holds = false;
            while (const dirent* fd = readdir(dir)) {
                char target[PATH_MAX];
                const ssize_t n = readlink((fds + "/" + fd->d_name).c_str(), target, sizeof target - 1);
                holds = holds || (n > 0 && std::string(target, static_cast<size_t>(n)) == node);
            }
            closedir(dir);
            if (holds) {
                std::string name;
                std::getline(std::ifstream("/proc/" + pid + "/comm"), name);
                holders += (holders.empty() ? "" : ", ") + pid + " (" + name + ")";
            }
        }
        closedir(proc);
    }
    return {"holders", holders.empty(), holders.empty() ? "no other program has it open" : "held by " + holders};
}

// What udev knows of the node: whether it has seen it, and its tags (uaccess gives the user at the
// seat access).
SelfCheck UdevCheck(const std::string& node) {
    struct stat info = {};
    udev* context = udev_new();
    if (context == nullptr || stat(node.c_str(), &info) != 0) {
        if (context != nullptr) {
            udev_unref(context);
        }
        return {"udev", false, "no udev to ask"};
    }
    udev_device* device = udev_device_new_from_devnum(context, 'c', info.st_rdev);
    std::string tags;
    bool initialized = false;
    if (device != nullptr) {
        initialized = udev_device_get_is_initialized(device) > 0;
        for (udev_list_entry* tag = udev_device_get_tags_list_entry(device); tag != nullptr;
             tag = udev_list_entry_get_next(tag)) {
            tags += (tags.empty() ? "" : " ") + std::string(udev_list_entry_get_name(tag));
        }
        udev_device_unref(device);
    }
    udev_unref(context);
    if (!initialized) {
        return {"udev", false,
                "udev has no record of " + node + " (udev not running, or the rule came after the device)"};
    }
    return {"udev", true, "tags: " + (tags.empty() ? std::string("none") : tags)};
}

}  // namespace

std::vector<SelfCheck> SystemChecks(const Unit* unit) {
    std::vector<SelfCheck> checks{ModuleCheck()};
    if (unit != nullptr && !unit->update && !unit->node.empty()) {
        checks.push_back(NodeCheck(unit->node));
        checks.push_back(HoldersCheck(unit->node));
        checks.push_back(UdevCheck(unit->node));
    }
    return checks;
}
