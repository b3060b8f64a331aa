// The archive component: packing writes every record by hand, because the answer archive's
// layout is fixed byte for byte; unpacking walks the archive with minizip's unzip interface and
// inflates with zlib. All file access goes through FileSystem, minizip included (its file
// callbacks are served from an open fs::File).
#include "files/ZipArchiver.h"

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "files/FileSystem.h"

namespace exam {

namespace {

constexpr std::size_t StoredPiece = 16 * 1024;    // stored data and unpacked data
constexpr std::size_t DeflateInput = 64 * 1024;   // source bytes handed to deflate at once
constexpr std::size_t WriteBuffer = 256 * 1024;   // archive bytes gathered before a write
constexpr std::uint32_t FolderAttributes = 0x41C00010;
constexpr std::uint64_t Max32 = 0xFFFFFFFFu;

void put16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
std::uint32_t get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t get32(const unsigned char* p) { return get16(p) | (get16(p + 2) << 16); }

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// A file time as the extended-timestamp block carries it: the local time, its date clamped
// into 1970..2037, read back as local standard time.
std::uint32_t timestampSeconds(std::int64_t unixSeconds) {
    fs::LocalTime t = fs::toLocalTime(unixSeconds);
    if (t.year < 1970) t.year = 1970, t.month = 1, t.day = 1;
    if (t.year > 2037) t.year = 2037, t.month = 12, t.day = 31;
    std::int64_t s = daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 +
                     t.minute * 60 + t.second - fs::standardOffsetSeconds();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(s, 0, Max32));
}

// DOS date in the high half, time in the low half, local time, two-second steps.
std::uint32_t dosDateTime(std::int64_t unixSeconds) {
    fs::LocalTime t = fs::toLocalTime(unixSeconds);
    if (t.year < 1980) t = {1980, 1, 1, 0, 0, 0};
    if (t.year > 2107) t = {2107, 12, 31, 23, 59, 58};
    return (std::uint32_t(t.year - 1980) << 25) | (std::uint32_t(t.month) << 21) |
           (std::uint32_t(t.day) << 16) | (std::uint32_t(t.hour) << 11) |
           (std::uint32_t(t.minute) << 5) | std::uint32_t(t.second / 2);
}

// Already-compressed formats are stored as they are; the last "." of the whole name counts.
bool storedByName(const std::string& name) {
    static constexpr std::array<std::string_view, 8> kept = {".z",   ".zip", ".zoo", ".arc",
                                                              ".lzh", ".arj", ".gz",  ".tgz"};
    auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return std::find(kept.begin(), kept.end(), ext) != kept.end();
}

struct EntryRecord {
    std::string name;  // GBK
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dosTime = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::uint32_t attributes = 0;
    std::uint32_t modified = 0, accessed = 0, created = 0;
    std::uint32_t offset = 0;
};

// Flags to name length: the same in the local and the central header.
void putSharedFields(std::string& out, const EntryRecord& e) {
    put16(out, e.flags);
    put16(out, e.method);
    put32(out, e.dosTime);
    put32(out, e.crc);
    put32(out, e.compressedSize);
    put32(out, e.size);
    put16(out, static_cast<std::uint32_t>(e.name.size()));
}

std::string localHeader(const EntryRecord& e) {
    std::string h;
    h.reserve(30 + e.name.size() + 17);
    put32(h, 0x04034B50);
    put16(h, 20);
    putSharedFields(h, e);
    put16(h, 17);
    h += e.name;
    put16(h, 0x5455);
    put16(h, 13);
    h.push_back(7);
    put32(h, e.modified);
    put32(h, e.accessed);
    put32(h, e.created);
    return h;
}

void appendCentralHeader(std::string& out, const EntryRecord& e) {
    put32(out, 0x02014B50);
    put16(out, 0x0B17);
    put16(out, 20);
    putSharedFields(out, e);
    put16(out, 9);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put32(out, e.attributes);
    put32(out, e.offset);
    out += e.name;
    put16(out, 0x5455);
    put16(out, 5);
    out.push_back(7);
    put32(out, e.modified);
}

// The archive being written: buffered output, headers patched in place, central records kept
// until the close.
class ArchiveWriter {
public:
    explicit ArchiveWriter(std::unique_ptr<fs::File> file) : file_(std::move(file)) {
        out_.reserve(WriteBuffer + DeflateInput);
    }
    std::uint64_t position() const { return flushed_ + out_.size(); }
    bool ok() const { return ok_; }

    void put(const char* data, std::size_t n) {
        out_.append(data, n);
        if (out_.size() >= WriteBuffer) flush();
    }
    void put(const std::string& bytes) { put(bytes.data(), bytes.size()); }
    // Rewrites bytes already put, at an archive offset.
    void patch(std::uint64_t offset, const std::string& bytes) {
        if (offset >= flushed_) {
            out_.replace(offset - flushed_, bytes.size(), bytes);
        } else if (ok_ && !file_->writeAt(offset, bytes.data(), bytes.size())) {
            ok_ = false;
        }
    }
    void addCentral(const EntryRecord& e) {
        appendCentralHeader(central_, e);
        ++entries_;
    }
    // Central directory and end record; true when the whole archive reached the file.
    bool close() {
        std::uint64_t centralOffset = position();
        put(central_);
        std::string end;
        put32(end, 0x06054B50);
        put16(end, 0);
        put16(end, 0);
        put16(end, entries_ & 0xFFFF);
        put16(end, entries_ & 0xFFFF);
        put32(end, static_cast<std::uint32_t>(central_.size()));
        put32(end, static_cast<std::uint32_t>(centralOffset));
        put16(end, 0);
        put(end);
        flush();
        file_.reset();
        return ok_;
    }

private:
    void flush() {
        if (ok_ && !out_.empty() && !file_->writeAll(out_.data(), out_.size())) ok_ = false;
        flushed_ += out_.size();
        out_.clear();
    }

    std::unique_ptr<fs::File> file_;
    std::string out_;
    std::uint64_t flushed_ = 0;
    std::string central_;
    std::uint32_t entries_ = 0;
    bool ok_ = true;
};

// One deflate state and its buffers for a whole pack: set up once, reset per entry.
struct Deflater {
    z_stream z {};
    bool ready = false;
    std::vector<char> input = std::vector<char>(DeflateInput);
    std::vector<char> output = std::vector<char>(DeflateInput);

    Deflater() = default;
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() {
        if (ready) deflateEnd(&z);
    }
    bool start() {
        if (ready) return deflateReset(&z) == Z_OK;
        // memLevel 9: the largest hash table, a little faster and smaller output at level 8.
        ready = deflateInit2(&z, 8, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        return ready;
    }
};

std::string joinNative(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace

struct ZipArchiver::State {
    std::int32_t total = 0;
    std::int32_t done = 0;
    bool cancelled = false;
    std::set<fs::FileId> writtenElsewhere;
    Deflater deflater;
    std::vector<fs::FileId> walking;  // folders on the way down, against link cycles
    std::unique_ptr<ArchiveWriter> writer;
};

ZipArchiver::ZipArchiver() = default;
ZipArchiver::~ZipArchiver() = default;

void ZipArchiver::bind(Event event, ProgressHandler handler) {
    (event == PackProgress ? packProgress_ : unpackProgress_) = std::move(handler);
}

namespace {

bool report(const ZipArchiver::ProgressHandler& handler, std::int64_t done, std::int64_t total) {
    if (!handler) return true;
    std::int64_t percent = total > 0 ? std::min<std::int64_t>(done * 100 / total, 100) : 100;
    std::optional<bool> goOn = handler(static_cast<std::int32_t>(percent));
    return !goOn.has_value() || *goOn;
}

std::int32_t countBelow(const std::string& folder, std::vector<fs::FileId>& walking) {
    auto names = fs::listFolder(folder);
    if (!names) return 0;
    std::int32_t count = 0;
    for (const std::string& name : *names) {
        const std::string path = joinNative(folder, name);
        auto s = fs::status(path);
        if (!s) continue;
        ++count;
        if (s->isFolder && std::find(walking.begin(), walking.end(), s->id) == walking.end()) {
            walking.push_back(s->id);
            count += countBelow(path, walking);
            walking.pop_back();
        }
    }
    return count;
}

// Adds one file entry. False when the file can't be read under the share rule, is written by
// another process, changes size while read, or the archive can't take it.
bool addFileEntry(ArchiveWriter& writer, Deflater& deflater, const std::string& path,
                  const Text& name, const std::set<fs::FileId>& writtenElsewhere) {
    auto file = fs::File::open(path, fs::File::Read, fs::File::Creation::OpenExisting,
                               fs::File::ShareRead);
    if (!file) return false;
    const fs::FileStatus* st = &file->statusAtOpen();
    if (writtenElsewhere.count(st->id) || st->size > Max32) return false;
    const std::uint64_t offset = writer.position();
    if (offset > Max32) return false;

    EntryRecord e;
    e.name = name.bytes();
    e.method = storedByName(e.name) ? 0 : 8;
    e.flags = e.method == 8 ? 0x0002 : 0;
    e.dosTime = dosDateTime(st->modified);
    e.modified = timestampSeconds(st->modified);
    e.accessed = timestampSeconds(st->accessed);
    e.created = timestampSeconds(st->created);
    // Dot files are what hidden files are here.
    const bool hidden = path[path.rfind('/') + 1] == '.';
    std::uint32_t dos = (st->readOnly ? 0x01 : 0) | (hidden ? 0x02 : 0) | 0x20;
    std::uint32_t unixMode = 0x8000 | 0x0100 | (st->readOnly ? 0 : 0x0080);
    e.attributes = (unixMode << 16) | dos;
    e.offset = static_cast<std::uint32_t>(offset);
    writer.put(localHeader(e));

    std::uint64_t read = 0;
    std::uint32_t crc = crc32(0, nullptr, 0);
    const std::uint64_t dataStart = writer.position();
    std::vector<char>& input = deflater.input;
    if (e.method == 0) {
        for (;;) {
            std::int64_t got = file->read(input.data(), StoredPiece);
            if (got < 0) return false;
            if (got == 0) break;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(input.data()), uInt(got));
            read += std::uint64_t(got);
            writer.put(input.data(), std::size_t(got));
        }
    } else {
        if (!deflater.start()) return false;
        z_stream& z = deflater.z;
        std::vector<char>& output = deflater.output;
        int flush = Z_NO_FLUSH;
        while (flush != Z_FINISH) {
            std::int64_t got = file->read(input.data(), input.size());
            if (got < 0) return false;
            if (got == 0) flush = Z_FINISH;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(input.data()), uInt(got));
            read += std::uint64_t(got);
            z.next_in = reinterpret_cast<Bytef*>(input.data());
            z.avail_in = uInt(got);
            do {
                z.next_out = reinterpret_cast<Bytef*>(output.data());
                z.avail_out = uInt(output.size());
                deflate(&z, flush);
                writer.put(output.data(), output.size() - z.avail_out);
            } while (z.avail_out == 0);
        }
    }
    const std::uint64_t compressed = writer.position() - dataStart;
    if (read != st->size || compressed > Max32 || !writer.ok()) return false;

    e.crc = crc;
    e.size = static_cast<std::uint32_t>(read);
    e.compressedSize = static_cast<std::uint32_t>(compressed);
    writer.patch(offset, localHeader(e));
    writer.addCentral(e);
    return writer.ok();
}

bool addFolderEntry(ArchiveWriter& writer, const Text& name) {
    const std::uint64_t offset = writer.position();
    if (offset > Max32) return false;
    const std::int64_t now = fs::currentTime();
    EntryRecord e;
    e.name = name.bytes() + "/";
    e.dosTime = dosDateTime(now);
    e.modified = e.accessed = e.created = timestampSeconds(now);
    e.attributes = FolderAttributes;
    e.offset = static_cast<std::uint32_t>(offset);
    writer.put(localHeader(e));
    writer.addCentral(e);
    return writer.ok();
}

Text entryName(const Text& relative, const std::string& nativeName) {
    Text name = fs::textFromNative(nativeName);
    return relative.empty() ? name : relative + Text("/") + name;
}

}  // namespace

std::int32_t ZipArchiver::pack(const Text& source, const Text& destination) {
    if (source.empty() || destination.empty()) return -1;
    const std::string from = fs::nativePath(source);
    auto st = fs::status(from);
    if (!st) return -1;

    // Replacing the destination would empty a file packed onto itself before it is read.
    const std::string to = fs::nativePath(destination);
    if (auto existing = fs::status(to); existing && !st->isFolder && existing->id == st->id)
        return 0;

    state_ = std::make_unique<State>();
    auto file = fs::File::open(to, fs::File::Write,
                               fs::File::Creation::CreateAlways, fs::File::ShareNone);
    if (!file) {
        state_.reset();
        return 0;
    }
    state_->writer = std::make_unique<ArchiveWriter>(std::move(file));
    state_->writtenElsewhere = fs::filesOpenForWritingElsewhere();

    bool walked;
    if (!st->isFolder) {
        std::string base = from;
        while (base.size() > 1 && base.back() == '/') base.pop_back();
        auto slash = base.rfind('/');
        walked = addFileEntry(*state_->writer, state_->deflater, from,
                              fs::textFromNative(slash == std::string::npos
                                                     ? base
                                                     : base.substr(slash + 1)),
                              state_->writtenElsewhere);
    } else {
        state_->walking.push_back(st->id);
        state_->total = countBelow(from, state_->walking);
        walked = walk(from, Text());
    }
    bool closed = state_->writer->close();
    state_.reset();
    return walked && closed ? 1 : 0;
}

bool ZipArchiver::walk(const std::string& folder, const Text& relative) {
    State& s = *state_;
    if (s.cancelled) return true;
    auto files = fs::listFolder(folder);
    if (!files) return false;
    for (const std::string& name : *files) {
        if (s.cancelled) break;
        const std::string path = joinNative(folder, name);
        auto st = fs::status(path);
        if (!st || st->isFolder) continue;
        if (!addFileEntry(*s.writer, s.deflater, path, entryName(relative, name),
                          s.writtenElsewhere))
            return false;
        if (!report(packProgress_, ++s.done, s.total)) s.cancelled = true;
    }
    auto folders = fs::listFolder(folder);
    if (!folders) return false;
    for (const std::string& name : *folders) {
        if (s.cancelled) break;
        const std::string path = joinNative(folder, name);
        auto st = fs::status(path);
        if (!st || !st->isFolder) continue;
        const Text inner = entryName(relative, name);
        if (!addFolderEntry(*s.writer, inner)) return false;
        if (!report(packProgress_, ++s.done, s.total)) s.cancelled = true;
        if (std::find(s.walking.begin(), s.walking.end(), st->id) != s.walking.end()) continue;
        s.walking.push_back(st->id);
        bool ok = walk(path, inner);
        s.walking.pop_back();
        if (!ok) return false;
    }
    return true;
}

// ---- unpacking ----

namespace {

// minizip's file callbacks over one open fs::File, with a read buffer: minizip reads headers
// a few bytes at a time.
struct ArchiveSource {
    std::unique_ptr<fs::File> file;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    std::string buffer;
    std::uint64_t bufferStart = 0;
    bool failed = false;

    std::size_t read(char* out, std::size_t n) {
        std::size_t done = 0;
        while (done < n) {
            if (position >= bufferStart && position < bufferStart + buffer.size()) {
                std::size_t at = std::size_t(position - bufferStart);
                std::size_t take = std::min(n - done, buffer.size() - at);
                std::memcpy(out + done, buffer.data() + at, take);
                done += take;
                position += take;
                continue;
            }
            buffer.resize(DeflateInput);
            std::int64_t got = file->readAt(position, buffer.data(), buffer.size());
            if (got <= 0) {
                buffer.clear();
                failed = got < 0;
                break;
            }
            buffer.resize(std::size_t(got));
            bufferStart = position;
        }
        return done;
    }
};

voidpf ZCALLBACK sourceOpen(voidpf opaque, const void*, int) { return opaque; }
uLong ZCALLBACK sourceRead(voidpf, voidpf stream, void* buf, uLong size) {
    return uLong(static_cast<ArchiveSource*>(stream)->read(static_cast<char*>(buf), size));
}
uLong ZCALLBACK sourceWrite(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK sourceTell(voidpf, voidpf stream) {
    return static_cast<ArchiveSource*>(stream)->position;
}
long ZCALLBACK sourceSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<ArchiveSource*>(stream);
    std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                         : origin == ZLIB_FILEFUNC_SEEK_CUR ? s->position
                                                            : s->size;
    s->position = base + offset;
    return 0;
}
int ZCALLBACK sourceClose(voidpf, voidpf) { return 0; }
int ZCALLBACK sourceError(voidpf, voidpf stream) {
    return static_cast<ArchiveSource*>(stream)->failed ? 1 : 0;
}

struct EntryTimes {
    std::optional<std::int64_t> modified, accessed;
};

// The extended-timestamp block of a local extra field.
EntryTimes timesFromExtra(const unsigned char* extra, std::size_t length) {
    EntryTimes t;
    std::size_t at = 0;
    while (at + 4 <= length) {
        std::uint32_t id = get16(extra + at), size = get16(extra + at + 2);
        const unsigned char* data = extra + at + 4;
        if (at + 4 + size > length) break;
        if (id == 0x5455 && size >= 1) {
            unsigned flags = data[0];
            std::size_t p = 1;
            if ((flags & 1) && p + 4 <= size) t.modified = get32(data + p), p += 4;
            if ((flags & 2) && p + 4 <= size) t.accessed = get32(data + p);
            break;
        }
        at += 4 + size;
    }
    return t;
}

// The entry's name as a native path below the target folder, or nothing when the name would
// reach outside it: a ".." part, a leading "/" or "\", a drive letter.
std::optional<std::string> confinedName(const Text& name) {
    std::string path = fs::nativePath(name);
    if (path.empty() || path[0] == '/') return {};
    if (path.size() >= 2 && path[1] == ':') return {};
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) return {};
        start = end + 1;
    }
    return path;
}

class UnzipCloser {
public:
    explicit UnzipCloser(unzFile zip) : zip_(zip) {}
    ~UnzipCloser() {
        if (zip_) unzClose(zip_);
    }
    UnzipCloser(const UnzipCloser&) = delete;
    UnzipCloser& operator=(const UnzipCloser&) = delete;

private:
    unzFile zip_;
};

}  // namespace

std::int32_t ZipArchiver::unpack(const Text& archive, const Text& folder) {
    if (archive.empty() || folder.empty()) return -1;
    const std::string archivePath = fs::nativePath(archive);
    if (!fs::status(archivePath)) return -1;
    std::string target = fs::nativePath(folder);
    if (!fs::status(target) && !fs::makeFolders(target)) return 0;
    if (target.back() != '/') target += '/';

    ArchiveSource source;
    source.file = fs::File::open(archivePath, fs::File::Read, fs::File::Creation::OpenExisting,
                                 fs::File::ShareReadWrite);
    if (!source.file) return 0;
    source.size = source.file->statusAtOpen().size;
    unsigned char head[32];
    if (source.read(reinterpret_cast<char*>(head), sizeof head) != sizeof head) return 0;
    if (get32(head) != 0x04034B50 || static_cast<std::int32_t>(get32(head + 24)) <= 0) return 0;

    // The end record nearest the end of the file must be whole: a paper cut off inside it is
    // not an archive, whatever the bytes behind the cut would have said.
    {
        const std::uint64_t window = std::min<std::uint64_t>(source.size, 0xFFFF);
        std::string tail(window, '\0');
        source.position = source.size - window;
        if (source.read(tail.data(), tail.size()) != tail.size()) return 0;
        auto end = tail.rfind(std::string("PK\x05\x06", 4));
        if (end == std::string::npos || tail.size() - end < 22) return 0;
        source.position = 0;
    }
    zlib_filefunc64_def callbacks {sourceOpen, sourceRead,  sourceWrite, sourceTell,
                                   sourceSeek, sourceClose, sourceError, &source};
    unzFile zip = unzOpen2_64(archivePath.c_str(), &callbacks);
    if (!zip) return 0;
    UnzipCloser closer(zip);
    unz_global_info64 global {};
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) return 0;

    std::uint64_t readable = 0;
    for (int err = unzGoToFirstFile(zip); err == UNZ_OK; err = unzGoToNextFile(zip)) ++readable;

    state_ = std::make_unique<State>();
    std::int32_t result = unpackEntries(zip, global.number_entry, readable, target);
    state_.reset();
    return result;
}

std::int32_t ZipArchiver::unpackEntries(void* handle, std::uint64_t entries,
                                        std::uint64_t readable, const std::string& target) {
    unzFile zip = handle;
    std::set<std::string> madeFolders = {target};
    std::vector<char> name(65536);
    std::vector<unsigned char> extra(65536);
    std::vector<char> piece(StoredPiece);

    for (std::uint64_t index = 0; index < entries; ++index) {
        int err = index == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip);
        unz_file_info64 info {};
        if (err != UNZ_OK ||
            unzGetCurrentFileInfo64(zip, &info, name.data(), uLong(name.size() - 1), nullptr,
                                    0, nullptr, 0) != UNZ_OK)
            return 1;
        // No password is ever known, and another method can't be read: the entry is unreadable.
        if ((info.flag & 1) || (info.compression_method != 0 && info.compression_method != 8))
            return 1;
        if (unzOpenCurrentFile(zip) != UNZ_OK) return 1;
        name[std::min<std::size_t>(info.size_filename, name.size() - 1)] = 0;
        const Text entry(name.data());
        auto inside = confinedName(entry);
        if (!inside) {
            unzCloseCurrentFile(zip);
            return 0;
        }
        const std::string path = target + *inside;
        const bool folderEntry =
            (info.external_fa & 0x10) || (info.external_fa & 0x40000000) ||
            (path.back() == '/' && info.uncompressed_size == 0);

        if (folderEntry) {
            unzCloseCurrentFile(zip);
            if (!fs::makeFolders(path)) return 0;
            madeFolders.insert(path.back() == '/' ? path : path + "/");
        } else {
            int extraLength = unzGetLocalExtrafield(zip, extra.data(), unsigned(extra.size()));
            EntryTimes times = timesFromExtra(extra.data(), extraLength > 0 ? extraLength : 0);
            fs::resetAttributes(path);
            const std::string parent = path.substr(0, path.rfind('/') + 1);
            if (!madeFolders.count(parent)) {
                if (!fs::makeFolders(parent)) {
                    unzCloseCurrentFile(zip);
                    return 0;
                }
                madeFolders.insert(parent);
            }
            auto out = fs::File::open(path, fs::File::Write, fs::File::Creation::CreateAlways,
                                      fs::File::ShareNone);
            if (!out) {
                unzCloseCurrentFile(zip);
                return 0;
            }
            std::uint32_t crc = crc32(0, nullptr, 0);
            std::uint64_t written = 0;
            for (;;) {
                int got = unzReadCurrentFile(zip, piece.data(), unsigned(piece.size()));
                if (got < 0 || (got > 0 && !out->writeAll(piece.data(), std::size_t(got)))) {
                    unzCloseCurrentFile(zip);
                    return 0;
                }
                if (got == 0) break;
                crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), uInt(got));
                written += std::uint64_t(got);
            }
            // A damaged entry must not leave a paper file that looks fine.
            if (unzCloseCurrentFile(zip) != UNZ_OK || crc != info.crc ||
                written != info.uncompressed_size)
                return 0;
            tm_unz d = info.tmu_date;
            std::int64_t dosTime = fs::fromLocalTime(
                {int(d.tm_year), int(d.tm_mon) + 1, int(d.tm_mday), int(d.tm_hour),
                 int(d.tm_min), int(d.tm_sec)});
            out->setTimes(times.modified.value_or(dosTime), times.accessed.value_or(dosTime));
            out.reset();
            fs::resetAttributes(path);
        }
        if (!report(unpackProgress_, std::int64_t(index), std::int64_t(readable))) return 1;
    }
    report(unpackProgress_, 100, 100);
    return 1;
}

}  // namespace exam
