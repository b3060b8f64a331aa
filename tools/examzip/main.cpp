// examzip: packs and unpacks with the exam client's archive component, for operators, tests and
// benchmarks. Arguments are UTF-8 paths; they become GBK texts as everywhere inside the system.
#include <cstdio>
#include <cstring>

#include "core/Text.h"
#include "files/ZipArchiver.h"

namespace {

const char* const Usage =
    "usage: examzip pack SOURCE DESTINATION\n"
    "       examzip unpack ARCHIVE FOLDER\n"
    "\n"
    "pack    writes SOURCE (a folder, or one file) into the ZIP archive DESTINATION, which it\n"
    "        replaces. Entries are named relative to the folder; files of a folder come before\n"
    "        its subfolders. Fails while another handle of this process holds DESTINATION open,\n"
    "        or when a file to pack is open for writing elsewhere or changes size.\n"
    "unpack  lays out ARCHIVE in FOLDER, creating FOLDER and missing subfolders. Files of the\n"
    "        same name are replaced, others stay. Names that reach outside FOLDER and entries\n"
    "        whose data do not match their CRC-32 end the unpack with a failure.\n"
    "\n"
    "The last line printed is the component's result: 1 done, 0 failed, -1 a path is empty or\n"
    "the source or archive does not exist. The exit status is 0 only for 1.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (argc != 4 || (std::strcmp(argv[1], "pack") != 0 && std::strcmp(argv[1], "unpack") != 0)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    exam::ZipArchiver archiver;
    const exam::Text first = exam::Text::fromUtf8(argv[2]);
    const exam::Text second = exam::Text::fromUtf8(argv[3]);
    const std::int32_t result = std::strcmp(argv[1], "pack") == 0 ? archiver.pack(first, second)
                                                                 : archiver.unpack(first, second);
    std::printf("%d\n", static_cast<int>(result));
    return result == 1 ? 0 : 1;
}
