// The message boxes of the programming run and of the closing check: text and caption IDs of
// the string table and the box kind of each.
#ifndef BRG40_FIRMUP_MESSAGES_H
#define BRG40_FIRMUP_MESSAGES_H

#include "dialog_face.h"

struct FirmupMessage {
    unsigned text;
    unsigned caption;
    BoxKind kind;
};

constexpr FirmupMessage kMsgOpenFailed{112, 103, kBoxWarning};      // "Fail to open the file..."
constexpr FirmupMessage kMsgNotFirmware{113, 104, kBoxWarning};     // "...is not firmware of NKV-BRG40M..."
constexpr FirmupMessage kMsgVersionQuestion{114, 105, kBoxQuestion};  // "Selected firmware version is %X.%02X..."
constexpr FirmupMessage kMsgChecksumFailed{115, 106, kBoxWarning};  // "Checksum is not matched..."
constexpr FirmupMessage kMsgEraseFailed{116, 107, kBoxWarning};     // "Fail to erase memory area..."
constexpr FirmupMessage kMsgWriteFailed{117, 108, kBoxWarning};     // "Fail to write memory area..."
constexpr FirmupMessage kMsgUpdated{119, 110, kBoxInformation};     // "Firmware was updated properly..."
constexpr FirmupMessage kMsgCloseFailed{121, 120, kBoxWarning};     // "Firmware was not updated properly..."
constexpr FirmupMessage kMsgReadFailed{125, 124, kBoxWarning};      // "Fail to read memory area..."

#endif
