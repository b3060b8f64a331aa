// ZipArchiver: the archive control ("ZIP压缩") of a window. Packs a folder (or one file) into a
// ZIP archive of a fixed, standard layout and unpacks a ZIP archive into a folder. Both
// operations run synchronously on the calling thread and report progress through two events
// whose handlers may cancel by returning false. Usable without any window.
//
// Nothing survives from one call to the next; every file an operation opens is closed before it
// returns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/Text.h"

namespace exam {

class ZipArchiver {
public:
    // Event indexes, by which window definitions bind handlers.
    enum Event : int { PackProgress = 0, UnpackProgress = 1 };
    // Receives the percentage done; returning false cancels, true or nothing goes on.
    using ProgressHandler = std::function<std::optional<bool>(std::int32_t percent)>;

    ZipArchiver();
    ~ZipArchiver();
    ZipArchiver(const ZipArchiver&) = delete;
    ZipArchiver& operator=(const ZipArchiver&) = delete;

    void bind(Event event, ProgressHandler handler);

    // 1: archive written (or cancelled); 0: failed; -1: a path is empty or the source is missing.
    std::int32_t pack(const Text& source, const Text& destination);
    // 1: unpacked (also when it stopped at an unreadable entry, or was cancelled); 0: failed;
    // -1: a path is empty or the archive is missing.
    std::int32_t unpack(const Text& archive, const Text& folder);

private:
    struct State;
    // Adds a folder's files, then each subfolder's entry and contents; false when it failed.
    bool walk(const std::string& nativeFolder, const Text& relative);
    std::int32_t unpackEntries(void* zip, std::uint64_t entries, std::uint64_t readable,
                               const std::string& nativeTarget);

    std::unique_ptr<State> state_;
    ProgressHandler packProgress_;
    ProgressHandler unpackProgress_;
};

}  // namespace exam
