// Hexadecimal text as this system writes and reads it everywhere: upper-case digits, no
// prefix, no leading zeros unless a width asks for them. Header-only, so that the simulator
// shares it without the rest of the library.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rw::image {

// 0 -> "0", 178 -> "B2", 36864 -> "9000"; hex(5, 2) -> "05".
inline std::string hex(std::uint64_t value, int width = 0) {
    char buf[20];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, 16);
    std::string digits(buf, r.ptr);
    for (char& c : digits)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

// The whole text as 1..maxDigits hexadecimal digits (either case) and nothing else.
inline std::optional<std::uint64_t> parseHex(std::string_view text, std::size_t maxDigits = 16) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::uint64_t value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

} // namespace rw::image
