// Writes a snapshot entry back as ordinary files, and reads one whole into memory.
// Every stream is read through the engine's stream reader in chunks of 256 KiB rounded
// down to whole clusters; the unnamed stream goes to the file's own name and each named
// stream to "name:stream". An encrypted file is not decrypted: its raw encrypted form
// goes to "name.bak" (Linux has no raw import of encrypted files).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "engine/interface.h"

namespace app {

inline constexpr uint32_t kRecoveryBufferBytes = 0x40000;  // 256 KiB
inline constexpr uint32_t kEncryptedPieceBytes = 5000;

struct WriteOptions {
    // Never replace an existing file: the first free numbered name ("report (1).doc") is
    // taken for the file and all its streams. Without it an existing file is replaced.
    bool keepExisting = false;
    // When the write fails or is stopped, remove the files this call created.
    bool removePartial = false;
    // Polled between chunks; true stops the write.
    std::function<bool()> stopRequested;
};

struct WriteResult {
    bool ok = false;
    bool stopped = false;
    std::string path;                // the main file (or the ".bak" file) as written
    std::vector<std::string> files;  // every file created, in order
    uint64_t bytes = 0;              // bytes written
    std::string error;               // what failed, on which path, and why
    bool partialRemoved = false;     // the files of a failed write were removed
};

// Writes `entry` to `path` (UTF-8 file path; its folder must exist).
WriteResult WriteRecoveredFile(const UndeleteApi* api, VolumeAccess* volume, SNAPSHOT_ENTRY* entry,
                               const std::string& path, const WriteOptions& options = {});

// Places the entry's contents in `buffer`, streams one after another (the raw encrypted
// form for an encrypted file), never more than `size` bytes. Sets *written to the bytes
// placed. False on a read failure, with the reason in *error when given.
bool ReadWholeFile(const UndeleteApi* api, VolumeAccess* volume, SNAPSHOT_ENTRY* entry, void* buffer, size_t size,
                   size_t* written = nullptr, std::string* error = nullptr);

// The file names a write of `entry` to `path` creates: the path and "path:stream" for each
// named stream, or "path.bak" for an encrypted file.
std::vector<std::string> OutputNames(const SNAPSHOT_ENTRY* entry, const std::string& path);

}  // namespace app
