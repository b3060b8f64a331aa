// FileSystem: the one place where the exam files meet the operating system's file calls. Paths
// enter as GBK texts and are turned into the system's own path form here (nativePath); every
// other function takes that native form. Open files carry Windows-style share modes, which the
// platform file enforces (natively on Windows, emulated on POSIX; see FileSystemPosix.cpp for
// what another program can and cannot be kept out of a file).
//
// Nothing here shows a message or throws: failures are results. Used on the UI thread only.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Text.h"

namespace exam::fs {

// The system's paths are written Windows-style ("D:\exam\123"). The text is converted from GBK
// to the file system's encoding first and only then is every "\" turned into the native
// separator, because a GBK character's second byte may be 0x5C.
std::string nativePath(const Text& path);
// Native path to GBK text (for entry names taken from the file system).
Text textFromNative(const std::string& native);
// True when the native path does not depend on the current directory.
bool isAbsolute(const std::string& native);

struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend auto operator<=>(const FileId&, const FileId&) = default;
};

// Times are Unix seconds.
struct FileStatus {
    bool isFolder = false;
    bool readOnly = false;  // the owner may not write
    bool hidden = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t accessed = 0;
    std::int64_t created = 0;
    FileId id;
};

// Follows symbolic links; empty when nothing exists at the path.
std::optional<FileStatus> status(const std::string& native);
// The names in a folder, as the file system returns them, without "." and "..". Empty
// optional when the folder can't be listed.
std::optional<std::vector<std::string>> listFolder(const std::string& native);
// Creates one folder level. True when it was created or already is a folder.
bool makeFolder(const std::string& native);
// Creates every missing level of the path, from the left. True when the whole path is a folder.
bool makeFolders(const std::string& native);
// Makes a file writable again ("normal attributes"). True also when nothing is there.
bool resetAttributes(const std::string& native);
// Files that another process of this machine holds open for writing, as far as this process may
// look (its own user's processes). One snapshot; this process's own handles are not included,
// its open-file registry answers for those.
std::set<FileId> filesOpenForWritingElsewhere();

// Broken-down local time, as file times are shown to the user.
struct LocalTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
LocalTime toLocalTime(std::int64_t unixSeconds);
// Seconds east of UTC of the local standard time (daylight saving not applied).
std::int64_t standardOffsetSeconds();
// Unix seconds of a local time, daylight saving as the rules of that day say.
std::int64_t fromLocalTime(const LocalTime& local);
std::int64_t currentTime();

// One open file with its access and share flags. Closing is destruction.
class File {
public:
    enum Access : unsigned { Read = 1, Write = 2, ReadWrite = 3 };
    enum class Creation { OpenExisting, CreateAlways, OpenAlways };
    // What other openers of the same file are allowed while this one is open.
    enum Share : unsigned { ShareNone = 0, ShareRead = 1, ShareWrite = 2, ShareReadWrite = 3 };

    // Empty on any refusal: missing file or folder, access denied, sharing violation. A
    // refused CreateAlways leaves an existing file as it was.
    static std::unique_ptr<File> open(const std::string& native, Access access,
                                      Creation creation, Share share);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Bytes read (0 at the end), -1 on failure.
    std::int64_t read(char* buffer, std::size_t count);
    bool writeAll(const char* data, std::size_t count);
    // Writes at an offset without moving the position.
    bool writeAt(std::uint64_t offset, const char* data, std::size_t count);
    enum class From { Start, Current, End };
    // The new position, or empty when refused (the position then stays).
    std::optional<std::uint64_t> seek(std::int64_t offset, From from);
    std::optional<FileStatus> status() const;
    // Taken by the open itself; the size is the one the file had then.
    const FileStatus& statusAtOpen() const;
    // Reads at an offset without moving the position; bytes read, -1 on failure.
    std::int64_t readAt(std::uint64_t offset, char* buffer, std::size_t count);
    bool setTimes(std::int64_t modified, std::int64_t accessed);

private:
    struct Impl;
    explicit File(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace exam::fs
