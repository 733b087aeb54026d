// Placeholder until the volume listing lands: no volumes.
#include "engine/enumeration.h"

#include <cstdlib>

VolumeDetails* EnumerateVolumes(uint16_t* count, uint32_t* status) {
    if (count) *count = 0;
    if (status) *status = 0;
    return nullptr;
}

void FreeVolumeList(VolumeDetails* list) { std::free(list); }
