#pragma once

// Read-only, bounds-checked access to the little-endian fields of a recorded block.
//
// Decoders check a block's length against the fields they need before reading them; the check
// here only guarantees that a mistake in that reasoning can never read outside the block: a field
// that does not lie wholly inside the bytes reads as 0.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace fluvex {

class LittleEndianView {
public:
    explicit LittleEndianView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Size() const { return bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    // True when `width` bytes starting at `offset` lie inside the view.
    bool Holds(std::size_t offset, std::size_t width) const {
        return offset <= bytes_.size() && width <= bytes_.size() - offset;
    }

    std::uint8_t U8(std::size_t at) const { return static_cast<std::uint8_t>(Load(at, 1)); }
    std::int8_t I8(std::size_t at) const { return static_cast<std::int8_t>(U8(at)); }
    char Char(std::size_t at) const { return static_cast<char>(U8(at)); }
    std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(Load(at, 2)); }
    std::uint32_t U32(std::size_t at) const { return static_cast<std::uint32_t>(Load(at, 4)); }
    std::int32_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }
    float F32(std::size_t at) const { return std::bit_cast<float>(U32(at)); }
    double F64(std::size_t at) const { return std::bit_cast<double>(Load(at, 8)); }

private:
    std::uint64_t Load(std::size_t at, std::size_t width) const {
        if (!Holds(at, width)) return 0;
        std::uint64_t value = 0;
        for (std::size_t i = width; i > 0; --i)
            value = (value << 8) | bytes_[at + i - 1];
        return value;
    }

    std::span<const std::uint8_t> bytes_;
};

}  // namespace fluvex
