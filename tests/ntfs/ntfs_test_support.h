// Shared pieces of the NTFS snapshot tests: a progress sink that records what the
// snapshot reports, a builder of MFT file records, and table/tree helpers.
#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/ntfs/mft_snapshot.h"
#include "engine/snapshot/records.h"
#include "engine/status.h"
#include "engine/volume.h"
#include "platform/string_table.h"
#include "platform/wide_string.h"

namespace ntfs_test {

// Records every call; answers questions and polls as configured.
class RecordingProgress : public CSnapshotProgressDlg {
public:
    std::vector<uint32_t> reports;
    std::vector<uint32_t> progress;
    std::vector<uint32_t> questions;
    uint32_t polls = 0;
    uint32_t answer = 0;
    std::function<uint32_t(uint32_t)> cancelAtPoll = [](uint32_t) { return 0u; };

    uint32_t Ask(uint32_t, uint32_t message, uint32_t) override {
        questions.push_back(message);
        return answer;
    }
    void ReportFormatted(uint32_t message, uint32_t) override { reports.push_back(message); }
    void Report(uint32_t message) override { reports.push_back(message); }
    void SetProgress(uint32_t perMille) override { progress.push_back(perMille); }
    uint32_t IsCancelled() override { return cancelAtPoll(++polls); }
};

inline std::string Utf8(const WCHAR* s) { return s ? platform::Utf8FromWide(s) : std::string(); }

inline uint32_t LastStatus() {
    uint32_t code = 0;
    GetLastStatus(&code, nullptr);
    return code;
}

// Builds one MFT record of `size` bytes with 512-byte sectors, attribute by attribute,
// and protects it with update-sequence fix-ups as NTFS writes it.
class RecordBuilder {
public:
    explicit RecordBuilder(uint32_t size = 1024, uint16_t flags = 0x1, uint64_t baseRef = 0) : bytes_(size, 0) {
        std::memcpy(bytes_.data(), "FILE", 4);
        Put16(4, 48);                       // update sequence array offset
        Put16(6, uint16_t(size / 512 + 1)); // its word count
        Put16(20, 56);                      // first attribute
        Put16(22, flags);
        Put64(32, baseRef);
        at_ = 56;
    }

    RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value, const std::u16string& name = u"") {
        uint32_t nameOffset = 24;
        uint32_t valueOffset = Align8(nameOffset + uint32_t(name.size()) * 2);
        uint32_t length = Align8(valueOffset + uint32_t(value.size()));
        Header(type, length, 0, name, nameOffset);
        Put32(at_ + 16, uint32_t(value.size()));
        Put16(at_ + 20, uint16_t(valueOffset));
        std::memcpy(bytes_.data() + at_ + valueOffset, value.data(), value.size());
        at_ += length;
        return *this;
    }

    RecordBuilder& NonResident(uint32_t type, int64_t firstVcn, int64_t lastVcn, int64_t dataSize,
                               const std::vector<uint8_t>& runs, const std::u16string& name = u"",
                               uint16_t flags = 0, uint8_t compressionUnit = 0) {
        uint32_t nameOffset = 64;
        uint32_t pairsOffset = Align8(nameOffset + uint32_t(name.size()) * 2);
        uint32_t length = Align8(pairsOffset + uint32_t(runs.size()));
        Header(type, length, 1, name, nameOffset);
        Put16(at_ + 12, flags);
        Put64(at_ + 16, uint64_t(firstVcn));
        Put64(at_ + 24, uint64_t(lastVcn));
        Put16(at_ + 32, uint16_t(pairsOffset));
        bytes_[at_ + 34] = compressionUnit;
        Put64(at_ + 40, uint64_t(dataSize));
        Put64(at_ + 48, uint64_t(dataSize));
        Put64(at_ + 56, uint64_t(dataSize));
        std::memcpy(bytes_.data() + at_ + pairsOffset, runs.data(), runs.size());
        at_ += length;
        return *this;
    }

    RecordBuilder& StandardInformation(uint32_t attributes, uint64_t created = 1, uint64_t modified = 2,
                                       uint64_t accessed = 3) {
        std::vector<uint8_t> v(48, 0);
        std::memcpy(v.data() + 0, &created, 8);
        std::memcpy(v.data() + 8, &modified, 8);
        std::memcpy(v.data() + 24, &accessed, 8);
        std::memcpy(v.data() + 32, &attributes, 4);
        return Resident(0x10, v);
    }

    RecordBuilder& FileName(uint64_t parentRef, const std::u16string& name, uint8_t nameSpace = 1) {
        std::vector<uint8_t> v(66 + name.size() * 2, 0);
        std::memcpy(v.data(), &parentRef, 8);
        v[64] = uint8_t(name.size());
        v[65] = nameSpace;
        std::memcpy(v.data() + 66, name.data(), name.size() * 2);
        return Resident(0x30, v);
    }

    // Ends the attribute list and applies the fix-ups; returns the bytes as on disk.
    std::vector<uint8_t> Build(uint16_t sequence = 0x0102) {
        Put32(at_, 0xFFFFFFFFu);
        std::vector<uint8_t> out = bytes_;
        uint32_t usa = 48;
        std::memcpy(out.data() + usa, &sequence, 2);
        for (uint32_t i = 0; i < out.size() / 512; ++i) {
            uint32_t last = (i + 1) * 512 - 2;
            std::memcpy(out.data() + usa + 2 * (i + 1), out.data() + last, 2);
            std::memcpy(out.data() + last, &sequence, 2);
        }
        return out;
    }

    std::vector<uint8_t>& Raw() { return bytes_; }
    uint32_t End() const { return at_; }

    void Put16(uint32_t off, uint16_t v) { std::memcpy(bytes_.data() + off, &v, 2); }
    void Put32(uint32_t off, uint32_t v) { std::memcpy(bytes_.data() + off, &v, 4); }
    void Put64(uint32_t off, uint64_t v) { std::memcpy(bytes_.data() + off, &v, 8); }

private:
    static uint32_t Align8(uint32_t v) { return (v + 7) & ~7u; }
    void Header(uint32_t type, uint32_t length, uint8_t nonResident, const std::u16string& name, uint32_t nameOffset) {
        Put32(at_, type);
        Put32(at_ + 4, length);
        bytes_[at_ + 8] = nonResident;
        bytes_[at_ + 9] = uint8_t(name.size());
        Put16(at_ + 10, uint16_t(nameOffset));
        std::memcpy(bytes_.data() + at_ + nameOffset, name.data(), name.size() * 2);
    }
    std::vector<uint8_t> bytes_;
    uint32_t at_;
};

// A volume that is not opened but carries an NTFS boot sector with the given geometry.
inline void SetNtfsGeometry(VolumeAccess& v, uint16_t bytesPerSector, uint8_t sectorsPerCluster, int8_t recordField) {
    std::memset(v.bootSector, 0, sizeof v.bootSector);
    std::memcpy(v.bootSector + 3, "NTFS    ", 8);
    v.bootSector[11] = uint8_t(bytesPerSector);
    v.bootSector[12] = uint8_t(bytesPerSector >> 8);
    v.bootSector[13] = sectorsPerCluster;
    v.bootSector[64] = uint8_t(recordField);
    v.kind = FS_NTFS;
    v.bytesPerCluster = uint32_t(bytesPerSector) * sectorsPerCluster;
}

// A snapshot with an empty table of `count` slots and 1 KiB records on 4 KiB clusters.
class TableSnapshot : public CMFTSnapshot {
public:
    explicit TableSnapshot(VolumeAccess* v, int32_t count = 64) : CMFTSnapshot(v) {
        InitMessageRing();
        SetNtfsGeometry(*v, 512, 8, -10);
        SetGeometry();
        records = static_cast<SNAPSHOT_ENTRY**>(std::calloc(size_t(count), sizeof(SNAPSHOT_ENTRY*)));
        recordCount = count;
        progress = &sink;
    }
    RecordingProgress sink;

    SNAPSHOT_ENTRY* Put(int32_t slot, bool directory, bool deleted, const std::vector<std::pair<uint32_t, std::u16string>>& names) {
        SNAPSHOT_ENTRY* e = NewSnapshotEntry();
        e->isDirectory = directory ? 1 : 0;
        e->attributes = deleted ? ENTRY_DELETED : 0;
        ENTRY_NAME** tail = &e->names;
        for (const auto& [parent, name] : names) {
            *tail = NewEntryName(name.c_str(), nullptr, parent);
            tail = &(*tail)->next;
        }
        records[slot] = e;
        return e;
    }
    // The usual system records: $MFT (0), the root "." (5) and $Bitmap (6).
    void PutSystem() {
        Put(0, false, false, {{5, u"$MFT"}});
        Put(5, true, false, {{5, u"."}});
        Put(6, false, false, {{5, u"$Bitmap"}});
    }
};

inline ENTRY_STREAM* AddStream(SNAPSHOT_ENTRY* e, int64_t size, const std::vector<uint8_t>& runs = {},
                               const WCHAR* name = nullptr, int64_t firstVcn = 0, int64_t lastVcn = -1) {
    ENTRY_STREAM* s = e->streams;
    ENTRY_STREAM** tail = &e->streams;
    for (; s; s = s->next) {
        if ((!s->name && !name) || (s->name && name && platform::WideCompareNoCase(s->name, name) == 0)) break;
        tail = &s->next;
    }
    if (!s) {
        s = NewEntryStream(name);
        *tail = s;
    }
    if (size > s->size) s->size = size;
    if (!runs.empty()) {
        STREAM_EXTENT* x = NewStreamExtent(firstVcn, lastVcn, 0, runs.data(), uint32_t(runs.size()), 0);
        STREAM_EXTENT** at = &s->extents;
        while (*at) at = &(*at)->next;
        *at = x;
    }
    return s;
}

// Every path below the root (names joined by "/"), with the entry found there; each
// directory is entered once, so loops in a damaged tree end.
inline void WalkTree(SNAPSHOT_ENTRY* dir, const std::string& prefix, std::set<const SNAPSHOT_ENTRY*>& seen,
                     const std::function<void(const std::string&, SNAPSHOT_ENTRY*)>& visit) {
    if (!seen.insert(dir).second) return;
    for (int32_t i = 0; i < dir->childCount; ++i) {
        const CHILD_LINK& link = dir->children[i];
        std::string path = prefix.empty() ? Utf8(link.name->name) : prefix + "/" + Utf8(link.name->name);
        visit(path, link.entry);
        if (link.entry->isDirectory) WalkTree(link.entry, path, seen, visit);
    }
}

inline std::vector<std::string> ChildNames(const SNAPSHOT_ENTRY* dir) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < dir->childCount; ++i) out.push_back(Utf8(dir->children[i].name->name));
    return out;
}

}  // namespace ntfs_test
