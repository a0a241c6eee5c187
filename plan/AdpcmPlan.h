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
constexpr int32_t kPlanSlotSize = kPlanSectors * (128 << kPlanSizeCode);
constexpr int32_t PlannedTrack(int32_t i) { return 72 + 2 * i; }

// Reads slot `i` of the plan from the current disk of `d88` into `slot`
// (kPlanSlotSize bytes); the caller has set the sector range to
// 1..kPlanSectors. Returns the bytes of whole sectors read; the rest of
// `slot` is untouched but for the bytes of a short sector.
int32_t ReadPlannedTrack(D88File& d88, int32_t i, uint8_t* slot);

#endif  // PLAN_ADPCMPLAN_H_
