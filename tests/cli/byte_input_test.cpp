// Bytes from the command line: hex words in their forms, @file, limits; and hex output.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include "byte_input.h"

TEST(ByteInput, HexWordsInEveryForm) {
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(ParseBytes({"0x1f", "20", "FF,", "a0b1", "7"}, 100, out, error)) << error;
    EXPECT_EQ(out, (std::vector<uint8_t>{0x1F, 0x20, 0xFF, 0xA0, 0xB1, 0x07}));
}

TEST(ByteInput, RefusesWhatIsNotHex) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(ParseBytes({"12", "zz"}, 100, out, error));
    EXPECT_EQ(error, "not hex bytes: zz");
    EXPECT_FALSE(ParseBytes({"0x"}, 100, out, error));
}

TEST(ByteInput, AtFileBringsTheFilesBytes) {
    char path[] = "/tmp/brg40-bytes-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const uint8_t bytes[] = {0x00, 0x0A, 0xFF, 0x40};
    ASSERT_TRUE(WriteFileBytes(path, bytes, sizeof bytes));
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(ParseBytes({"01", std::string("@") + path}, 100, out, error)) << error;
    EXPECT_EQ(out, (std::vector<uint8_t>{0x01, 0x00, 0x0A, 0xFF, 0x40}));
    std::remove(path);
    out.clear();
    EXPECT_FALSE(ParseBytes({std::string("@") + path}, 100, out, error));
    EXPECT_EQ(error, std::string("cannot read ") + path);
}

TEST(ByteInput, RefusesMoreThanTheCommandTakes) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(ParseBytes({"010203"}, 3, out, error));
    out.clear();
    EXPECT_FALSE(ParseBytes({"01020304"}, 3, out, error));
    EXPECT_EQ(error, "more than 3 bytes");
}

TEST(ByteInput, HexLineIsUpperCaseWithSingleSpaces) {
    const uint8_t bytes[] = {0xDE, 0xAD, 0x0B};
    EXPECT_EQ(HexLine(bytes, 3), "DE AD 0B");
    EXPECT_EQ(HexLine(bytes, 0), "");
}
