// brg40's command line: options anywhere, values, numbers, and what is refused.
#include <gtest/gtest.h>

#include <vector>

#include "arguments.h"

namespace {

bool Parse(std::vector<const char*> words, Arguments& out, std::string& error) {
    words.insert(words.begin(), "brg40");
    return ParseArguments(static_cast<int>(words.size()), words.data(), out, error);
}

}  // namespace

TEST(Arguments, OptionsMayStandAnywhereAmongTheWords) {
    Arguments a;
    std::string error;
    ASSERT_TRUE(Parse({"--json", "fw", "update", "-d", "3", "image.fwu", "--yes", "--wait=2.5"}, a, error)) << error;
    EXPECT_EQ(a.words, (std::vector<std::string>{"fw", "update", "image.fwu"}));
    EXPECT_TRUE(a.json);
    EXPECT_TRUE(a.yes);
    EXPECT_FALSE(a.trace);
    EXPECT_EQ(a.devices, std::vector<std::string>{"3"});
    EXPECT_DOUBLE_EQ(a.waitSeconds, 2.5);
}

TEST(Arguments, DefaultsWithoutOptions) {
    Arguments a;
    std::string error;
    ASSERT_TRUE(Parse({"list"}, a, error));
    EXPECT_TRUE(a.devices.empty());
    EXPECT_DOUBLE_EQ(a.waitSeconds, 10.0);
    EXPECT_FALSE(a.json || a.yes || a.allowModelChange || a.help);
}

TEST(Arguments, ShortAndLongNamesOfTheFileOptions) {
    Arguments a;
    std::string error;
    ASSERT_TRUE(Parse({"eeprom", "read", "16", "-o", "out.bin", "--input", "in.bin", "--reg", "0x10"}, a, error));
    EXPECT_EQ(a.outFile, "out.bin");
    EXPECT_EQ(a.inFile, "in.bin");
    EXPECT_EQ(a.reg, "0x10");
}

TEST(Arguments, WordsAfterDoubleDashAreNeverOptions) {
    Arguments a;
    std::string error;
    ASSERT_TRUE(Parse({"fw", "check", "--", "--json"}, a, error));
    EXPECT_EQ(a.words, (std::vector<std::string>{"fw", "check", "--json"}));
    EXPECT_FALSE(a.json);
}

TEST(Arguments, RefusesUnknownOptionsMissingValuesAndBadNumbers) {
    Arguments a;
    std::string error;
    EXPECT_FALSE(Parse({"list", "--frob"}, a, error));
    EXPECT_EQ(error, "unknown option --frob");
    EXPECT_FALSE(Parse({"info", "-d"}, a, error));
    EXPECT_EQ(error, "-d needs a value");
    for (const char* selector : {"10", "0", "serial:", "path:", "port:1-2", "sg2"}) {
        EXPECT_FALSE(Parse({"info", "-d", selector}, a, error)) << selector;
    }
    ASSERT_TRUE(Parse({"fw", "update", "x", "-d", "serial:A", "--device=path:1-3", "-d", "/dev/sg2"}, a, error));
    EXPECT_EQ(a.devices, (std::vector<std::string>{"serial:A", "path:1-3", "/dev/sg2"}));
    EXPECT_FALSE(Parse({"fw", "update", "x", "--wait", "soon"}, a, error));
    EXPECT_FALSE(Parse({"fw", "update", "x", "--wait", "-1"}, a, error));
    EXPECT_FALSE(Parse({"fw", "update", "x", "--jobs", "0"}, a, error));
    EXPECT_FALSE(Parse({"fw", "update", "x", "-j", "65"}, a, error));
    ASSERT_TRUE(Parse({"fw", "update", "x", "--all", "--force", "-j", "4"}, a, error));
    EXPECT_TRUE(a.all && a.force && !a.watch);
    EXPECT_EQ(a.jobs, 4u);
    EXPECT_FALSE(Parse({"fw", "update", "x", "--yes=1"}, a, error));
    EXPECT_EQ(error, "--yes takes no value");
}

TEST(Arguments, NumbersInDecimalOrHexWithinTheirRange) {
    unsigned long v = 0;
    EXPECT_TRUE(ParseNumber("0x1F", 0xFF, v));
    EXPECT_EQ(v, 0x1Fu);
    EXPECT_TRUE(ParseNumber("400", 1000, v));
    EXPECT_EQ(v, 400u);
    EXPECT_FALSE(ParseNumber("0x100", 0xFF, v));
    EXPECT_FALSE(ParseNumber("-1", 0xFF, v));
    EXPECT_FALSE(ParseNumber("12z", 0xFF, v));
    EXPECT_FALSE(ParseNumber("", 0xFF, v));
}
