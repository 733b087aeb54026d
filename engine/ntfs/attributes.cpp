#include "engine/ntfs/attributes.h"

#include <cstdlib>
#include <cstring>

#include "engine/ntfs/ntfs_layout.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace ntfs {
namespace {

// The resident value of an attribute, when the header and the value lie inside it.
bool ResidentValue(const Attribute& a, const uint8_t** value, uint32_t* length) {
    if (a.bytes[ATTR_NON_RESIDENT] != 0 || a.length < ATTR_RESIDENT_HEADER) return false;
    uint32_t valueLength = Get32(a.bytes + ATTR_VALUE_LENGTH);
    uint32_t valueOffset = Get16(a.bytes + ATTR_VALUE_OFFSET);
    if (valueOffset > a.length || valueLength > a.length - valueOffset) return false;
    *value = a.bytes + valueOffset;
    *length = valueLength;
    return true;
}

// Copies a UTF-16 name of `count` characters (at most 255) into `out`, terminated.
void CopyName(const uint8_t* source, uint32_t count, WCHAR* out) {
    std::memcpy(out, source, size_t(count) * 2);
    out[count] = 0;
}

// The attribute's own name into `out` (empty when it has none); false when it lies outside.
bool AttributeName(const Attribute& a, WCHAR* out) {
    uint32_t count = a.bytes[ATTR_NAME_LENGTH];
    uint32_t offset = Get16(a.bytes + ATTR_NAME_OFFSET);
    if (count == 0) {
        out[0] = 0;
        return true;
    }
    if (offset > a.length || count * 2 > a.length - offset) return false;
    CopyName(a.bytes + offset, count, out);
    return true;
}

bool SameStreamName(const WCHAR* streamName, const WCHAR* name) {
    if (!streamName) return name[0] == 0;
    return platform::WideCompareNoCase(streamName, name) == 0;
}

}  // namespace

int32_t ApplyStandardInformation(SNAPSHOT_ENTRY* entry, const Attribute& a, bool recordInUse) {
    const uint8_t* v;
    uint32_t n;
    if (!ResidentValue(a, &v, &n) || n < SI_MIN_BYTES) return 1;
    entry->attributes = Get32(v + SI_ATTRIBUTES) & ~ENTRY_DELETED;
    if (!recordInUse) entry->attributes |= ENTRY_DELETED;
    else if (!entry->isDirectory) entry->chance = 1;
    entry->created = U64ToFileTime(Get64(v + SI_CREATED));
    entry->modified = U64ToFileTime(Get64(v + SI_MODIFIED));
    entry->accessed = U64ToFileTime(Get64(v + SI_ACCESSED));
    return 1;
}

int32_t ApplyFileName(SNAPSHOT_ENTRY* entry, const Attribute& a) {
    const uint8_t* v;
    uint32_t n;
    if (!ResidentValue(a, &v, &n) || n < FN_NAME) return 1;
    uint32_t count = v[FN_NAME_LENGTH];
    if (count * 2 > n - FN_NAME) return 1;
    uint64_t parentRef = Get64(v + FN_PARENT);
    ENTRY_NAME* same = nullptr;
    for (ENTRY_NAME* e = entry->names; e; e = e->next) {
        if (e->parentRef == parentRef) {
            same = e;
            break;
        }
    }
    if (same && v[FN_NAMESPACE] == FN_NAMESPACE_DOS) return 1;
    WCHAR name[256];
    CopyName(v + FN_NAME, count, name);
    if (same) {
        WCHAR* text = DuplicateWide(name, count);
        if (!text) return 0;
        std::free(same->name);
        same->name = text;
        return 1;
    }
    ENTRY_NAME* added = NewEntryName(name, nullptr, parentRef);
    if (!added) return 0;
    added->next = entry->names;
    entry->names = added;
    return 1;
}

int32_t ApplyDataStream(SNAPSHOT_ENTRY* entry, const Attribute& a, uint32_t type) {
    WCHAR name[256];
    if (!AttributeName(a, name)) return 1;
    if (type == AT_LOGGED_UTILITY_STREAM && platform::WideCompareNoCase(name, u"$EFS") != 0) return 1;

    // Check the attribute's layout before anything is made for it.
    bool nonResident = a.bytes[ATTR_NON_RESIDENT] != 0;
    const uint8_t* value = nullptr;
    uint32_t valueLength = 0;
    uint32_t pairsOffset = 0;
    if (nonResident) {
        if (a.length < ATTR_NON_RESIDENT_HEADER) return 1;
        pairsOffset = Get16(a.bytes + ATTR_MAPPING_PAIRS);
        if (pairsOffset > a.length) return 1;
    } else if (!ResidentValue(a, &value, &valueLength)) {
        return 1;
    }

    ENTRY_STREAM* stream = nullptr;
    ENTRY_STREAM** tail = &entry->streams;
    for (ENTRY_STREAM* s = entry->streams; s; s = s->next) {
        if (SameStreamName(s->name, name)) {
            stream = s;
            break;
        }
        tail = &s->next;
    }
    if (!stream) {
        stream = NewEntryStream(name[0] ? name : nullptr);
        if (!stream) return 0;
        *tail = stream;
    }

    if (nonResident) {
        int64_t firstVcn = int64_t(Get64(a.bytes + ATTR_FIRST_VCN));
        STREAM_EXTENT* extent = NewStreamExtent(firstVcn, int64_t(Get64(a.bytes + ATTR_LAST_VCN)),
                                                Get16(a.bytes + ATTR_FLAGS), a.bytes + pairsOffset,
                                                a.length - pairsOffset, a.bytes[ATTR_COMPRESSION_UNIT]);
        if (!extent) return 0;
        STREAM_EXTENT** at = &stream->extents;
        while (*at && (*at)->firstVcn < firstVcn) at = &(*at)->next;
        extent->next = *at;
        *at = extent;
        int64_t dataSize = int64_t(Get64(a.bytes + ATTR_DATA_SIZE));
        if (dataSize > stream->size) stream->size = dataSize;
        return 1;
    }
    auto* copy = static_cast<uint8_t*>(std::malloc(valueLength ? valueLength : 1));
    if (!copy) return 0;
    if (valueLength) std::memcpy(copy, value, valueLength);
    std::free(stream->residentData);
    stream->residentData = copy;
    stream->size = valueLength;
    return 1;
}

ENTRY_STREAM* AttributeListClusters(const Attribute& a) {
    if (a.bytes[ATTR_NON_RESIDENT] == 0 || a.length < ATTR_NON_RESIDENT_HEADER) return nullptr;
    uint32_t pairsOffset = Get16(a.bytes + ATTR_MAPPING_PAIRS);
    if (pairsOffset > a.length) return nullptr;
    ENTRY_STREAM* stream = NewEntryStream(nullptr);
    if (!stream) return nullptr;
    stream->extents = NewStreamExtent(int64_t(Get64(a.bytes + ATTR_FIRST_VCN)), int64_t(Get64(a.bytes + ATTR_LAST_VCN)),
                                      0, a.bytes + pairsOffset, a.length - pairsOffset, 0);
    stream->size = int64_t(Get64(a.bytes + ATTR_DATA_SIZE));
    if (!stream->extents) {
        FreeEntryStream(stream);
        return nullptr;
    }
    return stream;
}

void ApplyVolumeInformation(VolumeAccess* volume, const Attribute& a) {
    const uint8_t* v;
    uint32_t n;
    if (!volume || !ResidentValue(a, &v, &n) || n < VI_MIN_BYTES) return;
    volume->ntfsVersion[0] = v[VI_MAJOR];
    volume->ntfsVersion[1] = v[VI_MINOR];
}

}  // namespace ntfs
