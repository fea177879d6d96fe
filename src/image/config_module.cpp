#include "image/config_module.h"

#include "image/file_io.h"
#include "image/product.h"

#include <algorithm>
#include <string_view>

namespace rw::image {

int slotOffset(int slot, bool bplus) {
    // Generation B offsets; a B+ field sits 29 bytes further on.
    static constexpr int common[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11, 17, 18, 19, 20, 21, 22,
                                       23, 24, 25, 26, 27, 28, 29, 30, 32, 38, 39, 41, 42, 50};
    if (slot >= 0 && slot <= 28) return common[slot] + (bplus ? 29 : 0);
    if (slot == 29) return kVersionOffset;
    if (slot == 30) return bplus ? -1 : 33;
    if (slot == 31) return bplus ? -1 : 34;
    static constexpr int mii_bp[12] = {96, 97, 98, 101, 102, 103, 105, 612, 613, 614, 615, 616};
    if (slot >= 32 && slot <= 43) return bplus ? mii_bp[slot - 32] : -1;
    if (slot == 44) return bplus ? 60 : 31;
    return -1;
}

std::vector<int> slotsForMode(int mode) {
    std::vector<int> s;
    const Product* p = productForMode(mode);
    for (int i = 0; i <= 28; ++i)
        s.push_back(i);
    if (!p) return s;
    if (p->utopia) {
        s.push_back(44);
    } else if (!p->bplus) {
        s.push_back(30);
        s.push_back(31);
    } else {
        for (int i = 32; i <= 43; ++i)
            s.push_back(i);
    }
    return s;
}

void fillPatchBytes(ConfigModule& cm, const Image& img, int mode) {
    const bool bplus = isBPlus(mode);
    cm.patchVersion = img[kVersionOffset];
    cm.patchBytes[29] = img[kVersionOffset];
    for (int slot : slotsForMode(mode)) {
        const int off = slotOffset(slot, bplus);
        if (off >= 0)
            cm.patchBytes[static_cast<std::size_t>(slot)] = img[static_cast<std::size_t>(off)];
    }
}

std::optional<LoadedFile> readPatchFile(const std::string& path, std::string* error) {
    // One byte more than an image tells a longer file even where its size is not known.
    auto start = readFileStart(path, kImageSize + 1, error);
    if (!start) return std::nullopt;
    const std::size_t got = start->bytes.size();
    if (got < static_cast<std::size_t>(kImageSize)) {
        // Missing bytes are never made up: a modem must not be programmed with them.
        if (error) *error = "is " + std::to_string(got) + " bytes, an image is 8192";
        return std::nullopt;
    }
    LoadedFile lf;
    std::copy_n(start->bytes.begin(), kImageSize, lf.bytes.begin());
    lf.fileSize = std::max<std::size_t>(got, static_cast<std::size_t>(start->size));
    return lf;
}

std::string extraBytesWarning(const LoadedFile& file) {
    if (file.fileSize <= static_cast<std::size_t>(kImageSize)) return {};
    return "is " + std::to_string(file.fileSize) + " bytes; only its first 8192 are used";
}

bool writePatchFile(const std::string& path, const Image& bytes, std::string* error) {
    return writeFileWhole(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

std::uint8_t wantedByte(const ConfigModule& cm, const Image& file, int offset) {
    const std::uint8_t f = file[static_cast<std::size_t>(offset)];
    if (offset < 256) {
        const std::int16_t o = cm.overrideTable[static_cast<std::size_t>(offset + 1)];
        if (o != kNoOverride && o != f) return static_cast<std::uint8_t>(o);
    }
    return f;
}

} // namespace rw::image
