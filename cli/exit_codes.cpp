// Mapping of library statuses and of the update engine's stop reasons onto brg40's exit codes.
#include "exit_codes.h"

#include "brg40firmup.h"

namespace {

struct StopRow {
    UpdateStop reason;
    StopReport report;
};

// A run that completed says the tool's "updated properly"; a read-back that failed in any way
// leaves the converter in update mode, as a mismatch does.
const StopRow kStopRows[] = {
    {UpdateStop::Completed, {kExitOk, &en::MSG_UPDATED}},
    {UpdateStop::ImageUnreadable, {kExitRefused, &en::MSG_FILE_OPEN_FAILED}},
    {UpdateStop::NotFirmware, {kExitRefused, &en::MSG_FILE_TYPE_WRONG}},
    {UpdateStop::ChecksumMismatch, {kExitRefused, &en::MSG_CHECKSUM_MISMATCH}},
    {UpdateStop::Declined, {kExitRefused, nullptr}},
    {UpdateStop::PreservedReadFailed, {kExitFailed, &en::MSG_READ_FAILED}},
    {UpdateStop::PreservedNotSaved, {kExitFailed, nullptr}},  // brg40 says it in its own words
    {UpdateStop::EraseFailed, {kExitFailed, &en::MSG_ERASE_FAILED}},
    {UpdateStop::WriteFailed, {kExitFailed, &en::MSG_WRITE_FAILED}},
    {UpdateStop::ReadBackFailed, {kExitMismatch, &en::MSG_NOT_UPDATED}},
    {UpdateStop::ReadBackMismatch, {kExitMismatch, &en::MSG_NOT_UPDATED}},
    {UpdateStop::CloseNotSent, {kExitMismatch, &en::MSG_NOT_UPDATED}},
};

}  // namespace

int ExitCodeForStatus(int status) {
    if (status == BRG40_OK) {
        return kExitOk;
    }
    if (status == BRG40_ERROR_ACCESS_DENIED) {
        return kExitDenied;
    }
    return status == BRG40_NO_DEVICE ? kExitNoConverter : kExitFailed;
}

StopReport ReportOfStop(UpdateStop reason) {
    for (const StopRow& row : kStopRows) {
        if (row.reason == reason) {
            return row.report;
        }
    }
    return {kExitFailed, nullptr};
}
