// The preserved-block store on Linux: one small file per update-mode device in the program's
// state folder ("$STATE_DIRECTORY/preserved-<device>.bin", else /var/lib/brg40 for root and the
// user's own state folder for anyone else).
#ifndef BRG40_STATE_DIR_STORE_H
#define BRG40_STATE_DIR_STORE_H

#include <string>

#include "preserved_store.h"

class StateDirStore : public PreservedStore {
public:
    // The folder of the store: the first entry of $STATE_DIRECTORY when set (systemd's
    // StateDirectory=, which may list several separated by ':'), else /var/lib/brg40 for root;
    // a user without root rights (the udev rule lets them update) gets $XDG_STATE_HOME/brg40,
    // else ~/.local/state/brg40, a folder they can write.
    static std::string DefaultFolder();
    // The same from the values given (null: unset).
    static std::string FolderFor(const char* stateDirectory, bool root, const char* xdgStateHome, const char* home);

    explicit StateDirStore(std::string folder = DefaultFolder()) : m_folder(std::move(folder)) {}

    bool Save(const std::string& deviceId, const uint8_t (&block)[kPreservedSize]) override;
    bool Load(const std::string& deviceId, uint8_t (&block)[kPreservedSize]) override;
    void Remove(const std::string& deviceId) override;
    std::string Where() const override { return m_folder; }

private:
    std::string m_folder;
};

#endif
