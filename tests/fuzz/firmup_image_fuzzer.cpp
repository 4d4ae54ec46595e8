// libFuzzer target for the image file rules: the verdicts straight from the bytes, sealing an
// accepted image, and the programming run taking the same bytes from a file (no device present).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "dialog_events.h"
#include "firmware_image.h"
#include "fuzz_support.h"

namespace {

// No update-mode device: every transfer fails to open its pipe.
class AbsentPipe : public UpdatePipe {
public:
    int Write(const uint8_t*, uint32_t) override { return -1; }
    int Read(uint8_t*, uint32_t) override { return -1; }
    std::string DeviceId() override { return {}; }
};

const std::string& FilePath() {
    static const FuzzFile file("image.fwu");
    return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool checked : {false, true}) {
        const ImageVerdict verdict = JudgeImage(data, size, checked);
        if (size > kMaxImageFileSize || size < kTrailerSize) {
            Check(verdict == ImageVerdict::NotFirmware, "length rule");
            continue;
        }
        const uint32_t L = static_cast<uint32_t>(size);
        const ImageTrailer trailer = ReadImageTrailer(data, L);
        if (verdict != ImageVerdict::Accepted) {
            continue;
        }
        Check(trailer.vendor == kVendorWord, "vendor");
        Check(trailer.model == kModelBrg40m || (checked && trailer.model == kModelBrg40), "model");
        Check(trailer.checksum == ImageChecksum(data, L - kTrailerSize), "checksum");

        // Sealing keeps the image valid whatever block it carries, and pads with 0xFF.
        std::vector<uint8_t> image(kImageBufferSize, 0xFF);
        std::memcpy(image.data(), data, L);
        uint8_t block[kPreservedSize];
        for (uint32_t i = 0; i < kPreservedSize; ++i) {
            block[i] = static_cast<uint8_t>(data[i % L] + i);
        }
        SealImage(image.data(), L, block);
        Check(JudgeImageChecksum(image.data(), L) == ImageVerdict::Accepted, "sealed checksum");
        Check(std::memcmp(image.data() + kPreservedOffset, block, kPreservedSize) == 0, "carried block");
        for (uint32_t i = L; i < kImageSize; ++i) {
            Check(image[i] == 0xFF || (i >= kPreservedOffset && i < kPreservedOffset + kPreservedSize), "padding");
        }
    }

    // The run reads the same bytes from a file and must name the same rule.
    FILE* f = std::fopen(FilePath().c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    if (!written) {
        return 0;
    }
    FuzzDialog face;
    face.checked = size > 0 && (data[0] & 1);
    AbsentPipe pipe;
    FirmupProgramState state;
    const RunOutcome outcome = ProgramFirmware(FilePath().c_str(), 0x0104, face, pipe, state);
    const ImageVerdict verdict = JudgeImage(data, size, face.checked);
    Check(outcome == RunOutcome::Stopped, "run outcome");
    const unsigned expected = verdict == ImageVerdict::NotFirmware                                    ? 113u
                              : verdict == ImageVerdict::ChecksumMismatch                             ? 115u
                              : ReadImageTrailer(data, static_cast<uint32_t>(size)).version <= 0x0104 ? 114u
                                                                                                      : 125u;
    Check(face.first == expected, "run message");
    return 0;
}
