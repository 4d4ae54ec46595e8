// The preserved-block store in the state folder, and the file name it shares with Windows.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

#include "preserved_file_name.h"
#include "state_dir_store.h"

namespace {

namespace fs = std::filesystem;

TEST(PreservedFileName, KeepsPlainCharactersAndReplacesTheRest) {
    const struct {
        const char* device;
        const char* file;
    } cases[] = {
        {"usb-1-2", "preserved-usb-1-2.bin"},
        {"usb-3-1.4.2", "preserved-usb-3-1_4_2.bin"},
        {"usb#vid_1f3a&pid_0c21#5&1a2b", "preserved-usb#vid_1f3a&pid_0c21#5&1a2b.bin"},
        {"../../etc/x", "preserved-______etc_x.bin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PreservedFileName(c.device), c.file) << c.device;
    }
}

class StateDirStoreTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "brg40_store_XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }
    std::string root;
    const uint8_t a[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const uint8_t b[16] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0, 0, 0, 0, 0, 0, 0, 0xFF};
};

TEST_F(StateDirStoreTest, SavesReplacesLoadsAndRemovesPerDevice) {
    StateDirStore store(root + "/brg40");  // made at the first save
    uint8_t got[16] = {};
    EXPECT_FALSE(store.Load("usb-1-2", got));
    ASSERT_TRUE(store.Save("usb-1-2", a));
    ASSERT_TRUE(store.Save("usb-1-3", b));
    ASSERT_TRUE(store.Save("usb-1-2", b));
    ASSERT_TRUE(store.Load("usb-1-2", got));
    EXPECT_EQ(0, std::memcmp(got, b, 16));

    // Only the final files, owner-only, no temporary left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root + "/brg40")) {
        names.push_back(entry.path().filename());
        struct stat info = {};
        ASSERT_EQ(stat(entry.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"preserved-usb-1-2.bin", "preserved-usb-1-3.bin"}));

    store.Remove("usb-1-2");
    EXPECT_FALSE(store.Load("usb-1-2", got));
    ASSERT_TRUE(store.Load("usb-1-3", got));
    EXPECT_EQ(0, std::memcmp(got, b, 16));
}

TEST_F(StateDirStoreTest, AFileOfAnotherSizeIsNoCopy) {
    StateDirStore store(root);
    for (size_t size : {0u, 15u, 17u}) {
        std::ofstream(root + "/preserved-usb-1-2.bin", std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(a), static_cast<std::streamsize>(std::min<size_t>(size, 16)))
            .write("x", size > 16 ? 1 : 0);
        uint8_t got[16] = {};
        EXPECT_FALSE(store.Load("usb-1-2", got)) << size;
    }
}

TEST_F(StateDirStoreTest, AFolderThatCannotBeMadeFailsTheSave) {
    std::ofstream(root + "/file") << "x";
    StateDirStore store(root + "/file/brg40");
    EXPECT_FALSE(store.Save("usb-1-2", a));
}

TEST(StateDirStoreFolder, AUserWithoutRootRightsGetsTheirOwnStateFolder) {
    EXPECT_EQ(StateDirStore::FolderFor(nullptr, false, "/home/ann/.state", "/home/ann"), "/home/ann/.state/brg40");
    EXPECT_EQ(StateDirStore::FolderFor(nullptr, false, nullptr, "/home/ann"), "/home/ann/.local/state/brg40");
    EXPECT_EQ(StateDirStore::FolderFor(nullptr, false, "relative", "/home/ann"), "/home/ann/.local/state/brg40");
    EXPECT_EQ(StateDirStore::FolderFor("/run/s", false, "/home/ann/.state", "/home/ann"), "/run/s");
    EXPECT_EQ(StateDirStore::FolderFor("", true, "/home/ann/.state", "/home/ann"), "/var/lib/brg40");
}

TEST_F(StateDirStoreTest, RootThroughSudoFindsTheCopyOfTheUsersStoppedRunAndForgetsItEverywhere) {
    EXPECT_EQ(StateDirStore::OtherFoldersFor(true, "ann", "/home/ann"),
              std::vector<std::string>{"/home/ann/.local/state/brg40"});
    for (const auto& [root, user, home] : {std::make_tuple(false, "ann", "/home/ann"), std::make_tuple(true, "", "/x"),
                                           std::make_tuple(true, "root", "/root"), std::make_tuple(true, "ann", "")}) {
        EXPECT_TRUE(StateDirStore::OtherFoldersFor(root, user, home).empty()) << root << user << home;
    }
    StateDirStore user(root + "/ann");
    ASSERT_TRUE(user.Save("serial-A1", a));
    StateDirStore asRoot(root + "/var", {root + "/ann"});
    uint8_t got[16] = {};
    ASSERT_TRUE(asRoot.Load("serial-A1", got));
    EXPECT_EQ(0, std::memcmp(got, a, 16));
    asRoot.Remove("serial-A1");
    EXPECT_FALSE(user.Load("serial-A1", got));
}

TEST_F(StateDirStoreTest, MissingParentFoldersAreMade) {
    StateDirStore store(root + "/home/.local/state/brg40");
    ASSERT_TRUE(store.Save("usb-1-2", a));
    uint8_t got[16] = {};
    EXPECT_TRUE(store.Load("usb-1-2", got));
}

TEST(StateDirStoreFolder, FirstStateDirectoryElseVarLib) {
    const char* saved = std::getenv("STATE_DIRECTORY");
    const std::string keep = saved ? saved : "";
    unsetenv("STATE_DIRECTORY");
    EXPECT_EQ(StateDirStore::DefaultFolder(), "/var/lib/brg40");
    setenv("STATE_DIRECTORY", "/var/lib/brg40:/var/lib/other", 1);
    EXPECT_EQ(StateDirStore::DefaultFolder(), "/var/lib/brg40");
    setenv("STATE_DIRECTORY", "/run/state/brg40", 1);
    EXPECT_EQ(StateDirStore::DefaultFolder(), "/run/state/brg40");
    if (saved) {
        setenv("STATE_DIRECTORY", keep.c_str(), 1);
    } else {
        unsetenv("STATE_DIRECTORY");
    }
}

}  // namespace
