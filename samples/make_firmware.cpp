// SPDX-License-Identifier: MIT
// Writes the sample firmware image: a small, always identical binary laid
// out like a microcontroller's flash (vector table, code-like bytes, a
// version string, an erased gap), from which the build makes firmware.hex.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr size_t imageSize = 2048;
constexpr uint32_t flashBase = 0x08000000;
constexpr uint32_t stackTop = 0x20002000;

void put32(std::vector<uint8_t>& image, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        image[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> image(imageSize);
    // Fixed seed: the same bytes on every build.
    uint32_t state = 0x2545F491;
    for (uint8_t& b : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<uint8_t>(state);
    }
    put32(image, 0, stackTop);
    put32(image, 4, flashBase + 0x101); // reset handler, Thumb bit set
    constexpr std::string_view version = "Ostrel sample firmware 1.0";
    std::copy(version.begin(), version.end(), image.begin() + 0x40);
    // An erased stretch: its records are all FF and are never sent.
    std::fill(image.begin() + 0x400, image.begin() + 0x440, uint8_t{0xFF});

    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(image.data(), 1, image.size(), out) != image.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
