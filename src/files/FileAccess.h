// FileAccess: the numbered open files of the exam files. A file is opened by its GBK path in one
// of six open modes and one of four share modes and is then named by a FileNumber until it is
// closed. The registry of open numbers is owned here; files still open when the process ends
// close with it.
//
// Every failure is only a result (0, false, the empty byte string, -1), and an operation on a
// number that is not open (0, or a closed one) does nothing, so an open-seek-write-close
// sequence runs on harmlessly after a failed open. UI thread only.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "core/Text.h"

namespace exam {

// Non-zero while open; 0 names no file. Numbers are never reused within a process.
using FileNumber = std::uint32_t;

enum class OpenMode : int {
    Read = 1,                   // read; missing file fails
    Write = 2,                  // write; missing file fails
    ReadWrite = 3,              // read and write; missing file fails
    CreateWrite = 4,            // write; created empty, or truncated to length 0
    OpenOrCreateWrite = 5,      // write; created empty, or contents kept
    OpenOrCreateReadWrite = 6,  // read and write; created empty, or contents kept
};

// What other openers of the same file may do while this one is open.
enum class ShareMode : int {
    DenyNone = 1,   // others may read and write
    DenyRead = 2,   // others may write only
    DenyWrite = 3,  // others may read only
    DenyAll = 4,    // others may do nothing
};

// 0 when the path is empty, a mode is out of range or the file can't be opened (missing file
// or folder, access denied, sharing violation). No folder is ever created. The position is 0.
FileNumber openFile(const Text& path, OpenMode mode, ShareMode share);
void closeFile(FileNumber file);
bool seekToStart(FileNumber file);
bool seekToEnd(FileNumber file);
// Reads once, up to count bytes, at the position. Empty when count <= 0, the number is not
// open, or the read fails (the position then moves to the end).
Bytes readBytes(FileNumber file, std::int32_t count);
// Writes the strings in order at the position. On a failed write the position goes back to
// where it was; bytes already written stay.
bool writeBytes(FileNumber file, std::initializer_list<std::string_view> pieces);
inline bool writeBytes(FileNumber file, std::string_view bytes) {
    return writeBytes(file, {bytes});
}
// Size from the folder's directory, without opening; the low 32 bits; -1 when missing.
std::int32_t fileSize(const Text& path);

}  // namespace exam
