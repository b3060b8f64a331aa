// Random input for the bounded fuzz tests: a seeded generator (EXAM_FUZZ_SEED picks another
// seed, EXAM_FUZZ_ROUNDS scales the number of rounds for a longer run by hand) and byte strings
// copied into heap blocks of exactly their size, so that AddressSanitizer reports a read of even
// one byte past the input.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace exam::fuzz {

inline std::uint64_t seed() {
    const char* chosen = std::getenv("EXAM_FUZZ_SEED");
    return chosen ? std::strtoull(chosen, nullptr, 10) : 20240601;
}

inline int rounds(int usual) {
    const char* scale = std::getenv("EXAM_FUZZ_ROUNDS");
    return scale ? usual * std::max(1, std::atoi(scale)) : usual;
}

// A byte string in a heap block of exactly its size (no terminator after it).
class ExactBytes {
public:
    explicit ExactBytes(std::string_view bytes)
        : size_(bytes.size()), data_(new char[bytes.size()]) {
        if (size_) std::memcpy(data_.get(), bytes.data(), size_);
    }
    std::string_view view() const { return {data_.get(), size_}; }

private:
    std::size_t size_;
    std::unique_ptr<char[]> data_;
};

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}

    int below(int n) { return static_cast<int>(engine_() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    char byte() { return static_cast<char>(below(256)); }

    // Up to maxSize bytes of any value.
    std::string bytes(int maxSize) {
        std::string out(static_cast<std::size_t>(below(maxSize + 1)), '\0');
        for (char& c : out) c = byte();
        return out;
    }

    // Pieces drawn from the list, with an occasional random byte between them.
    template <std::size_t N>
    std::string pieces(const std::string_view (&list)[N], int maxPieces) {
        std::string out;
        const int count = below(maxPieces + 1);
        for (int i = 0; i < count; ++i) {
            if (chance(10)) {
                out += byte();
            } else {
                out += list[below(static_cast<int>(N))];
            }
        }
        return out;
    }

private:
    std::mt19937_64 engine_;
};

}  // namespace exam::fuzz
