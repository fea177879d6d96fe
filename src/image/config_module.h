// The E2PROM image geometry and the program-wide structures laid over a patch file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rw::image {

inline constexpr int kImageSize = 8192;
inline constexpr int kBlockSize = 256;
inline constexpr int kBlockCount = 32;
inline constexpr int kReservedOffset = 7936; // 0x1F00
inline constexpr int kReservedSize = 256;
inline constexpr int kVersionOffset = 1;
inline constexpr int kPhyOffset = 612;      // MII_BP PHY bytes, offsets 612..616
inline constexpr int kWatchdogOffset = 597; // 255h
inline constexpr int kPatchSlots = 45;
inline constexpr int kOverrideEntries = 257; // index n = position n = offset n - 1
inline constexpr std::int16_t kNoOverride = -1;

// A byte of a patch file is addressed by its position: offset + 1.
constexpr int positionOf(int offset) {
    return offset + 1;
}
constexpr int offsetOf(int position) {
    return position - 1;
}

using Image = std::array<std::uint8_t, kImageSize>;

struct ConfigModule {
    std::array<std::uint8_t, kPatchSlots> patchBytes{};
    std::array<std::int16_t, kOverrideEntries> overrideTable{};
    std::array<std::uint8_t, 5> phyBytes{};
    std::array<std::uint8_t, kReservedSize> reservedArea{};
    std::uint8_t patchVersion = 0;

    // All 257 entries, index 0 included, to "no override".
    void clearOverrides() { overrideTable.fill(kNoOverride); }
    void fillReservedArea() { reservedArea.fill(0xFF); }
};

// Image offset of a patchBytes slot for the generation (-1: the slot has no offset there).
int slotOffset(int slot, bool bplus);
// The slots the Open command reads for a product (currentMode 1..4), in reading order.
std::vector<int> slotsForMode(int mode);
// Fill patchBytes from an image for the product (slot 29 = version byte).
void fillPatchBytes(ConfigModule& cm, const Image& img, int mode);

// Reading a patch file: a regular file of at least 8192 bytes, read at once; bytes past
// 8192 are ignored. A shorter file, or anything but a regular file, is refused and `error`
// says why as a phrase that follows the file's name ("is 100 bytes, an image is 8192").
struct LoadedFile {
    Image bytes{};
    std::size_t fileSize = 0;
};
std::optional<LoadedFile> readPatchFile(const std::string& path, std::string* error = nullptr);
// For a file longer than an image, the phrase that says so ("is 9000 bytes; only its first
// 8192 are used"); empty otherwise.
std::string extraBytesWarning(const LoadedFile& file);

// Writes exactly 8192 bytes: the file is replaced whole or not at all.
bool writePatchFile(const std::string& path, const Image& bytes, std::string* error = nullptr);

// The byte the programming run wants at an offset: the file's byte, or the override for
// offsets below 256 when one is set.
std::uint8_t wantedByte(const ConfigModule& cm, const Image& file, int offset);

} // namespace rw::image
