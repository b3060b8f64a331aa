// The file system calls on Linux and other POSIX systems.
//
// Paths: a GBK path becomes UTF-8 and every "\" becomes "/". A native path is absolute when it
// begins with "/", which a Windows-style path beginning with "\" also does after the mapping; a
// drive letter ("D:") has no meaning here and is an ordinary relative name.
//
// Share modes: POSIX has none, so they are emulated in two layers.
// 1. Within this process, a registry of open files by device and inode with each handle's
//    access and share flags refuses a conflicting open exactly as Windows would (a sharing
//    violation). This is what makes the archive writer's "no sharing" hold against the
//    process's own handles.
// 2. Across processes, each handle takes shared open-file-description locks on four marker bytes
//    far beyond any real data (reading, writing, denying read, denying write), and an open first
//    tests the markers that would conflict. Other processes that use the same markers (another
//    instance of this system) are kept out the same way; every other program ignores advisory
//    locks and can still open, read and write the file. Packing additionally refuses a source
//    file that any process of the same user holds open for writing, found by one look at
//    /proc/*/fd at the start of the pack (filesOpenForWritingElsewhere); a writer that opens
//    the file later, or a process of another user, is not seen.
#include "files/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

namespace exam::fs {

namespace {

constexpr off_t MarkerBase = off_t(0x7FFFFFFF00000000LL);
enum Marker : off_t { Reading = 0, Writing = 1, DenyingRead = 2, DenyingWrite = 3 };

FileStatus fromStatx(const struct statx& st) {
    FileStatus s;
    s.isFolder = S_ISDIR(st.stx_mode);
    s.readOnly = (st.stx_mode & S_IWUSR) == 0;
    s.size = st.stx_size;
    s.modified = st.stx_mtime.tv_sec;
    s.accessed = st.stx_atime.tv_sec;
    s.created = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_mtime.tv_sec;
    s.id = {makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino};
    return s;
}

std::optional<FileStatus> statxAt(int dirFd, const char* path, int flags) {
    struct statx st {};
    if (::statx(dirFd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) return {};
    return fromStatx(st);
}

struct flock markerLock(short type, Marker marker) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = MarkerBase + marker;
    lock.l_len = 1;
    return lock;
}

// True when some other open file description holds a lock on the marker byte.
bool markerHeld(int fd, Marker marker) {
    struct flock lock = markerLock(F_WRLCK, marker);
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;  // no such locks here: nothing held
    return lock.l_type != F_UNLCK;
}

// Takes the wanted markers, one lock call per run of neighbouring bytes.
void holdMarkers(int fd, std::array<bool, 4> wanted) {
    for (int at = 0; at < 4;) {
        if (!wanted[at]) {
            ++at;
            continue;
        }
        int end = at;
        while (end < 4 && wanted[end]) ++end;
        struct flock lock = markerLock(F_RDLCK, Marker(at));
        lock.l_len = end - at;
        ::fcntl(fd, F_OFD_SETLK, &lock);  // best effort: a file system without locks keeps none
        at = end;
    }
}

bool conflicts(unsigned accessA, unsigned shareA, unsigned accessB, unsigned shareB) {
    return ((accessA & File::Read) && !(shareB & File::ShareRead)) ||
           ((accessA & File::Write) && !(shareB & File::ShareWrite)) ||
           ((accessB & File::Read) && !(shareA & File::ShareRead)) ||
           ((accessB & File::Write) && !(shareA & File::ShareWrite));
}

}  // namespace

struct File::Impl {
    int fd = -1;
    int lockFd = -1;  // fd itself, or a read-only twin for the read locks of a write-only handle
    FileId id;
    FileStatus opened;
    unsigned access = 0;
    unsigned share = 0;

    static std::multimap<FileId, const Impl*>& registry() {
        static std::multimap<FileId, const Impl*> open;
        return open;
    }
    ~Impl() {
        auto [first, last] = registry().equal_range(id);
        for (auto it = first; it != last; ++it) {
            if (it->second == this) {
                registry().erase(it);
                break;
            }
        }
        if (lockFd >= 0 && lockFd != fd) ::close(lockFd);
        if (fd >= 0) ::close(fd);
    }
};

std::string nativePath(const Text& path) {
    std::string native = path.toUtf8();
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

Text textFromNative(const std::string& native) { return Text::fromUtf8(native); }

bool isAbsolute(const std::string& native) { return !native.empty() && native[0] == '/'; }

std::optional<FileStatus> status(const std::string& native) {
    if (native.empty()) return {};
    auto s = statxAt(AT_FDCWD, native.c_str(), 0);
    if (s) {
        auto slash = native.find_last_of('/', native.size() > 1 ? native.size() - 2 : 0);
        std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
        s->hidden = nameStart < native.size() && native[nameStart] == '.';
    }
    return s;
}

std::optional<std::vector<std::string>> listFolder(const std::string& native) {
    DIR* dir = ::opendir(native.c_str());
    if (!dir) return {};
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    return names;
}

bool makeFolder(const std::string& native) {
    if (::mkdir(native.c_str(), 0777) == 0) return true;
    auto s = status(native);
    return s && s->isFolder;
}

bool makeFolders(const std::string& native) {
    if (native.empty()) return false;
    for (std::size_t slash = native.find('/', 1); slash != std::string::npos;
         slash = native.find('/', slash + 1)) {
        if (native[slash - 1] == '/') continue;
        if (!makeFolder(native.substr(0, slash))) return false;
    }
    return native.back() == '/' || makeFolder(native);
}

bool resetAttributes(const std::string& native) {
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    mode_t wanted = st.st_mode | S_IRUSR | S_IWUSR;
    if (S_ISDIR(st.st_mode) || wanted == st.st_mode) return true;
    return ::chmod(native.c_str(), wanted & 07777) == 0;
}

std::set<FileId> filesOpenForWritingElsewhere() {
    std::set<FileId> writing;
    const std::string self = std::to_string(::getpid());
    auto processes = listFolder("/proc");
    if (!processes) return writing;
    for (const std::string& pid : *processes) {
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        const std::string base = "/proc/" + pid;
        auto fds = listFolder(base + "/fd");
        if (!fds) continue;
        for (const std::string& fd : *fds) {
            struct stat st {};
            if (::stat((base + "/fd/" + fd).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            int info = ::open((base + "/fdinfo/" + fd).c_str(), O_RDONLY | O_CLOEXEC);
            if (info < 0) continue;
            char text[256] = {};
            ssize_t got = ::read(info, text, sizeof text - 1);
            ::close(info);
            if (got <= 0) continue;
            const char* flags = std::strstr(text, "flags:");
            if (!flags) continue;
            long value = std::strtol(flags + 6, nullptr, 8);
            if ((value & O_ACCMODE) == O_WRONLY || (value & O_ACCMODE) == O_RDWR)
                writing.insert({st.st_dev, st.st_ino});
        }
    }
    return writing;
}

LocalTime toLocalTime(std::int64_t unixSeconds) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm {};
    if (!::localtime_r(&t, &tm)) return {};
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::int64_t standardOffsetSeconds() {
    ::tzset();
    return -static_cast<std::int64_t>(::timezone);
}

std::int64_t fromLocalTime(const LocalTime& local) {
    std::tm tm {};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

std::int64_t currentTime() { return static_cast<std::int64_t>(std::time(nullptr)); }

File::File(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
File::~File() = default;

namespace {

// A write-only handle still needs read access for its read locks; it is opened for reading and
// writing where the file allows, and otherwise gets a read-only twin for the locks.
// Non-blocking, so that a named pipe or device at the path cannot hang the open; only a regular
// file is kept, and it is switched back to blocking.
int openNative(const std::string& native, unsigned access, int creationFlags, bool* readable) {
    int mode = access == File::Read ? O_RDONLY : O_RDWR;
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY | creationFlags;
    int fd = ::open(native.c_str(), flags | mode, 0666);
    *readable = fd >= 0;
    if (fd < 0 && access == File::Write && errno == EACCES)
        fd = ::open(native.c_str(), flags | O_WRONLY, 0666);
    if (fd < 0) return fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<File> File::open(const std::string& native, Access access, Creation creation,
                                 Share share) {
    if (native.empty()) return nullptr;
    auto impl = std::make_unique<Impl>();
    bool readable = false;
    // A file this open creates has no other handle yet: nothing to test, nothing to truncate.
    bool fresh = false;
    if (creation != Creation::OpenExisting) {
        impl->fd = openNative(native, access, O_CREAT | O_EXCL, &readable);
        fresh = impl->fd >= 0;
    }
    if (!fresh) impl->fd = openNative(native, access, 0, &readable);
    if (impl->fd < 0) return nullptr;
    auto s = statxAt(impl->fd, "", AT_EMPTY_PATH);
    if (!s || s->isFolder) return nullptr;
    impl->opened = *s;
    impl->id = s->id;
    impl->access = access;
    impl->share = share;

    if (!fresh) {
        auto [first, last] = Impl::registry().equal_range(impl->id);
        for (auto it = first; it != last; ++it)
            if (conflicts(access, share, it->second->access, it->second->share)) return nullptr;
    }

    impl->lockFd = readable ? impl->fd
                            : ::open(("/proc/self/fd/" + std::to_string(impl->fd)).c_str(),
                                     O_RDONLY | O_CLOEXEC);
    if (impl->lockFd >= 0) {
        int fd = impl->lockFd;
        if (!fresh && (((access & Read) && markerHeld(fd, DenyingRead)) ||
                       ((access & Write) && markerHeld(fd, DenyingWrite)) ||
                       (!(share & ShareRead) && markerHeld(fd, Reading)) ||
                       (!(share & ShareWrite) && markerHeld(fd, Writing))))
            return nullptr;
        holdMarkers(fd, {(access & Read) != 0, (access & Write) != 0, !(share & ShareRead),
                         !(share & ShareWrite)});
    }

    if (!fresh && creation == Creation::CreateAlways && ::ftruncate(impl->fd, 0) != 0)
        return nullptr;
    Impl::registry().emplace(impl->id, impl.get());
    return std::unique_ptr<File>(new File(std::move(impl)));
}

std::int64_t File::read(char* buffer, std::size_t count) {
    if (!(impl_->access & Read)) return -1;  // the descriptor may read for the locks' sake
    for (;;) {
        ssize_t got = ::read(impl_->fd, buffer, count);
        if (got >= 0) return got;
        if (errno != EINTR) return -1;
    }
}

bool File::writeAll(const char* data, std::size_t count) {
    while (count > 0) {
        ssize_t put = ::write(impl_->fd, data, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

bool File::writeAt(std::uint64_t offset, const char* data, std::size_t count) {
    while (count > 0) {
        ssize_t put = ::pwrite(impl_->fd, data, count, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        offset += static_cast<std::uint64_t>(put);
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

std::optional<std::uint64_t> File::seek(std::int64_t offset, From from) {
    int whence = from == From::Start ? SEEK_SET : from == From::Current ? SEEK_CUR : SEEK_END;
    off_t at = ::lseek(impl_->fd, static_cast<off_t>(offset), whence);
    if (at < 0) return {};
    return static_cast<std::uint64_t>(at);
}

std::optional<FileStatus> File::status() const { return statxAt(impl_->fd, "", AT_EMPTY_PATH); }

const FileStatus& File::statusAtOpen() const { return impl_->opened; }

std::int64_t File::readAt(std::uint64_t offset, char* buffer, std::size_t count) {
    if (!(impl_->access & Read)) return -1;
    for (;;) {
        ssize_t got = ::pread(impl_->fd, buffer, count, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno != EINTR) return -1;
    }
}

bool File::setTimes(std::int64_t modified, std::int64_t accessed) {
    struct timespec times[2] = {{static_cast<time_t>(accessed), 0},
                                {static_cast<time_t>(modified), 0}};
    return ::futimens(impl_->fd, times) == 0;
}

}  // namespace exam::fs
