// Configuration file: reads one value from an initialisation file ("config.ini") by the rules
// of the Windows profile reader, so that a file written for the Windows client reads the same
// here. The client only reads; it never writes the file.
//
// A file name without a folder names a file in the configuration folder, the stand-in for the
// Windows directory: /etc/examclient, or the folder named by the environment variable
// EXAMCLIENT_CONFIG_DIR when that is set and not empty. Such a name is never looked up next to
// the program or in the current directory.
//
// Stateless; the file is read anew on every call. Any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/Text.h"

namespace exam {

inline constexpr const char* ConfigFolderVariable = "EXAMCLIENT_CONFIG_DIR";
inline constexpr const char* DefaultConfigFolder = "/etc/examclient";

// The longest value returned, in bytes, as the Windows reader's 10240-byte buffer allows.
inline constexpr std::size_t ConfigValueLimit = 10239;
// A file larger than this is not taken for a configuration file.
inline constexpr std::size_t ConfigFileLimit = 1 << 20;

// The value of key in section of fileName.
// - Leading bytes of 0x20 and below are removed from the three names; if one of them is then
//   empty, the result is the empty text and no file is read.
// - Section and key names match without regard to ASCII letter case and surrounding blanks;
//   only the first section of a name counts, and in it the first line that assigns the key.
// - The value loses its surrounding blanks and one pair of enclosing quotes (" or '), and is cut
//   to ConfigValueLimit bytes (never inside a double-byte character). "key=" gives "".
// - defaultValue when the file is missing, unreadable or binary, or lacks the section or key.
Text readConfigValue(const Text& fileName, const Text& section, const Text& key,
                     const Text& defaultValue);

// The same lookup in the contents of one file (GBK, or UTF-8 / UTF-16 with a byte-order mark).
// Empty when the contents are binary (hold a zero byte) or lack the section or key.
std::optional<Text> findConfigValue(std::string_view contents, std::string_view section,
                                    std::string_view key);

// The folder that stands for the Windows directory, as a file-system (UTF-8) path.
std::string configFolder();

}  // namespace exam
