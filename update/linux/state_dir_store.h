// The preserved-block store on Linux: one small file per update-mode device in the program's
// state folder ("$STATE_DIRECTORY/preserved-<device>.bin", else /var/lib/brg40 for root and the
// user's own state folder for anyone else).
#ifndef BRG40_STATE_DIR_STORE_H
#define BRG40_STATE_DIR_STORE_H

#include <string>
#include <vector>

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

    // Where else a copy may wait: root running brg40 through sudo also looks in the state folder of
    // the user who called sudo (an update they began without root and that was stopped).
    static std::vector<std::string> OtherFolders();
    // The same from the values given (null: unset); sudoUserHome: that user's home folder.
    static std::vector<std::string> OtherFoldersFor(bool root, const char* sudoUser, const char* sudoUserHome);

    explicit StateDirStore(std::string folder = DefaultFolder(), std::vector<std::string> others = OtherFolders())
        : m_folder(std::move(folder)), m_others(std::move(others)) {}

    // Saves in the store's folder only; Load looks there first, then in the others; Remove forgets
    // the copy everywhere, so that none is found again after the update ended.
    bool Save(const std::string& deviceId, const uint8_t (&block)[kPreservedSize]) override;
    bool Load(const std::string& deviceId, uint8_t (&block)[kPreservedSize]) override;
    void Remove(const std::string& deviceId) override;
    std::string Where() const override { return m_folder; }

private:
    std::string m_folder;
    std::vector<std::string> m_others;
};

#endif
