// The message boxes of the programming run and of the closing check: text and caption of the
// string table (the IDs of resource.h) and the box kind of each.
#ifndef BRG40_FIRMUP_MESSAGES_H
#define BRG40_FIRMUP_MESSAGES_H

#include "dialog_face.h"
#include "resource.h"

struct FirmupMessage {
    unsigned text;
    unsigned caption;
    BoxKind kind;
};

constexpr FirmupMessage kMsgOpenFailed{IDS_MSG_FILE_OPEN_FAILED, IDS_CAPTION_FILE_OPEN, kBoxWarning};
constexpr FirmupMessage kMsgNotFirmware{IDS_MSG_FILE_TYPE_WRONG, IDS_CAPTION_FILE_TYPE, kBoxWarning};
constexpr FirmupMessage kMsgVersionQuestion{IDS_MSG_VERSION_NOT_NEWER, IDS_CAPTION_VERSION_CHECK, kBoxQuestion};
constexpr FirmupMessage kMsgChecksumFailed{IDS_MSG_CHECKSUM_MISMATCH, IDS_CAPTION_CHECKSUM, kBoxWarning};
constexpr FirmupMessage kMsgEraseFailed{IDS_MSG_ERASE_FAILED, IDS_CAPTION_ERASE, kBoxWarning};
constexpr FirmupMessage kMsgWriteFailed{IDS_MSG_WRITE_FAILED, IDS_CAPTION_WRITE, kBoxWarning};
constexpr FirmupMessage kMsgUpdated{IDS_MSG_UPDATED, IDS_CAPTION_UPDATED, kBoxInformation};
constexpr FirmupMessage kMsgCloseFailed{IDS_MSG_NOT_UPDATED, IDS_CAPTION_CLOSE, kBoxWarning};
constexpr FirmupMessage kMsgReadFailed{IDS_MSG_READ_FAILED, IDS_CAPTION_READ, kBoxWarning};

#endif
