#include "files/FileAccess.h"

#include <map>
#include <memory>
#include <new>

#include "files/FileSystem.h"

namespace exam {

namespace {

struct Registry {
    std::map<FileNumber, std::unique_ptr<fs::File>> open;
    FileNumber last = 0;
};

Registry& registry() {
    static Registry files;
    return files;
}

fs::File* find(FileNumber file) {
    if (file == 0) return nullptr;
    auto it = registry().open.find(file);
    return it == registry().open.end() ? nullptr : it->second.get();
}

}  // namespace

FileNumber openFile(const Text& path, OpenMode mode, ShareMode share) {
    const int m = static_cast<int>(mode);
    const int s = static_cast<int>(share);
    if (path.empty() || m < 1 || m > 6 || s < 1 || s > 4) return 0;

    using F = fs::File;
    static constexpr F::Access access[] = {F::Read, F::Write, F::ReadWrite,
                                           F::Write, F::Write, F::ReadWrite};
    static constexpr F::Creation creation[] = {
        F::Creation::OpenExisting, F::Creation::OpenExisting, F::Creation::OpenExisting,
        F::Creation::CreateAlways, F::Creation::OpenAlways,   F::Creation::OpenAlways};
    static constexpr F::Share others[] = {F::ShareReadWrite, F::ShareWrite, F::ShareRead,
                                          F::ShareNone};

    auto file = F::open(fs::nativePath(path), access[m - 1], creation[m - 1], others[s - 1]);
    if (!file) return 0;
    Registry& files = registry();
    FileNumber number = ++files.last;
    if (number == 0) number = ++files.last;  // after 2^32 opens: skip the "no file" value
    files.open[number] = std::move(file);
    return number;
}

void closeFile(FileNumber file) {
    if (file != 0) registry().open.erase(file);
}

bool seekToStart(FileNumber file) {
    fs::File* f = find(file);
    return f && f->seek(0, fs::File::From::Start).has_value();
}

bool seekToEnd(FileNumber file) {
    fs::File* f = find(file);
    return f && f->seek(0, fs::File::From::End).has_value();
}

Bytes readBytes(FileNumber file, std::int32_t count) {
    if (count <= 0) return {};
    fs::File* f = find(file);
    if (!f) return {};
    Bytes buffer;
    try {
        buffer.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        f->seek(0, fs::File::From::End);
        return {};
    }
    std::int64_t got = f->read(buffer.data(), buffer.size());
    if (got < 0) {
        f->seek(0, fs::File::From::End);
        return {};
    }
    buffer.resize(static_cast<std::size_t>(got));
    return buffer;
}

bool writeBytes(FileNumber file, std::initializer_list<std::string_view> pieces) {
    fs::File* f = find(file);
    if (!f) return false;
    auto start = f->seek(0, fs::File::From::Current);
    if (!start) return false;
    for (std::string_view piece : pieces) {
        if (piece.empty()) continue;
        if (!f->writeAll(piece.data(), piece.size())) {
            f->seek(static_cast<std::int64_t>(*start), fs::File::From::Start);
            return false;
        }
    }
    return true;
}

std::int32_t fileSize(const Text& path) {
    if (path.empty()) return -1;
    auto s = fs::status(fs::nativePath(path));
    if (!s) return -1;
    if (s->isFolder) return 0;  // a folder's directory entry records no size
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(s->size));
}

}  // namespace exam
