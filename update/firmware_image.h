// The firmware image file: layout of the image and its trailer, the acceptance rules, and the
// device's preserved block carried into the image before it is programmed.
#ifndef BRG40_FIRMWARE_IMAGE_H
#define BRG40_FIRMWARE_IMAGE_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "image_checksum.h"
#include "update_events.h"

constexpr uint32_t kImageSize = 22528;  // flash 0x000800 to 0x005FFF, image offset 0 = 0x000800
// Opens a file by name, as std::fopen does.
using FileOpener = std::FILE* (*)(const char* path, const char* mode);

constexpr uint32_t kMaxImageFileSize = 22536;  // longer files are not firmware for this model
constexpr uint32_t kImageBufferSize = 24576;   // imageBuffer, filled with 0xFF before the file is read
constexpr uint32_t kTrailerSize = 9;           // the last 9 bytes of the file
constexpr uint32_t kPreservedOffset = 22496;   // PreservedBlock: flash 0x005FE0 to 0x005FEF
constexpr uint32_t kPreservedSize = 16;
constexpr uint16_t kVendorWord = 0x1F3A;
constexpr uint16_t kModelBrg40m = 0x0C26;  // firmware for NKV-BRG40M
constexpr uint16_t kModelBrg40 = 0x0C20;   // firmware for NKV-BRG40, only with the conversion box checked

// The trailer's checksum of an image of length bytes: bytes length - 8 (low) and length - 7 (high).
// The one place that reads and writes it.
uint16_t TrailerChecksum(const uint8_t* image, uint32_t length);
void StoreTrailerChecksum(uint8_t* image, uint32_t length, uint16_t checksum);

// The version an image file of length bytes carries: bytes length - 6 (major) and length - 5
// (minor). False for a file too short to carry one.
bool ImageVersionOf(const uint8_t* file, uint32_t length, uint16_t* version);

// The trailer fields of a file of length bytes (at least kTrailerSize), read from its end.
struct ImageTrailer {
    uint16_t checksum;  // bytes L-8 (low), L-7 (high)
    uint16_t version;   // bytes L-6 (major), L-5 (minor)
    uint16_t vendor;    // bytes L-4, L-3, high byte first
    uint16_t model;     // bytes L-2, L-1, high byte first
};
ImageTrailer ReadImageTrailer(const uint8_t* file, uint32_t length);

enum class ImageVerdict {
    Accepted,
    NotFirmware,       // too long, too short for a trailer, or a wrong tag: message 113
    ChecksumMismatch,  // message 115
};

// Length rule: at most 22536 bytes, and not a length whose trailer checksum (at length - 8 and
// length - 7, rewritten when the image is sealed) would land on the carried preserved block
// (lengths 22503 to 22519): sealing such a file would overwrite the device's own bytes.
inline bool ImageLengthAllowed(uint64_t length) {
    const bool checksumOnPreserved = length >= kPreservedOffset + 7 && length < kPreservedOffset + kPreservedSize + 8;
    return length <= kMaxImageFileSize && !checksumOnPreserved;
}
// Checksum rule over the file's own bytes; a file shorter than its trailer is not firmware.
ImageVerdict JudgeImageChecksum(const uint8_t* file, uint32_t length);
// Tag rule: vendor 0x1F3A with model 0x0C26, or 0x0C20 while the conversion box is checked.
ImageVerdict JudgeImageTag(const uint8_t* file, uint32_t length, bool conversionChecked);
// The length, checksum and tag rules in their order (what the programming run checks before the
// version). conversionChecked is asked only once the checksum has passed.
ImageVerdict JudgeImage(const uint8_t* file, uint64_t length, const std::function<bool()>& conversionChecked);
inline ImageVerdict JudgeImage(const uint8_t* file, uint64_t length, bool conversionChecked) {
    return JudgeImage(file, length, [conversionChecked] { return conversionChecked; });
}

// The version question is asked when the image is not newer than the device (0xFFFF: unknown).
inline bool ImageVersionNeedsQuestion(uint16_t imageVersion, uint16_t currentVersion) {
    return imageVersion <= currentVersion;
}

// Carries the device's 16 bytes into imageBuffer and stores the checksum over offsets 0 to
// length - 10 anew at offsets length - 8 (low) and length - 7 (high). length: an accepted file's.
void SealImage(uint8_t* imageBuffer, uint32_t length, const uint8_t* preservedBlock);

// An image file taken in whole and judged: its bytes in a buffer of kImageBufferSize filled with
// 0xFF past the file (a short file is programmed padded), its length and its version.
struct CheckedImage {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t length = 0;
    uint16_t version = 0;
};

// The image rules without a device, in the programming run's order: the file is opened, its length
// judged (closed before anything is said about its contents), read whole and judged by its
// checksum and then its tag; allowModelChange is asked only once the checksum has passed.
// Completed with image filled; else ImageUnreadable, NotFirmware or ChecksumMismatch.
// open: how the program opens a file by the name it holds (the dialog's names are in the ANSI code
// page, as std::fopen takes them; brg40's are UTF-8, opened through the wide API on Windows).
UpdateStop CheckImage(const char* path,
                      const std::function<bool()>& allowModelChange,
                      CheckedImage& image,
                      FileOpener open = std::fopen);

// What "[1] Reference" shows of a chosen file: whether it could be read whole within the longest
// firmware length, and the version it carries (none for a file shorter than a version).
struct ImageFileLook {
    bool readable = false;
    bool hasVersion = false;
    uint16_t version = 0;
};
ImageFileLook LookAtImageFile(const char* path);

// An image file opened for reading; the destructor closes it.
class ImageFile {
public:
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile() { Close(); }

    bool Open(const char* path, FileOpener open = std::fopen);
    // The file's length in bytes; -1 when it cannot be told.
    long Length();
    // Reads length bytes from the start into buffer; false when fewer arrive.
    bool Read(uint8_t* buffer, uint32_t length);
    void Close();

private:
    std::FILE* m_file = nullptr;
};

#endif
