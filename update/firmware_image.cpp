// The firmware image file: trailer fields, acceptance rules, sealing the carried preserved block.
#include "firmware_image.h"

#include <cstring>
#include <new>
#include <vector>

// Offsets of the trailer fields, counted back from the end of the file.
constexpr uint32_t kChecksumLowFromEnd = 8;
constexpr uint32_t kChecksumHighFromEnd = 7;
constexpr uint32_t kVersionFromEnd = 6;  // major, then minor
constexpr uint32_t kVendorFromEnd = 4;   // high byte first
constexpr uint32_t kModelFromEnd = 2;    // high byte first

uint16_t TrailerChecksum(const uint8_t* image, uint32_t length) {
    return static_cast<uint16_t>(image[length - kChecksumHighFromEnd] << 8 | image[length - kChecksumLowFromEnd]);
}

void StoreTrailerChecksum(uint8_t* image, uint32_t length, uint16_t checksum) {
    image[length - kChecksumHighFromEnd] = static_cast<uint8_t>(checksum >> 8);
    image[length - kChecksumLowFromEnd] = static_cast<uint8_t>(checksum & 0xFF);
}

static uint16_t WordAt(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);  // high byte first
}

bool ImageVersionOf(const uint8_t* file, uint32_t length, uint16_t* version) {
    if (length < kVersionFromEnd) {
        return false;
    }
    *version = WordAt(file + length - kVersionFromEnd);
    return true;
}

ImageTrailer ReadImageTrailer(const uint8_t* file, uint32_t length) {
    return ImageTrailer{
        TrailerChecksum(file, length),
        WordAt(file + length - kVersionFromEnd),
        WordAt(file + length - kVendorFromEnd),
        WordAt(file + length - kModelFromEnd),
    };
}

ImageVerdict JudgeImageChecksum(const uint8_t* file, uint32_t length) {
    if (length < kTrailerSize) {
        return ImageVerdict::NotFirmware;  // no trailer to read: nothing outside the file is touched
    }
    // The byte at L - 9 lies outside the sum: it covers offsets 0 to L - 10.
    const uint16_t computed = ImageChecksum(file, length - kTrailerSize);
    return ReadImageTrailer(file, length).checksum == computed ? ImageVerdict::Accepted
                                                               : ImageVerdict::ChecksumMismatch;
}

ImageVerdict JudgeImageTag(const uint8_t* file, uint32_t length, bool conversionChecked) {
    if (length < kTrailerSize) {
        return ImageVerdict::NotFirmware;
    }
    const ImageTrailer trailer = ReadImageTrailer(file, length);
    const bool model = trailer.model == kModelBrg40m || (conversionChecked && trailer.model == kModelBrg40);
    return trailer.vendor == kVendorWord && model ? ImageVerdict::Accepted : ImageVerdict::NotFirmware;
}

ImageVerdict JudgeImage(const uint8_t* file, uint64_t length, const std::function<bool()>& conversionChecked) {
    if (!ImageLengthAllowed(length)) {
        return ImageVerdict::NotFirmware;
    }
    const uint32_t L = static_cast<uint32_t>(length);
    const ImageVerdict sum = JudgeImageChecksum(file, L);
    return sum == ImageVerdict::Accepted ? JudgeImageTag(file, L, conversionChecked()) : sum;
}

void SealImage(uint8_t* imageBuffer, uint32_t length, const uint8_t* preservedBlock) {
    std::memcpy(imageBuffer + kPreservedOffset, preservedBlock, kPreservedSize);
    StoreTrailerChecksum(imageBuffer, length, ImageChecksum(imageBuffer, length - kTrailerSize));
}

UpdateStop CheckImage(const char* path,
                      const std::function<bool()>& allowModelChange,
                      CheckedImage& image,
                      FileOpener open) {
    ImageFile file;
    if (!file.Open(path, open)) {
        return UpdateStop::ImageUnreadable;
    }
    const long fileLength = file.Length();
    if (fileLength < 0) {
        return UpdateStop::ImageUnreadable;
    }
    if (!ImageLengthAllowed(static_cast<uint64_t>(fileLength))) {
        return UpdateStop::NotFirmware;  // the file is closed on the way out, before any message about it
    }
    const uint32_t L = static_cast<uint32_t>(fileLength);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[kImageBufferSize]);
    if (!bytes) {
        return UpdateStop::ImageUnreadable;  // the file cannot be taken in
    }
    std::memset(bytes.get(), 0xFF, kImageBufferSize);  // a short file is programmed padded with 0xFF
    const bool read = file.Read(bytes.get(), L);
    file.Close();
    if (!read) {
        return UpdateStop::ImageUnreadable;
    }
    switch (JudgeImage(bytes.get(), L, allowModelChange)) {
        case ImageVerdict::ChecksumMismatch:
            return UpdateStop::ChecksumMismatch;
        case ImageVerdict::NotFirmware:
            return UpdateStop::NotFirmware;
        case ImageVerdict::Accepted:
            break;
    }
    image.version = ReadImageTrailer(bytes.get(), L).version;
    image.length = L;
    image.bytes = std::move(bytes);
    return UpdateStop::Completed;
}

ImageFileLook LookAtImageFile(const char* path) {
    ImageFileLook look;
    ImageFile file;
    if (!file.Open(path)) {
        return look;
    }
    const long length = file.Length();
    if (length < 0 || static_cast<uint64_t>(length) > kMaxImageFileSize) {
        return look;  // larger files are not looked at
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (!file.Read(bytes.data(), static_cast<uint32_t>(length))) {
        return look;
    }
    look.readable = true;
    look.hasVersion = ImageVersionOf(bytes.data(), static_cast<uint32_t>(length), &look.version);
    return look;
}

bool ImageFile::Open(const char* path, FileOpener open) {
    Close();
    m_file = open(path, "rb");
    return m_file != nullptr;
}

long ImageFile::Length() {
    if (!m_file || std::fseek(m_file, 0, SEEK_END) != 0) {
        return -1;
    }
    const long length = std::ftell(m_file);
    return std::fseek(m_file, 0, SEEK_SET) == 0 ? length : -1;
}

bool ImageFile::Read(uint8_t* buffer, uint32_t length) {
    return m_file && std::fread(buffer, 1, length, m_file) == length;
}

void ImageFile::Close() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}
