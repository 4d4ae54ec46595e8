// Planning a write to a NOR flash: which blocks to erase and which pages to program so that sectors
// that already hold the data are left alone, and what to read back afterwards. Pure.
#ifndef BRG40_CLI_SPIFLASH_PLAN_H
#define BRG40_CLI_SPIFLASH_PLAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "spiflash_geometry.h"

struct FlashRange {
    uint32_t address = 0;
    uint32_t length = 0;
};

struct EraseStep {
    uint32_t address = 0;
    size_t type = 0;  // index into the geometry's erase types
};

struct WritePlan {
    std::vector<EraseStep> erases;
    std::vector<FlashRange> programs;  // each inside one page, trimmed to the bytes that change
    std::vector<FlashRange> verify;    // the sectors erased or programmed, adjacent ones joined
    uint32_t sectors = 0;              // sectors (the smallest erase size) in the span
    uint32_t sectorsErased = 0;
    uint32_t sectorsUnchanged = 0;
    uint64_t bytesErased = 0;
    uint64_t bytesProgrammed = 0;
};

// The whole sectors (of the smallest erase size) around [offset, offset + length).
FlashRange SectorSpan(const FlashGeometry& geometry, uint32_t offset, uint32_t length);

// span: a SectorSpan; current: the chip's bytes over it; target: what they must become (both
// span.length bytes). A sector is erased only where a bit must go from 0 to 1; the erase types are
// chosen by their typical times (a larger block when that is quicker than its sectors and the
// rewriting of the others it takes along).
WritePlan PlanWrite(const FlashGeometry& geometry,
                    const FlashRange& span,
                    const uint8_t* current,
                    const uint8_t* target);

#endif
