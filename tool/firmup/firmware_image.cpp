// The firmware image file: trailer fields, acceptance rules, sealing the carried preserved block.
#include "firmware_image.h"

#include <cstring>

ImageTrailer ReadImageTrailer(const uint8_t* file, uint32_t length) {
    const uint8_t* t = file + length - kTrailerSize;
    return ImageTrailer{
        static_cast<uint16_t>(t[1] | t[2] << 8),
        static_cast<uint16_t>(t[3] << 8 | t[4]),
        static_cast<uint16_t>(t[5] << 8 | t[6]),
        static_cast<uint16_t>(t[7] << 8 | t[8]),
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

ImageVerdict JudgeImage(const uint8_t* file, uint64_t length, bool conversionChecked) {
    if (!ImageLengthAllowed(length)) {
        return ImageVerdict::NotFirmware;
    }
    const uint32_t L = static_cast<uint32_t>(length);
    const ImageVerdict sum = JudgeImageChecksum(file, L);
    return sum == ImageVerdict::Accepted ? JudgeImageTag(file, L, conversionChecked) : sum;
}

void SealImage(uint8_t* imageBuffer, uint32_t length, const uint8_t* preservedBlock) {
    std::memcpy(imageBuffer + kPreservedOffset, preservedBlock, kPreservedSize);
    const uint16_t sum = ImageChecksum(imageBuffer, length - kTrailerSize);
    imageBuffer[length - 7] = static_cast<uint8_t>(sum >> 8);
    imageBuffer[length - 8] = static_cast<uint8_t>(sum & 0xFF);
}

bool ImageFile::Open(const char* path) {
    Close();
    m_file = std::fopen(path, "rb");
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
