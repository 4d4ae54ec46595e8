// The SG_IO bridge's translation: a Linux sg_io_hdr that Wine 8 builds from a caller's 96-byte
// pass-through block (IOCTL_SCSI_PASS_THROUGH_DIRECT) into the model's request, and the model's
// outcome back into the header, the caller's block and errno.
#ifndef BRG40_SIM_SG_BRIDGE_H
#define BRG40_SIM_SG_BRIDGE_H

#include <scsi/sg.h>

#include <cstdint>
#include <string>

#include "wire.h"

namespace sim {

// Wine passes pointers into the caller's own block: cmdp is the Cdb field (offset 36) and sbp
// the sense area (offset SenseInfoOffset). The bridge reads the whole block through them.
constexpr size_t kBlockSize = 96;
constexpr size_t kCdbOffset = 36;
constexpr size_t kSenseOffset = 60;

// The request for device LPTn: every field of the block checked (the values the converter's
// driver expects; any other is the block_error), block_was_clean when everything the caller
// does not fill (status, padding, filler, sense area, tail) is zero.
wire::ScsiCall call_from_sg(int lpt, const sg_io_hdr& hdr);

// Writes the outcome back. Returns 0, or -1 with errno set for a request that fails (the Windows
// error Wine will report); a sense key other than 0 comes back as CHECK CONDITION with the sense
// bytes in the caller's sense area; on GOOD status the sense area stays untouched.
int apply_outcome(sg_io_hdr& hdr, const wire::ScsiOutcome& outcome);

// The LPT number of a device file "<device_dir>/unitN", or 0.
int lpt_of_path(const std::string& device_dir, const std::string& path);

}  // namespace sim

#endif
