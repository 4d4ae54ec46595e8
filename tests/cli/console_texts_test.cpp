// The console's texts: the update tool's English messages word for word, the question as a
// prompt, versions, the exit codes in the help text and their mapping.
#include <gtest/gtest.h>

#include <cstring>

#include "console_texts.h"
#include "exit_codes.h"
#include "res_file.h"

namespace {

constexpr uint16_t kRtString = 6;
constexpr uint16_t kEnglish = 1033;
const unsigned kConsoleMessages[] = {112, 113, 114, 115, 116, 117, 119, 121, 125};

}  // namespace

#ifdef BRG40FUP_RES
TEST(ConsoleTexts, MessagesAreTheUpdateToolsEnglishStrings) {
    std::vector<ResEntry> entries;
    ASSERT_TRUE(ParseRes(ReadWholeFile(BRG40FUP_RES), entries));
    for (unsigned id : kConsoleMessages) {
        const uint16_t block = static_cast<uint16_t>(id / 16 + 1);
        const ResEntry* entry = FindRes(entries, kRtString, block, kEnglish);
        ASSERT_NE(entry, nullptr) << id;
        std::vector<std::pair<uint16_t, std::string>> strings;
        ASSERT_TRUE(ParseStringBlock(entry->data, block, strings));
        bool found = false;
        for (const auto& s : strings) {
            if (s.first == id) {
                EXPECT_EQ(s.second, MessageText(id)) << id;
                found = true;
            }
        }
        EXPECT_TRUE(found) << id;
    }
}
#endif

TEST(ConsoleTexts, AMessageOnOneLine) {
    EXPECT_EQ(MessageLine(117), "Fail to write memory area. Update process will be stopped.");
    EXPECT_EQ(MessageLine(999), "");
}

TEST(ConsoleTexts, TheVersionQuestionAsAPrompt) {
    EXPECT_EQ(VersionPrompt(1, 4),
              "Selected firmware version is 1.04. Same or an older version of firmware is selected. "
              "Do you continue? [y/N] ");
    EXPECT_EQ(VersionQuestion(0x1A, 0x0B),
              "Selected firmware version is 1A.0B. Same or an older version of firmware is selected. "
              "Do you continue?");
}

TEST(ConsoleTexts, VersionsAsTheToolShowsThem) {
    EXPECT_EQ(VersionText(0x0105), "1.05");
    EXPECT_EQ(VersionText(0xFFFF), "FF.FF");
}

TEST(ConsoleTexts, HelpDocumentsEveryExitCode) {
    for (const char* line :
         {"  0    success", "  1    a device command or a transfer failed", "  2    usage error",
          "  3    no converter found", "  4    image refused", "  5    read-back mismatch", "  130  interrupted"}) {
        EXPECT_NE(std::strstr(kHelpText, line), nullptr) << line;
    }
}

TEST(ExitCodes, LibraryStatuses) {
    EXPECT_EQ(ExitCodeForStatus(0), kExitOk);
    EXPECT_EQ(ExitCodeForStatus(-21), kExitNoConverter);
    EXPECT_EQ(ExitCodeForStatus(-400), kExitFailed);
    EXPECT_EQ(ExitCodeForStatus(-11), kExitFailed);
    EXPECT_EQ(ExitCodeForStatus(3), kExitFailed);
    EXPECT_EQ(ExitCodeForStatus(31), kExitFailed);  // an operating-system error
}

TEST(ExitCodes, MessagesOfTheRunAndTheCheck) {
    EXPECT_EQ(ExitCodeForMessage(112), kExitRefused);
    EXPECT_EQ(ExitCodeForMessage(113), kExitRefused);
    EXPECT_EQ(ExitCodeForMessage(115), kExitRefused);
    EXPECT_EQ(ExitCodeForMessage(116), kExitFailed);
    EXPECT_EQ(ExitCodeForMessage(117), kExitFailed);
    EXPECT_EQ(ExitCodeForMessage(125), kExitFailed);
    EXPECT_EQ(ExitCodeForMessage(119), kExitOk);
    EXPECT_EQ(ExitCodeForMessage(121), kExitMismatch);
    EXPECT_EQ(static_cast<int>(kExitUsage), 2);
    EXPECT_EQ(static_cast<int>(kExitInterrupted), 130);
}
