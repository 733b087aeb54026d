#include "app/core/recovered_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "app/core/engine_status.h"
#include "app/core/result_paths.h"
#include "engine/snapshot/records.h"
#include "platform/wide_string.h"

namespace app {
namespace {

bool IsEncrypted(const SNAPSHOT_ENTRY* entry) { return (entry->attributes & FILE_ATTR_ENCRYPTED) != 0; }

std::string SystemText(int err) { return std::strerror(err); }

// Chunk of whole clusters that fits the 256 KiB buffer; at least one cluster, so volumes
// with clusters above 256 KiB are still read (the buffer then holds one cluster).
struct ChunkPlan {
    uint32_t clusterSize = 0;
    uint32_t clusters = 0;
    size_t bufferBytes = 0;
};

ChunkPlan PlanChunks(const UndeleteApi* api, VolumeAccess* volume) {
    ChunkPlan plan;
    plan.clusterSize = api->GetClusterSize(volume);
    if (plan.clusterSize == 0) return plan;
    plan.clusters = std::max<uint32_t>(1, kRecoveryBufferBytes / plan.clusterSize);
    plan.bufferBytes = size_t(plan.clusters) * plan.clusterSize;
    return plan;
}

bool WriteAll(int fd, const uint8_t* data, size_t length, int* err) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            *err = errno;
            return false;
        }
        if (n == 0) {
            *err = ENOSPC;
            return false;
        }
        data += n;
        length -= size_t(n);
    }
    return true;
}

// Reads a stream chunk by chunk and hands each chunk's bytes (up to the stream's size)
// to `sink`. Returns false with `error` set on a read failure or when the sink refuses.
template <typename Sink, typename Stop>
bool CopyStream(const UndeleteApi* api, VolumeAccess* volume, ENTRY_STREAM* stream, const ChunkPlan& plan,
                uint8_t* buffer, Sink sink, Stop stop, std::string& error, bool& stopped) {
    if (stream->size < 0) {
        error = "the stream's size is damaged (" + std::to_string(stream->size) + ")";
        return false;
    }
    if (stream->size == 0) return true;
    StreamReader* reader = api->OpenStream(volume, stream);
    if (!reader) {
        error = "cannot read the stream: " + LastEngineStatusText(api);
        return false;
    }
    uint64_t clustersLeft = (uint64_t(stream->size) - 1) / plan.clusterSize + 1;
    uint64_t bytesLeft = uint64_t(stream->size);
    bool ok = true;
    while (bytesLeft > 0) {
        if (stop()) {
            stopped = true;
            ok = false;
            break;
        }
        uint32_t k = uint32_t(std::min<uint64_t>(clustersLeft, plan.clusters));
        size_t b = size_t(std::min<uint64_t>(uint64_t(k) * plan.clusterSize, bytesLeft));
        if (!api->ReadStream(reader, buffer, k)) {
            error = "cannot read the stream: " + LastEngineStatusText(api);
            ok = false;
            break;
        }
        if (!sink(buffer, b)) {
            ok = false;
            break;
        }
        clustersLeft -= k;
        bytesLeft -= b;
    }
    api->CloseStream(reader);
    return ok;
}

// Runs the raw export of an encrypted file, handing each piece to `sink`.
template <typename Sink, typename Stop>
bool ExportEncrypted(const UndeleteApi* api, VolumeAccess* volume, SNAPSHOT_ENTRY* entry, uint8_t* buffer,
                     size_t bufferBytes, Sink sink, Stop stop, std::string& error, bool& stopped) {
    EfsExportContext* ctx =
        api->CreateEfsExport(volume, entry->streams, buffer, uint32_t(bufferBytes), nullptr, 0);
    if (!ctx) {
        error = "cannot export the encrypted file: " + LastEngineStatusText(api);
        return false;
    }
    uint8_t piece[kEncryptedPieceBytes];
    bool ok = true;
    for (;;) {
        if (stop()) {
            stopped = true;
            ok = false;
            break;
        }
        uint32_t length = kEncryptedPieceBytes;
        uint32_t rc = api->EfsExportCallback(piece, ctx, &length);
        if (rc != 0 && rc != ERROR_CANCELLED_CODE) {
            error = "the encrypted file's export failed (system error " + std::to_string(rc) + ")";
            ok = false;
            break;
        }
        if (length == 0) break;
        if (length > kEncryptedPieceBytes) {
            error = "the encrypted file's export delivered more than it was asked for";
            ok = false;
            break;
        }
        if (!sink(piece, length)) {
            ok = false;
            break;
        }
    }
    api->DeleteEfsExport(ctx);
    return ok;
}

std::string WithNumber(const std::string& path, int number) {
    if (number == 0) return path;
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::u16string numbered = NumberedName(platform::WideFromUtf8(name), number);
    return dir + platform::Utf8FromWide(numbered);
}

bool AnyExists(const std::vector<std::string>& names) {
    struct stat st;
    for (const std::string& n : names) {
        if (::lstat(n.c_str(), &st) == 0 || errno != ENOENT) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> OutputNames(const SNAPSHOT_ENTRY* entry, const std::string& path) {
    if (IsEncrypted(entry)) return {path + ".bak"};
    std::vector<std::string> names{path};
    for (const ENTRY_STREAM* s = entry->streams; s; s = s->next) {
        if (s->name) names.push_back(path + ":" + platform::Utf8FromWide(SafeComponent(s->name)));
    }
    return names;
}

WriteResult WriteRecoveredFile(const UndeleteApi* api, VolumeAccess* volume, SNAPSHOT_ENTRY* entry,
                               const std::string& path, const WriteOptions& options) {
    WriteResult result;
    if (!api || !volume || !entry) {
        result.error = "nothing to write to " + path;
        return result;
    }
    ChunkPlan plan = PlanChunks(api, volume);
    if (plan.clusterSize == 0) {
        result.error = "cannot write " + path + ": the volume is not open";
        return result;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[plan.bufferBytes]);
    if (!buffer) {
        result.error = "cannot write " + path + ": out of memory";
        return result;
    }

    std::string base = path;
    if (options.keepExisting) {
        int number = 0;
        while (AnyExists(OutputNames(entry, WithNumber(path, number)))) {
            if (++number > 100000) {
                result.error = "cannot write " + path + ": every numbered name is taken";
                return result;
            }
        }
        base = WithNumber(path, number);
    }
    result.path = IsEncrypted(entry) ? base + ".bak" : base;

    auto stop = [&options] { return options.stopRequested && options.stopRequested(); };
    int fd = -1;
    std::string current;
    auto create = [&](const std::string& name) {
        int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (options.keepExisting ? O_EXCL : O_TRUNC);
        fd = ::open(name.c_str(), flags, 0666);
        if (fd < 0) {
            result.error = "cannot create " + name + ": " + SystemText(errno);
            return false;
        }
        current = name;
        result.files.push_back(name);
        return true;
    };
    auto sink = [&](const uint8_t* data, size_t length) {
        int err = 0;
        if (!WriteAll(fd, data, length, &err)) {
            result.error = "cannot write " + current + ": " + SystemText(err);
            return false;
        }
        result.bytes += length;
        return true;
    };
    auto finish = [&](bool ok) {
        if (fd >= 0 && ::close(fd) != 0 && ok) {
            result.error = "cannot write " + current + ": " + SystemText(errno);
            ok = false;
        }
        fd = -1;
        return ok;
    };

    bool ok = true;
    if (IsEncrypted(entry)) {
        ok = create(result.path);
        if (ok) {
            std::string why;
            ok = ExportEncrypted(api, volume, entry, buffer.get(), plan.bufferBytes, sink, stop, why,
                                 result.stopped);
            if (!ok && result.error.empty() && !why.empty()) result.error = why + " (" + current + ")";
            ok = finish(ok);
        }
    } else {
        // The unnamed stream's file is made even for an entry without one, so the name
        // that was reserved for the file exists afterwards.
        bool mainMade = false;
        for (ENTRY_STREAM* s = entry->streams; s && ok; s = s->next) {
            std::string name = s->name ? base + ":" + platform::Utf8FromWide(SafeComponent(s->name)) : base;
            if (!s->name) mainMade = true;
            if (!create(name)) {
                ok = false;
                break;
            }
            std::string why;
            ok = CopyStream(api, volume, s, plan, buffer.get(), sink, stop, why, result.stopped);
            if (!ok && result.error.empty() && !why.empty()) result.error = why + " (" + current + ")";
            ok = finish(ok);
        }
        if (ok && !mainMade && options.keepExisting) ok = create(base) && finish(true);
    }
    if (result.stopped && result.error.empty()) result.error = "stopped while writing " + current;
    if (!ok && options.removePartial) {
        for (const std::string& f : result.files) ::unlink(f.c_str());
        result.partialRemoved = !result.files.empty();
    }
    result.ok = ok;
    return result;
}

bool ReadWholeFile(const UndeleteApi* api, VolumeAccess* volume, SNAPSHOT_ENTRY* entry, void* buffer, size_t size,
                   size_t* written, std::string* error) {
    size_t placed = 0;
    auto done = [&](bool ok, const std::string& why) {
        if (written) *written = placed;
        if (!ok && error) *error = why;
        return ok;
    };
    if (!api || !volume || !entry) return done(false, "nothing to read");
    ChunkPlan plan = PlanChunks(api, volume);
    if (plan.clusterSize == 0) return done(false, "the volume is not open");
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[plan.bufferBytes]);
    if (!chunk) return done(false, "out of memory");
    uint8_t* out = static_cast<uint8_t*>(buffer);
    auto sink = [&](const uint8_t* data, size_t length) {
        size_t n = std::min(length, size - placed);
        if (n) std::memcpy(out + placed, data, n);
        placed += n;
        return true;
    };
    auto never = [] { return false; };
    std::string why;
    bool stopped = false;
    bool ok = true;
    if (IsEncrypted(entry)) {
        ok = ExportEncrypted(api, volume, entry, chunk.get(), plan.bufferBytes, sink, never, why, stopped);
    } else {
        for (ENTRY_STREAM* s = entry->streams; s && ok && placed < size; s = s->next)
            ok = CopyStream(api, volume, s, plan, chunk.get(), sink, never, why, stopped);
    }
    return done(ok, why);
}

}  // namespace app
