// The console's texts: the update tool's English strings word for word (the generated table
// against the compiled string table), the question as a prompt, versions, the exit codes in the
// help text and how the engine's stops map onto them.
#include <gtest/gtest.h>

#include <cstring>

#include "console_texts.h"
#include "exit_codes.h"
#include "res_file.h"
#include "version_text.h"

namespace {

constexpr uint16_t kRtString = 6;
constexpr uint16_t kEnglish = 1033;
const EnglishString kConsoleMessages[] = {
    en::MSG_FILE_OPEN_FAILED,  en::MSG_FILE_TYPE_WRONG, en::MSG_VERSION_NOT_NEWER,
    en::MSG_CHECKSUM_MISMATCH, en::MSG_ERASE_FAILED,    en::MSG_WRITE_FAILED,
    en::MSG_UPDATED,           en::MSG_NOT_UPDATED,     en::MSG_READ_FAILED,
};

}  // namespace

#ifdef BRG40FUP_RES
TEST(ConsoleTexts, MessagesAreTheUpdateToolsEnglishStrings) {
    std::vector<ResEntry> entries;
    ASSERT_TRUE(ParseRes(ReadWholeFile(BRG40FUP_RES), entries));
    for (const EnglishString& message : kConsoleMessages) {
        const unsigned id = message.id;
        const uint16_t block = static_cast<uint16_t>(id / 16 + 1);
        const ResEntry* entry = FindRes(entries, kRtString, block, kEnglish);
        ASSERT_NE(entry, nullptr) << id;
        std::vector<std::pair<uint16_t, std::string>> strings;
        ASSERT_TRUE(ParseStringBlock(entry->data, block, strings));
        bool found = false;
        for (const auto& s : strings) {
            if (s.first == id) {
                EXPECT_EQ(s.second, message.text) << id;
                found = true;
            }
        }
        EXPECT_TRUE(found) << id;
    }
}
#endif

TEST(ConsoleTexts, AMessageOnOneLine) {
    EXPECT_EQ(MessageLine(en::MSG_WRITE_FAILED), "Fail to write memory area. Update process will be stopped.");
    EXPECT_EQ(Headline(en::MSG_WRITE_FAILED), "Fail to write memory area.");
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

TEST(ExitCodes, StopsOfTheRunAndTheCheck) {
    const struct {
        UpdateStop reason;
        int code;
        unsigned message;  // 0: none
    } rows[] = {
        {UpdateStop::Completed, kExitOk, 119},
        {UpdateStop::ImageUnreadable, kExitRefused, 112},
        {UpdateStop::NotFirmware, kExitRefused, 113},
        {UpdateStop::ChecksumMismatch, kExitRefused, 115},
        {UpdateStop::Declined, kExitRefused, 0},
        {UpdateStop::PreservedReadFailed, kExitFailed, 125},
        {UpdateStop::EraseFailed, kExitFailed, 116},
        {UpdateStop::WriteFailed, kExitFailed, 117},
        {UpdateStop::ReadBackFailed, kExitMismatch, 121},
        {UpdateStop::ReadBackMismatch, kExitMismatch, 121},
        {UpdateStop::CloseNotSent, kExitMismatch, 121},
    };
    for (const auto& row : rows) {
        const StopReport report = ReportOfStop(row.reason);
        EXPECT_EQ(report.exitCode, row.code) << static_cast<int>(row.reason);
        EXPECT_EQ(report.message != nullptr ? report.message->id : 0u, row.message) << static_cast<int>(row.reason);
    }
    EXPECT_EQ(static_cast<int>(kExitUsage), 2);
    EXPECT_EQ(static_cast<int>(kExitInterrupted), 130);
}
