#include "engine/enumeration.h"

#include <cstdlib>
#include <cstring>

#include "engine/volume_listing.h"

VolumeDetails* EnumerateVolumesFrom(const ListingSources& sources, uint16_t* count, uint32_t* status) {
    if (count) *count = 0;
    VolumeListing listing(kVolumeListingInitial, kVolumeListingGrowth);
    uint32_t code = BuildVolumeListing(sources, listing);
    VolumeDetails* result = nullptr;
    // The count is 16-bit; a listing beyond it is cut rather than reported wrongly.
    int32_t n = listing.count > 0xFFFF ? 0xFFFF : listing.count;
    if (code == 0 && n > 0) {
        result = static_cast<VolumeDetails*>(std::malloc(sizeof(VolumeDetails) * size_t(n)));
        if (result) {
            std::memcpy(result, listing.storage, sizeof(VolumeDetails) * size_t(n));
            if (count) *count = uint16_t(n);
        } else {
            code = ERROR_NOT_ENOUGH_MEMORY_CODE;
        }
    }
    if (status) *status = code;
    return result;
}

VolumeDetails* EnumerateVolumes(uint16_t* count, uint32_t* status) {
    return EnumerateVolumesFrom(ListingSources{}, count, status);
}

void FreeVolumeList(VolumeDetails* list) { std::free(list); }
