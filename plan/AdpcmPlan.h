// The extraction plan of d88adpcm: which sectors of a disk make up the ADPCM
// file. d88adpcm reads it; d88ls reports, disk by disk, what it would read.
#ifndef PLAN_ADPCMPLAN_H_
#define PLAN_ADPCMPLAN_H_

#include <cstdint>

#include "d88/D88File.h"

// Slot i (0 to kPlanTracks - 1) of the output holds track PlannedTrack(i),
// cylinder 36 + i, head 0: sectors 1 to kPlanSectors of size code
// kPlanSizeCode, kPlanSlotSize bytes, at offset i * kPlanSlotSize.
constexpr int32_t kPlanTracks = 39;
constexpr int32_t kPlanSectors = 26;
constexpr int32_t kPlanSizeCode = 1;
constexpr int32_t kPlanSectorSize = 128 << kPlanSizeCode;  // 256 bytes
constexpr int32_t kPlanSlotSize = kPlanSectors * kPlanSectorSize;
constexpr int32_t PlannedTrack(int32_t i) { return 72 + 2 * i; }

// The ADPCM file that d88adpcm writes: 256 KiB, the size of the sound
// chip's sample RAM. The plan's slots fill it from its start; the last
// 2,560 bytes are never filled and are written as zeros.
constexpr int32_t kAdpcmFileSize = 0x40000;
static_assert(kPlanTracks * kPlanSlotSize <= kAdpcmFileSize, "the plan must fit the ADPCM file");

// Reads slot `i` of the plan from the current disk of `d88` into `slot`
// (kPlanSlotSize bytes); the caller has set the sector range to
// 1..kPlanSectors. Returns the bytes of whole sectors read; the rest of
// `slot` is untouched but for the bytes of a short sector.
int32_t ReadPlannedTrack(D88File& d88, int32_t i, uint8_t* slot);

#endif  // PLAN_ADPCMPLAN_H_
