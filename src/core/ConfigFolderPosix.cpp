// The configuration folder on Unix-like systems: a fixed system folder that an operator (or a
// test) can move with one environment variable.
#include <cstdlib>

#include "core/ConfigFile.h"

namespace exam {

std::string configFolder() {
    const char* moved = std::getenv(ConfigFolderVariable);
    if (moved && *moved) return moved;
    return DefaultConfigFolder;
}

}  // namespace exam
