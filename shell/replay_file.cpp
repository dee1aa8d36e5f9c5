#include "shell/replay_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/platform.h"
#include "shell/state_codec.h"

static const char Magic[8] = {'T', 'S', 'R', 'E', 'P', 'L', 'A', 'Y'};
constexpr size_t MaxVersionLength = 32;
constexpr uint8_t HeadFrameMask = 0x1F; // 0..30 ms in the head byte, 31: a number follows
constexpr uint8_t HeadMessage = 0x20;
constexpr uint8_t HeadKeys = 0x40;
constexpr uint8_t HeadMore = 0x80;
constexpr uint8_t MoreReadings = 0x01;
constexpr uint8_t MoreTimestamp = 0x02;

ReplayPass plainReplayPass(uint32_t frameMs) {
    ReplayPass p{};
    p.frameMs = frameMs;
    p.laterReadings = 1;
    return p;
}

// ---------------------------------------------------------------------------
// Writing

static void putVarint(std::vector<uint8_t>& out, uint32_t v) {
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

static void putLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back(uint8_t(v >> (8 * i)));
}

static bool plainReadings(const ReplayPass& p) {
    return p.laterReadings == 1 && p.readingSteps[0] == 0;
}

void appendReplayPass(std::vector<uint8_t>& out, const ReplayPass& p) {
    uint8_t more = (plainReadings(p) ? 0 : MoreReadings) | (p.timestampMoved ? MoreTimestamp : 0);
    uint8_t head = uint8_t(p.frameMs < HeadFrameMask ? p.frameMs : HeadFrameMask);
    if (p.hasMessage) head |= HeadMessage;
    if (p.keyChanges > 0) head |= HeadKeys;
    if (more) head |= HeadMore;
    out.push_back(head);
    if (p.frameMs >= HeadFrameMask) putVarint(out, p.frameMs);
    if (more) out.push_back(more);
    if (more & MoreReadings) {
        putVarint(out, uint32_t(p.laterReadings));
        for (int i = 0; i < p.laterReadings; i++) putVarint(out, p.readingSteps[i]);
    }
    if (more & MoreTimestamp) putVarint(out, p.timestamp);
    if (p.hasMessage) {
        putVarint(out, p.message);
        putVarint(out, p.wParam);
    }
    if (p.keyChanges > 0) {
        putVarint(out, uint32_t(p.keyChanges));
        for (int i = 0; i < p.keyChanges; i++) out.insert(out.end(), p.keys[i], p.keys[i] + 2);
    }
}

uint32_t replayChecksum(const uint8_t* data, size_t size) {
    static const auto table = [] {
        struct {
            uint32_t v[256];
        } t{};
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t.v[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; i++) c = table.v[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> writeReplay(const Replay& r) {
    std::vector<uint8_t> out(Magic, Magic + 8);
    putLe(out, ReplayFormatVersion, 2);
    out.push_back(uint8_t(r.gameVersion.size()));
    out.insert(out.end(), r.gameVersion.begin(), r.gameVersion.end());
    putLe(out, r.startupSeed, 4);
    putLe(out, r.firstTimestamp, 4);
    putLe(out, r.state.size(), 2);
    out.insert(out.end(), r.state.begin(), r.state.end());
    uint32_t held = 0;
    for (uint8_t k : r.keys) held += k != 0;
    putVarint(out, held);
    for (int vk = 0; vk < 256; vk++) {
        if (r.keys[vk] == 0) continue;
        out.push_back(uint8_t(vk));
        out.push_back(r.keys[vk]);
    }
    putVarint(out, r.passCount);
    out.insert(out.end(), r.passes.begin(), r.passes.end());
    putLe(out, r.endHash, 8);
    putLe(out, replayChecksum(out.data(), out.size()), 4);
    return out;
}

// ---------------------------------------------------------------------------
// Reading: every count is checked against what is left, every value against
// what the game can take, before anything is kept.

static bool takeByte(const uint8_t*& at, const uint8_t* end, uint8_t& v) {
    if (at >= end) return false;
    v = *at++;
    return true;
}

static bool takeLe(const uint8_t*& at, const uint8_t* end, int bytes, uint64_t& v) {
    if (end - at < bytes) return false;
    v = 0;
    for (int i = 0; i < bytes; i++) v |= uint64_t(at[i]) << (8 * i);
    at += bytes;
    return true;
}

// At most five bytes and 32 bits.
static bool takeVarint(const uint8_t*& at, const uint8_t* end, uint32_t& v) {
    uint64_t value = 0;
    for (int i = 0; i < 5 && at < end; i++) {
        uint8_t b = *at++;
        value |= uint64_t(b & 0x7F) << (7 * i);
        if (!(b & 0x80)) {
            v = uint32_t(value);
            return value <= 0xFFFFFFFFu;
        }
    }
    return false;
}

template <typename... Numbers>
static bool failed(std::string& why, const char* format, Numbers... numbers) {
    char line[160];
    if constexpr (sizeof...(numbers) > 0) {
        std::snprintf(line, sizeof line, format, numbers...);
        why = line;
    } else {
        why = format;
    }
    return false;
}

bool replayMessageKnown(uint32_t message, uint32_t wParam) {
    switch (message) {
    case WM_KEYDOWN:
        return wParam <= 0xFF;
    case WM_ACTIVATE:
        return wParam <= WA_CLICKACTIVE;
    case WM_CLOSE:
    case WM_DESTROY:
        return wParam == 0;
    default:
        return false;
    }
}

static bool readReadings(const uint8_t*& at, const uint8_t* end, uint32_t n, ReplayPass& p,
                         std::string& why) {
    uint32_t count;
    if (!takeVarint(at, end, count)) return failed(why, "pass %u ends early", n);
    if (count > MaxLaterReadings) return failed(why, "pass %u takes %u readings", n, count + 1);
    p.laterReadings = int(count);
    for (uint32_t i = 0; i < count; i++) {
        if (!takeVarint(at, end, p.readingSteps[i])) return failed(why, "pass %u ends early", n);
        if (p.readingSteps[i] > MaxFrameMs)
            return failed(why, "pass %u: a step of %u ms between readings", n, p.readingSteps[i]);
    }
    return true;
}

static bool readKeyChanges(const uint8_t*& at, const uint8_t* end, uint32_t n, ReplayPass& p,
                           std::string& why) {
    uint32_t count;
    if (!takeVarint(at, end, count)) return failed(why, "pass %u ends early", n);
    if (count == 0 || count > 256) return failed(why, "pass %u: %u key changes", n, count);
    if (uint64_t(end - at) < uint64_t(count) * 2) return failed(why, "pass %u ends early", n);
    p.keyChanges = int(count);
    std::memcpy(p.keys, at, size_t(count) * 2);
    at += size_t(count) * 2;
    return true;
}

bool readReplayPass(const uint8_t*& at, const uint8_t* end, uint32_t n, ReplayPass& p,
                    std::string& why) {
    // Field by field: the key table is only read as far as keyChanges says.
    p.laterReadings = 1;
    p.readingSteps[0] = 0;
    p.keyChanges = 0;
    uint8_t head, more = 0;
    if (!takeByte(at, end, head)) return failed(why, "pass %u ends early", n);
    p.frameMs = head & HeadFrameMask;
    if (p.frameMs == HeadFrameMask && !takeVarint(at, end, p.frameMs))
        return failed(why, "pass %u ends early", n);
    if (p.frameMs > MaxFrameMs) return failed(why, "pass %u: a frame of %u ms", n, p.frameMs);
    if ((head & HeadMore) && !takeByte(at, end, more)) return failed(why, "pass %u ends early", n);
    if (more & ~(MoreReadings | MoreTimestamp))
        return failed(why, "pass %u: unknown flags 0x%02X", n, more);
    if ((more & MoreReadings) && !readReadings(at, end, n, p, why)) return false;
    p.timestampMoved = more & MoreTimestamp;
    if (p.timestampMoved && !takeVarint(at, end, p.timestamp))
        return failed(why, "pass %u ends early", n);
    p.hasMessage = head & HeadMessage;
    if (p.hasMessage) {
        if (!takeVarint(at, end, p.message) || !takeVarint(at, end, p.wParam))
            return failed(why, "pass %u ends early", n);
        if (!replayMessageKnown(p.message, p.wParam))
            return failed(why, "pass %u: unknown message 0x%X (%u)", n, p.message, p.wParam);
    }
    return !(head & HeadKeys) || readKeyChanges(at, end, n, p, why);
}

static bool readHeader(const uint8_t*& at, const uint8_t* end, Replay& r, std::string& why) {
    uint64_t v = 0;
    if (end - at < 8 || std::memcmp(at, Magic, 8) != 0) return failed(why, "not a replay file");
    at += 8;
    if (!takeLe(at, end, 2, v)) return failed(why, "truncated header");
    if (v > ReplayFormatVersion) {
        return failed(why, "made by a newer game (format %u, this game reads up to %u)",
                      uint32_t(v), unsigned(ReplayFormatVersion));
    }
    if (v == 0) return failed(why, "format 0 does not exist");
    uint8_t length;
    if (!takeByte(at, end, length) || end - at < length) return failed(why, "truncated header");
    if (length > MaxVersionLength) return failed(why, "a game version of %u bytes", length);
    r.gameVersion.assign(reinterpret_cast<const char*>(at), length);
    at += length;
    for (char c : r.gameVersion)
        if (c < 0x20 || c > 0x7E) return failed(why, "unprintable game version");
    if (!takeLe(at, end, 4, v)) return failed(why, "truncated header");
    r.startupSeed = uint32_t(v);
    if (!takeLe(at, end, 4, v)) return failed(why, "truncated header");
    r.firstTimestamp = uint32_t(v);
    if (!takeLe(at, end, 2, v)) return failed(why, "truncated header");
    if (v != stateBytes()) {
        return failed(why, "a state of %u bytes (format 1 has %u)", uint32_t(v),
                      uint32_t(stateBytes()));
    }
    if (uint64_t(end - at) < v) return failed(why, "truncated state");
    r.state.assign(at, at + v);
    at += v;
    std::string bad;
    if (!checkState(r.state.data(), bad)) {
        why = "impossible state: " + bad;
        return false;
    }
    return true;
}

static bool readStartKeys(const uint8_t*& at, const uint8_t* end, Replay& r, std::string& why) {
    uint32_t held;
    std::memset(r.keys, 0, sizeof r.keys);
    if (!takeVarint(at, end, held)) return failed(why, "truncated key list");
    if (held > 256) return failed(why, "%u held keys", held);
    if (uint64_t(end - at) < uint64_t(held) * 2) return failed(why, "truncated key list");
    for (uint32_t i = 0; i < held; i++, at += 2) r.keys[at[0]] = at[1];
    return true;
}

bool readReplay(const uint8_t* data, size_t size, Replay& r, std::string& why) {
    const uint8_t* at = data;
    const uint8_t* end = data + size;
    if (!readHeader(at, end, r, why) || !readStartKeys(at, end, r, why)) return false;
    if (!takeVarint(at, end, r.passCount)) return failed(why, "truncated pass count");
    // Every pass takes at least one byte: a count beyond what is left is corrupt.
    if (r.passCount == 0 || r.passCount > MaxReplayPasses || r.passCount > uint64_t(end - at)) {
        return failed(why, "a count of %u passes in a file of %u bytes", r.passCount,
                      uint32_t(size));
    }
    const uint8_t* first = at;
    ReplayPass pass;
    for (uint32_t n = 1; n <= r.passCount; n++)
        if (!readReplayPass(at, end, n, pass, why)) return false;
    r.passes.assign(first, at);
    uint64_t v = 0;
    if (end - at < 12) return failed(why, "truncated after the last pass");
    if (end - at > 12) return failed(why, "%u bytes after the end", uint32_t(end - at - 12));
    takeLe(at, end, 8, v);
    r.endHash = v;
    takeLe(at, end, 4, v);
    if (v != replayChecksum(data, size - 4)) return failed(why, "damaged (checksum mismatch)");
    return true;
}

// ---------------------------------------------------------------------------
// Files

bool readReplayFile(const std::string& path, Replay& replay, std::string& why) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        why = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && bytes.size() <= MaxReplayFileBytes)
        bytes.insert(bytes.end(), chunk, chunk + n);
    bool readError = std::ferror(f);
    std::fclose(f);
    if (readError) return failed(why, "cannot be read");
    if (bytes.size() > MaxReplayFileBytes)
        return failed(why, "larger than %u MB", unsigned(MaxReplayFileBytes >> 20));
    return readReplay(bytes.data(), bytes.size(), replay, why);
}

#ifdef _WIN32
// Windows has neither mkstemp nor hard links for this: the bytes go to a file
// beside it, flushed, which then takes the name; without `replace`, only a
// name that is still free.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& why, bool replace) {
    std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        why = std::string("cannot create a file beside it: ") + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    std::error_code error;
    if (ok && !replace && std::filesystem::exists(path, error)) {
        why = "cannot write: File exists";
        std::filesystem::remove(temp, error);
        return false;
    }
    if (ok) std::filesystem::rename(temp, path, error);
    if (!ok || error) {
        why = "cannot write: " + (error ? error.message() : std::string(std::strerror(errno)));
        std::filesystem::remove(temp, error);
        return false;
    }
    return true;
}
#else
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string& why, bool replace) {
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        why = std::string("cannot create a file beside it: ") + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    bool ok = done == bytes.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    // mkstemp makes it private; it gets the permissions of any file the user saves.
    mode_t mask = umask(0);
    umask(mask);
    ok = ok && chmod(temp.c_str(), 0666 & ~mask) == 0;
    // A hard link, unlike a rename, never takes the place of a file; where the
    // file system has none, a rename after a look.
    bool linked = false;
    if (ok && !replace) {
        linked = link(temp.c_str(), path.c_str()) == 0;
        bool noLinks = !linked && (errno == EPERM || errno == EOPNOTSUPP);
        if (noLinks && access(path.c_str(), F_OK) == 0) errno = EEXIST;
        ok = linked || (noLinks && errno != EEXIST);
    }
    ok = ok && (linked || std::rename(temp.c_str(), path.c_str()) == 0);
    int error = errno;
    if (!ok || linked) unlink(temp.c_str());
    errno = error;
    if (!ok) why = std::string("cannot write: ") + std::strerror(error);
    return ok;
}
#endif
