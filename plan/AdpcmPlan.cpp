#include "plan/AdpcmPlan.h"

int32_t ReadPlannedTrack(D88File& d88, int32_t i, uint8_t* slot) {
  // Track t is cylinder t / 2, head t % 2.
  const int32_t t = PlannedTrack(i);
  return d88.ReadSectors(t, t >> 1, t & 1, 1, kPlanSizeCode, slot, kPlanSlotSize);
}
