// Placeholder until the archive component lands: every operation fails.
#include "files/ZipArchiver.h"

namespace exam {

struct ZipArchiver::State {};

ZipArchiver::ZipArchiver() = default;
ZipArchiver::~ZipArchiver() = default;
void ZipArchiver::bind(Event event, ProgressHandler handler) {
    (event == PackProgress ? packProgress_ : unpackProgress_) = std::move(handler);
}
std::int32_t ZipArchiver::pack(const Text&, const Text&) { return 0; }
std::int32_t ZipArchiver::unpack(const Text&, const Text&) { return 0; }

}  // namespace exam
