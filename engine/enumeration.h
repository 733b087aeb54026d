// The machine's volumes as the application receives them.
#pragma once
#include <cstdint>
#include "platform/win_types.h"

struct VolumeDetails;

// Listing of the machine's volumes; the caller releases the array with FreeVolumeList.
VolumeDetails* EnumerateVolumes(uint16_t* count, uint32_t* status);
void FreeVolumeList(VolumeDetails* list);
