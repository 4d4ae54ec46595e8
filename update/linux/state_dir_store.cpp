// The preserved-block store in the state folder: written to a temporary file, synced, renamed
// over the old copy, and the folder synced, so that a crash or a power cut leaves either the old
// copy or the new one, never a part, and the rename itself is on the disk.
#include "state_dir_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "preserved_file_name.h"

namespace {

bool WriteWhole(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

bool LoadFrom(const std::string& path, uint8_t (&block)[kPreservedSize]) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info = {};
    uint8_t bytes[kPreservedSize];
    const bool whole = fstat(fd, &info) == 0 && info.st_size == kPreservedSize &&
                       read(fd, bytes, kPreservedSize) == static_cast<ssize_t>(kPreservedSize);
    close(fd);
    if (whole) {
        std::memcpy(block, bytes, kPreservedSize);
    }
    return whole;
}

}  // namespace

std::vector<std::string> StateDirStore::OtherFolders() {
    const char* user = std::getenv("SUDO_USER");
    const passwd* entry = user != nullptr && *user != '\0' ? getpwnam(user) : nullptr;
    return OtherFoldersFor(geteuid() == 0, user, entry != nullptr ? entry->pw_dir : nullptr);
}

std::vector<std::string> StateDirStore::OtherFoldersFor(bool root, const char* sudoUser, const char* sudoUserHome) {
    if (!root || sudoUser == nullptr || *sudoUser == '\0' || std::string(sudoUser) == "root" ||
        sudoUserHome == nullptr || *sudoUserHome != '/') {
        return {};
    }
    // Their XDG_STATE_HOME is not known here: the default one.
    return {FolderFor(nullptr, false, nullptr, sudoUserHome)};
}

std::string StateDirStore::DefaultFolder() {
    return FolderFor(std::getenv("STATE_DIRECTORY"), geteuid() == 0, std::getenv("XDG_STATE_HOME"),
                     std::getenv("HOME"));
}

std::string StateDirStore::FolderFor(const char* stateDirectory,
                                     bool root,
                                     const char* xdgStateHome,
                                     const char* home) {
    if (stateDirectory != nullptr && *stateDirectory != '\0') {
        const std::string folders(stateDirectory);
        return folders.substr(0, folders.find(':'));
    }
    if (root) {
        return "/var/lib/brg40";
    }
    if (xdgStateHome != nullptr && *xdgStateHome == '/') {
        return std::string(xdgStateHome) + "/brg40";
    }
    return std::string(home != nullptr ? home : "") + "/.local/state/brg40";
}

bool StateDirStore::Save(const std::string& deviceId, const uint8_t (&block)[kPreservedSize]) {
    // The folder and its parents (~/.local/state may not exist yet); one that cannot be made
    // fails the save, and the run goes on with its copy in memory.
    // A folder made here is synced into its parent, so that after a power cut the copy is not in a
    // folder that was never recorded.
    for (size_t slash = m_folder.find('/', 1);; slash = m_folder.find('/', slash + 1)) {
        const std::string part = m_folder.substr(0, slash);
        if (mkdir(part.c_str(), 0755) == 0) {
            if (!SyncFolder(part.substr(0, part.rfind('/') > 0 ? part.rfind('/') : 1))) {
                return false;
            }
        } else if (errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    const std::string path = m_folder + "/" + PreservedFileName(deviceId);
    const std::string temporary = path + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool whole = WriteWhole(fd, block, kPreservedSize) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!whole || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return SyncFolder(m_folder);
}

bool StateDirStore::Load(const std::string& deviceId, uint8_t (&block)[kPreservedSize]) {
    if (LoadFrom(m_folder + "/" + PreservedFileName(deviceId), block)) {
        return true;
    }
    for (const std::string& folder : m_others) {
        if (LoadFrom(folder + "/" + PreservedFileName(deviceId), block)) {
            return true;
        }
    }
    return false;
}

void StateDirStore::Remove(const std::string& deviceId) {
    unlink((m_folder + "/" + PreservedFileName(deviceId)).c_str());
    for (const std::string& folder : m_others) {
        unlink((folder + "/" + PreservedFileName(deviceId)).c_str());
    }
}
