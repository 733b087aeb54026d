// Directory decoding: which raw entries become snapshot entries, their names, attributes
// and times, and the directories made ahead of decoding so their clusters can be queued.
#include <cstdlib>
#include <cstring>

#include "engine/fat/fat_snapshot.h"
#include "engine/fat/long_name.h"
#include "engine/volume.h"
#include "platform/codepage.h"
#include "platform/filetime.h"

namespace {

FILETIME DosToUtc(uint16_t date, uint16_t time) {
    FILETIME local{0, 0}, utc{0, 0};
    if (!platform::DosDateTimeToFileTime(date, time, &local)) return utc;
    if (!platform::LocalFileTimeToFileTime(&local, &utc)) return FILETIME{0, 0};
    return utc;
}

WCHAR LowerAnsi(WCHAR c) {
    if (c >= 'A' && c <= 'Z') return WCHAR(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return WCHAR(c + 32);
    if (c == 0x160 || c == 0x152 || c == 0x17D) return WCHAR(c + 1);  // Š Œ Ž of Windows-1252
    if (c == 0x178) return 0xFF;
    return c;
}

}  // namespace

// Releases what a failed build pass made: files are freed; directories go back to the
// walk's table of made directories, which releases them with the rest of the walk.
static void ReleaseBuilt(TDirectArray<CFATSnapshot::MADE_DIR>& made, CHILD_LINK* links, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        SNAPSHOT_ENTRY* e = links[i].entry;
        if (!e->isDirectory) {
            FreeSnapshotEntry(e);
            continue;
        }
        for (int32_t m = 0; m < made.count; ++m)
            if (made[m].entry == e) made[m].linked = 0;
    }
    std::free(links);
}

bool CFATSnapshot::SkipEntry(const uint8_t* e, bool deletedContext) const {
    if (RawIsDotName(e)) return true;
    if (RawIsLongName(e) || (RawAttributes(e) & DIRATTR_VOLUME)) return true;
    if (RawIsDirectory(e)) {
        uint32_t c = RawFirstCluster(e, volume->fatType);
        if (!IsValid(c)) return true;
        if (RawIsDeleted(e) && InUse(c)) return true;
    } else if (!RawIsDeleted(e) && !deletedContext && !(options & SNAP_LIVE_FILES)) {
        return true;
    }
    return e[1] == 0 && e[2] == 0;
}

int32_t CFATSnapshot::TieNewDirectory(uint8_t* raw, uint32_t* index) {
    SNAPSHOT_ENTRY* entry = NewSnapshotEntry();
    if (!entry) return SetStatus(STATUS_NO_MEMORY);
    entry->isDirectory = 1;
    MADE_DIR m{entry, nullptr, 0, 0, 0};
    int32_t i = made.Add(m);
    if (i < 0) {
        FreeSnapshotEntry(entry);
        return SetStatus(STATUS_NO_MEMORY);
    }
    RawPutLe32(raw + 28, uint32_t(i) + 1);
    *index = uint32_t(i);
    return 1;
}

int32_t CFATSnapshot::PrepareSubdirectories(uint8_t* data, size_t bytes, bool deletedContext) {
    for (size_t p = 0; p + kDirEntrySize <= bytes; p += kDirEntrySize) {
        uint8_t* e = data + p;
        if (e[0] == DIRENT_END) break;
        if (!RawIsDirectory(e) || SkipEntry(e, false)) continue;
        uint32_t index = 0;
        if (!TieNewDirectory(e, &index)) return 0;
        uint32_t c = RawFirstCluster(e, volume->fatType);
        if (RawIsDeleted(e) || deletedContext) {
            if (!InUse(c) && !QueueDeletedDirectory(c, index)) return 0;
        } else if (c != 0) {
            if (!QueueChain(index, c)) return 0;
        }
    }
    return 1;
}

int32_t CFATSnapshot::DecodeDirectory(const uint8_t* data, size_t bytes, bool deletedContext, bool isRoot,
                                      CHILD_LINK** children, int32_t* childCount) {
    *children = nullptr;
    *childCount = 0;
    if (!data) bytes = 0;
    const uint32_t fatType = volume->fatType;

    size_t end = 0;  // bytes of entries before the end marker
    int32_t kept = 0;
    for (; end + kDirEntrySize <= bytes; end += kDirEntrySize) {
        const uint8_t* e = data + end;
        if (e[0] == DIRENT_END) break;
        if (!SkipEntry(e, deletedContext)) ++kept;
        if (!deletedContext && !RawIsLongName(e) && !RawIsDeleted(e) && !RawIsDotName(e)) {
            // Credit the entry's clusters to progress; the credit never passes the used count,
            // so a looping chain in a damaged table costs nothing more.
            uint32_t c = RawFirstCluster(e, fatType);
            while (liveCredit < usedCount && IsValid(c) && c < endOfChain) {
                ++liveCredit;
                ++progressDone;
                c = table[c] & kFatValueMask;
            }
        }
    }

    int32_t slots = kept + (isRoot ? 2 : 0);
    if (isRoot) rootCapacity = slots;
    if (slots == 0) return 1;
    auto* links = static_cast<CHILD_LINK*>(std::calloc(size_t(slots), sizeof(CHILD_LINK)));
    if (!links) return SetStatus(STATUS_NO_MEMORY);

    int32_t built = 0;
    WCHAR longName[kMaxLongNameUnits + 1];
    WCHAR wide[16];
    uint8_t shortText[16];
    for (size_t p = 0; p < end; p += kDirEntrySize) {
        const uint8_t* e = data + p;
        if (SkipEntry(e, deletedContext)) continue;
        size_t longLength = GatherLongName(data, p, longName);
        size_t shortLength = ShortNameText(e, shortText);
        if (shortLength == 0) continue;
        bool isDir = RawIsDirectory(e);
        SNAPSHOT_ENTRY* entry = nullptr;
        uint32_t madeIndex = 0;
        if (isDir) {
            // The directory made ahead for this raw entry; an entry without one is left out.
            uint32_t tie = RawSize(e);
            if (tie == 0 || tie > uint32_t(made.count) || made[int32_t(tie - 1)].linked) continue;
            madeIndex = tie - 1;
            entry = made[int32_t(madeIndex)].entry;
        } else {
            entry = NewSnapshotEntry();
            if (!entry) {
                ReleaseBuilt(made, links, built);
                return SetStatus(STATUS_NO_MEMORY);
            }
        }
        for (size_t i = 0; i <= shortLength; ++i) wide[i] = shortText[i] ? platform::AnsiToWide(shortText[i]) : 0;
        ENTRY_NAME* name;
        if (longLength > 0) {
            name = NewEntryName(longName, wide, 0);
        } else {
            if (e[12] & DIRCASE_LOWER)
                for (size_t i = 0; i < shortLength; ++i) wide[i] = LowerAnsi(wide[i]);
            name = NewEntryName(wide, nullptr, 0);
        }
        if (!name) {
            if (!isDir) FreeSnapshotEntry(entry);
            ReleaseBuilt(made, links, built);
            return SetStatus(STATUS_NO_MEMORY);
        }
        entry->names = name;
        if (isDir) made[int32_t(madeIndex)].linked = 1;
        links[built].name = name;
        links[built].entry = entry;
        ++built;

        uint8_t attr = RawAttributes(e);
        entry->isDirectory = isDir ? 1 : 0;
        entry->attributes = (isDir ? uint32_t(FILE_ATTR_DIRECTORY) : 0u) |
                            (attr & (DIRATTR_READONLY | DIRATTR_HIDDEN | DIRATTR_SYSTEM | DIRATTR_ARCHIVE));
        if (deletedContext || RawIsDeleted(e)) entry->attributes |= ENTRY_DELETED;
        entry->created = DosToUtc(RawLe16(e + 16), RawLe16(e + 14));
        entry->modified = DosToUtc(RawLe16(e + 24), RawLe16(e + 22));
        entry->accessed = entry->modified;
        if (!isDir) SetFileData(entry, RawFirstCluster(e, fatType), RawSize(e));
    }
    if (built == 0 && !isRoot) {
        std::free(links);
        return 1;
    }
    *children = links;
    *childCount = built;
    return 1;
}
