#include "image/product.h"

namespace rw::image {

const std::array<Product, 4> kProducts{{
    {1, "KRX22822  V1.2", "MII_B", false, false, "E2MB", "Kestrel ",
     "Kestrel-D VER 1.1/1.2 Romwright", "Kestrel E2 software  ", "Kestrel E2 Configurations",
     0x9000},
    {2, "KRB22812  V2.1", "ATM_B", true, false, "E2UB", "ATM ", "VDSL-D VER 1.1 Romwright",
     "VDSL E2 software  ", "ATM E2 Configurations", 0x9000},
    {3, "KRX22822  V2.2", "MII_BP", false, true, "E2MP", "Kestrel ",
     "Kestrel-D VER 2.1/2.2 Romwright", "Kestrel E2 software  ", "Kestrel E2 Configurations",
     0xC000},
    {4, "KRX22812  V2.2", "ATM_BP", true, true, "E2UP", "ATM ", "VDSL-D VER 2.2 Romwright",
     "VDSL E2 software  ", "ATM E2 Configurations", 0xC000},
}};

const Product* productForMode(int mode) {
    if (mode < 1 || mode > 4) return nullptr;
    return &kProducts[static_cast<std::size_t>(mode - 1)];
}

} // namespace rw::image
