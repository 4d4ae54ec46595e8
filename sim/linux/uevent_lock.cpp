#include "uevent_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace sim {

namespace {

// Holds the lock while it lives (a lock of its own open file: threads of one process exclude
// each other too).
class UeventLock {
public:
    explicit UeventLock(UMockdevTestbed* testbed) {
        gchar* root = umockdev_testbed_get_root_dir(testbed);  // a copy of its own
        m_fd = open((std::string(root) + "/uevent.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        g_free(root);
        while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~UeventLock() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    UeventLock(const UeventLock&) = delete;
    UeventLock& operator=(const UeventLock&) = delete;

private:
    int m_fd = -1;
};

}  // namespace

void AddDevices(UMockdevTestbed* testbed, const std::string& description) {
    UeventLock lock(testbed);
    umockdev_testbed_add_from_string(testbed, description.c_str(), nullptr);
}

void RemoveDevice(UMockdevTestbed* testbed, const std::string& sys) {
    {
        UeventLock lock(testbed);
        umockdev_testbed_uevent(testbed, sys.c_str(), "remove");
    }
    umockdev_testbed_remove_device(testbed, sys.c_str());
}

}  // namespace sim
