// Which files the programming run accepts, with which message it refuses the others, and in which
// order the rules and the version question come; files are made at test time.
#include <gtest/gtest.h>

#include <algorithm>

#include "dialog_events.h"
#include "firmware_image.h"
#include "image_gen.h"
#include "recording_dialog.h"
#include "simulated_update_device.h"

namespace {

struct Result {
    RunOutcome outcome;
    std::vector<ShownMessage> messages;
    uint32_t requests;  // requests the loader received
    bool box_read;      // the conversion check box was looked at
    bool block_intact;  // flash 0x5FE0 still holds the device's own preserved block
};

Result RunFile(const std::vector<uint8_t>& bytes,
               uint16_t current = 0x0104,
               bool checked = false,
               int answer = kAnswerYes) {
    UpdateDevice device;
    DevicePipe pipe(device);
    RecordingDialog face;
    face.checked = checked;
    face.question_answer = answer;
    FirmupProgramState state;
    TempFile file(bytes);
    const RunOutcome outcome = ProgramFirmware(file.path(), current, face, pipe, state);
    const bool box_read = std::any_of(face.calls.begin(), face.calls.end(),
                                      [](const FaceCall& c) { return c.kind == FaceCall::CheckBox; });
    return {outcome, face.messages, device.loader().request_count(), box_read,
            device.flash_bytes(0x5FE0, 16) == device.preserved_value()};
}

std::vector<uint8_t> Image(uint32_t size, uint8_t major = 1, uint8_t minor = 5, uint16_t model = kModelBrg40m) {
    sim::ImageSpec spec;
    spec.size = size;
    spec.major = major;
    spec.minor = minor;
    spec.model = model;
    return sim::make_image(spec);
}

const ShownMessage kOpen{112, 103, kBoxWarning, false, 0, 0};
const ShownMessage kNotFirmware{113, 104, kBoxWarning, false, 0, 0};
const ShownMessage kChecksum{115, 106, kBoxWarning, false, 0, 0};
const ShownMessage kUpdated{119, 110, kBoxInformation, false, 0, 0};

ShownMessage Question(unsigned major, unsigned minor) {
    return {114, 105, kBoxQuestion, true, major, minor};
}

constexpr uint32_t kFullRun = 1 + 352 + 1408;

}  // namespace

TEST(ImageAcceptance, LengthRule) {
    struct Case {
        uint32_t size;
        bool accepted;
    } cases[] = {{22528, true},
                 {22536, true},
                 {22537, false},
                 {22527, true},
                 {100, true},
                 {9, true},
                 // The checksum of these lengths would be written over the carried preserved block.
                 {22502, true},
                 {22503, false},
                 {22511, false},
                 {22519, false},
                 {22520, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const Result r = RunFile(Image(c.size));
        if (c.accepted) {
            EXPECT_EQ(r.outcome, RunOutcome::Completed);
            EXPECT_EQ(r.messages, std::vector<ShownMessage>{kUpdated});
            EXPECT_EQ(r.requests, kFullRun);
            EXPECT_TRUE(r.block_intact);
        } else {
            EXPECT_EQ(r.outcome, RunOutcome::Stopped);
            EXPECT_EQ(r.messages, std::vector<ShownMessage>{kNotFirmware});
            EXPECT_EQ(r.requests, 0u);
        }
    }
}

TEST(ImageAcceptance, FilesShorterThanTheTrailerAreNotFirmware) {
    // Any content: the run must not look before the file's first byte (ASan watches the buffer).
    for (uint32_t size : {0u, 1u, 5u, 8u}) {
        SCOPED_TRACE(size);
        for (uint8_t fill : {0x00, 0xFF, 0x26}) {
            const Result r = RunFile(std::vector<uint8_t>(size, fill));
            EXPECT_EQ(r.outcome, RunOutcome::Stopped);
            EXPECT_EQ(r.messages, std::vector<ShownMessage>{kNotFirmware});
            EXPECT_EQ(r.requests, 0u);
        }
    }
}

TEST(ImageAcceptance, ShortFilesWithoutAValidTrailerFailTheChecksum) {
    for (uint32_t size : {9u, 100u, 22527u}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> bytes = Image(size);
        bytes[size - 8] ^= 0x01;
        const Result r = RunFile(bytes);
        EXPECT_EQ(r.messages, std::vector<ShownMessage>{kChecksum});
        EXPECT_EQ(r.requests, 0u);
    }
}

TEST(ImageAcceptance, MissingFileIsReportedAsNotOpening) {
    UpdateDevice device;
    DevicePipe pipe(device);
    RecordingDialog face;
    FirmupProgramState state;
    const std::string path = testing::TempDir() + "brg40_no_such_file.fwu";
    EXPECT_EQ(ProgramFirmware(path.c_str(), 0x0104, face, pipe, state), RunOutcome::Stopped);
    EXPECT_EQ(face.messages, std::vector<ShownMessage>{kOpen});
    EXPECT_TRUE(pipe.ops.empty());
}

TEST(ImageAcceptance, ByteBeforeTheChecksumIsOutsideIt) {
    for (uint32_t size : {22528u, 22536u, 100u}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> outside = Image(size);
        outside[size - 9] ^= 0x5A;  // not summed
        EXPECT_EQ(RunFile(outside).outcome, RunOutcome::Completed);

        for (uint32_t offset : {0u, size / 2, size - 10}) {
            std::vector<uint8_t> inside = Image(size);
            inside[offset] ^= 0x5A;
            EXPECT_EQ(RunFile(inside).messages, std::vector<ShownMessage>{kChecksum}) << "offset " << offset;
        }
    }
}

TEST(ImageAcceptance, ChecksumIsStoredLowByteFirst) {
    std::vector<uint8_t> bytes = Image(22528);
    std::swap(bytes[22520], bytes[22521]);  // a checksum stored high byte first
    if (bytes[22520] != bytes[22521]) {
        EXPECT_EQ(RunFile(bytes).messages, std::vector<ShownMessage>{kChecksum});
    }
}

TEST(ImageAcceptance, ModelTagAndConversionBox) {
    struct Case {
        uint16_t vendor, model;
        bool checked, accepted;
    } cases[] = {
        {0x1F3A, 0x0C26, false, true}, {0x1F3A, 0x0C26, true, true},   {0x1F3A, 0x0C20, false, false},
        {0x1F3A, 0x0C20, true, true},  {0x1F3A, 0x0C21, true, false},  {0x1F3B, 0x0C26, false, false},
        {0x3A1F, 0x0C26, true, false}, {0x1F3A, 0x260C, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.vendor << " " << c.model << " checked " << c.checked);
        sim::ImageSpec spec;
        spec.vendor = c.vendor;
        spec.model = c.model;
        const Result r = RunFile(sim::make_image(spec), 0x0104, c.checked);
        EXPECT_EQ(r.outcome, c.accepted ? RunOutcome::Completed : RunOutcome::Stopped);
        EXPECT_EQ(r.messages.front(), c.accepted ? kUpdated : kNotFirmware);
        EXPECT_EQ(r.requests, c.accepted ? kFullRun : 0u);
    }
}

TEST(ImageAcceptance, ChecksumComesBeforeTagAndTagBeforeVersion) {
    // Wrong checksum, wrong tag and an old version at once: only the checksum is reported, and
    // the check box is not even looked at.
    std::vector<uint8_t> all_wrong = Image(22528, 1, 0, 0x0C20);
    all_wrong[10] ^= 0xFF;
    Result r = RunFile(all_wrong, 0x0104);
    EXPECT_EQ(r.messages, std::vector<ShownMessage>{kChecksum});
    EXPECT_FALSE(r.box_read);

    // Wrong tag and an old version: the tag, no question.
    r = RunFile(Image(22528, 1, 0, 0x0C20), 0x0104);
    EXPECT_EQ(r.messages, std::vector<ShownMessage>{kNotFirmware});
    EXPECT_TRUE(r.box_read);

    // Too long and a wrong checksum: the length.
    std::vector<uint8_t> long_bad = Image(22537);
    long_bad[0] ^= 1;
    EXPECT_EQ(RunFile(long_bad).messages, std::vector<ShownMessage>{kNotFirmware});
}

TEST(ImageAcceptance, VersionQuestion) {
    struct Case {
        uint8_t major, minor;
        uint16_t current;
        bool asked;
    } cases[] = {
        {0x01, 0x05, 0x0104, false},                              // newer: written without a question
        {0x01, 0x05, 0x0105, true},                               // equal
        {0x01, 0x05, 0x0106, true},                               // older
        {0x01, 0x05, 0x0205, true},  {0x0A, 0x00, 0xFFFF, true},  // the device's version was not obtained
        {0xFF, 0xFF, 0xFFFF, true},  {0xFF, 0xFE, 0xFF00, false}, {0x00, 0x01, 0x0000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.major) << "." << int(c.minor) << " on " << c.current);
        const Result yes = RunFile(Image(22528, c.major, c.minor), c.current, false, kAnswerYes);
        EXPECT_EQ(yes.outcome, RunOutcome::Completed);
        EXPECT_EQ(yes.requests, kFullRun);
        if (c.asked) {
            EXPECT_EQ(yes.messages, (std::vector<ShownMessage>{Question(c.major, c.minor), kUpdated}));
            // No (and any answer but Yes) ends the run silently, before any command.
            for (int answer : {int(kAnswerNo), 0}) {
                const Result no = RunFile(Image(22528, c.major, c.minor), c.current, false, answer);
                EXPECT_EQ(no.outcome, RunOutcome::Declined);
                EXPECT_EQ(no.messages, std::vector<ShownMessage>{Question(c.major, c.minor)});
                EXPECT_EQ(no.requests, 0u);
            }
        } else {
            EXPECT_EQ(yes.messages, std::vector<ShownMessage>{kUpdated});
        }
    }
}

TEST(ImageAcceptance, DirectRulesMatchTheRun) {
    // The rules as the fuzzer drives them: the same verdicts for the same bytes.
    const std::vector<uint8_t> good = Image(22528);
    EXPECT_EQ(JudgeImage(good.data(), good.size(), false), ImageVerdict::Accepted);
    EXPECT_EQ(JudgeImage(good.data(), 22537, false), ImageVerdict::NotFirmware);
    EXPECT_EQ(JudgeImage(good.data(), 8, false), ImageVerdict::NotFirmware);
    const std::vector<uint8_t> other = Image(22528, 1, 5, kModelBrg40);
    EXPECT_EQ(JudgeImage(other.data(), other.size(), false), ImageVerdict::NotFirmware);
    EXPECT_EQ(JudgeImage(other.data(), other.size(), true), ImageVerdict::Accepted);
    const ImageTrailer t = ReadImageTrailer(good.data(), 22528);
    EXPECT_EQ(t.version, 0x0105);
    EXPECT_EQ(t.vendor, 0x1F3A);
    EXPECT_EQ(t.model, 0x0C26);
    EXPECT_EQ(t.checksum, good[22520] | good[22521] << 8);
}
