// Building the full pipe name, the setup information path and the hardware-ID list.
#include "device_names.h"

#include <cctype>
#include <cstring>

const char kUpdateInfFileName[] = "brg40fup.inf";

void CopyInterfacePath(char* name, size_t size, const char* path) {
    size_t length = std::strlen(path);
    if (length > size - 1) {
        length = size - 1;  // an over-long path must not run past the buffer
    }
    std::memcpy(name, path, length);
    name[length] = '\0';
}

bool AppendPipeName(char* name, size_t size, const char* pipeName) {
    size_t length = std::strlen(name);
    size_t pipeLength = std::strlen(pipeName);
    // Checked before the backslash goes in: a path of size - 1 characters has no room left for it.
    if (length + 1 + pipeLength > size - 1) {
        return false;
    }
    name[length] = '\\';
    std::memcpy(name + length + 1, pipeName, pipeLength + 1);
    return true;
}

bool MakeInfPath(const char* programPath, char* infPath, size_t size) {
    std::memset(infPath, 0, size);
    // Drive and directory: everything up to the last separator, or the drive alone ("C:prog.exe").
    size_t keep = 0;
    for (size_t i = 0; programPath[i] != '\0'; ++i) {
        if (programPath[i] == '\\' || programPath[i] == '/' || (i == 1 && programPath[i] == ':')) {
            keep = i + 1;
        }
    }
    if (programPath[0] == '\0') {
        return false;
    }
    size_t nameLength = std::strlen(kUpdateInfFileName);
    if (keep + nameLength > size - 1) {
        return false;  // the installation is skipped rather than the path cut
    }
    std::memcpy(infPath, programPath, keep);
    std::memcpy(infPath + keep, kUpdateInfFileName, nameLength);
    return true;
}

void MakeHardwareIdList(char* ids, size_t size) {
    std::memset(ids, 0, size);
    std::memcpy(ids, kUpdateHardwareId, std::strlen(kUpdateHardwareId) + 1);
}

std::string SerialOfInstanceId(const std::string& instanceId) {
    const size_t slash = instanceId.rfind('\\');
    const std::string last = slash == std::string::npos ? std::string() : instanceId.substr(slash + 1);
    return last.find('&') == std::string::npos ? last : std::string();
}

std::string DeviceInstanceOfPath(const char* path) {
    std::string rest(path);
    if (rest.compare(0, 4, "\\\\?\\") == 0 || rest.compare(0, 4, "\\\\.\\") == 0) {
        rest.erase(0, 4);
    }
    // The interface's own part starts at "#{", the class GUID that ends every interface path.
    const size_t guid = rest.find("#{");
    if (guid == std::string::npos || guid == 0) {
        return std::string();
    }
    rest.resize(guid);
    for (char& c : rest) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return rest;
}
