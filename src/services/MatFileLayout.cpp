#include "services/MatFileLayout.h"

#include <zlib.h>

#include <fstream>
#include <optional>
#include <vector>

#include "model/LittleEndianView.h"

namespace fluvex {

namespace {

// MAT-file element types and array classes used here.
constexpr std::uint32_t kInt32 = 5;
constexpr std::uint32_t kUInt32 = 6;
constexpr std::uint32_t kMatrix = 14;
constexpr std::uint32_t kCompressed = 15;
constexpr std::uint32_t kCellClass = 1;
constexpr std::uint32_t kStructClass = 2;
constexpr std::uint32_t kCharClass = 4;
constexpr std::uint32_t kFirstNumericClass = 6;  // double ... uint64
constexpr std::uint32_t kLastNumericClass = 15;

constexpr std::size_t kHeaderBytes = 128;
constexpr std::uint64_t kMaxElements = std::uint64_t{1} << 25;
constexpr std::uint64_t kMaxChildren = 100000;
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxInflatedBytes = std::size_t{256} << 20;
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{1} << 30;

// Bytes per value of a numeric element type; 0 for the others.
std::size_t TypeSize(std::uint32_t type) {
    switch (type) {
        case 1:
        case 2:
        case 16:
            return 1;  // int8, uint8, utf8
        case 3:
        case 4:
        case 17:
            return 2;  // int16, uint16, utf16
        case 5:
        case 6:
        case 7:
        case 18:
            return 4;  // int32, uint32, single, utf32
        case 9:
        case 12:
        case 13:
            return 8;  // double, int64, uint64
        default:
            return 0;
    }
}

struct Element {
    std::uint32_t type = 0;
    std::span<const std::uint8_t> data;
};

// The element at `pos` inside `region`, moving `pos` past it (and its padding). Nothing when its
// tag or data reach past the region.
std::optional<Element> NextElement(std::span<const std::uint8_t> region, std::size_t& pos) {
    if (pos > region.size() || region.size() - pos < 8) return std::nullopt;
    const std::uint32_t first = LittleEndianView(region).U32(pos);
    if ((first >> 16) != 0) {  // small element: type, size and up to four bytes in eight
        const std::size_t size = first >> 16;
        if (size > 4) return std::nullopt;
        Element element{first & 0xFFFF, region.subspan(pos + 4, size)};
        pos += 8;
        return element;
    }
    const std::size_t size = LittleEndianView(region).U32(pos + 4);
    if (size > region.size() - pos - 8) return std::nullopt;
    Element element{first, region.subspan(pos + 8, size)};
    const std::size_t padded = first == kCompressed ? size : (size + 7) / 8 * 8;
    pos = std::min(region.size(), pos + 8 + padded);
    return element;
}

class LayoutCheck {
public:
    bool Matrix(std::span<const std::uint8_t> content, int depth) {
        if (content.empty()) return true;  // an empty array
        if (depth > kMaxDepth) return false;
        std::size_t pos = 0;
        const auto flags = NextElement(content, pos);
        const auto dims = NextElement(content, pos);
        const auto name = NextElement(content, pos);
        if (!flags || !dims || !name || flags->type != kUInt32 || flags->data.size() < 8 ||
            dims->type != kInt32 || dims->data.empty() || dims->data.size() % 4 != 0 ||
            dims->data.size() > 32 || TypeSize(name->type) != 1)
            return false;
        const std::uint32_t arrayClass = flags->data[0];
        const bool complex = (flags->data[1] & 0x08) != 0;
        std::uint64_t count = 1;
        for (std::size_t d = 0; d < dims->data.size(); d += 4) {
            const auto dim = static_cast<std::int32_t>(LittleEndianView(dims->data).U32(d));
            if (dim < 0) return false;
            count *= static_cast<std::uint64_t>(dim);
            if (count > kMaxElements) return false;
        }
        if (arrayClass == kStructClass) return Struct(content, pos, count, depth);
        if (arrayClass == kCellClass) return Children(content, pos, count, depth);
        // The acquisition software writes its blank unit texts as one character with no data.
        constexpr std::uint64_t kShortText = 4096;
        if (arrayClass == kCharClass) return Values(content, pos, count <= kShortText ? 0 : count);
        if (arrayClass >= kFirstNumericClass && arrayClass <= kLastNumericClass)
            return Values(content, pos, count) && (!complex || Values(content, pos, count));
        return false;  // sparse arrays, objects, functions: no export holds them
    }

private:
    static bool Values(std::span<const std::uint8_t> content, std::size_t& pos,
                       std::uint64_t count) {
        const auto values = NextElement(content, pos);
        if (!values) return false;
        const std::size_t size = TypeSize(values->type);
        return size != 0 && values->data.size() / size >= count;
    }

    bool Struct(std::span<const std::uint8_t> content, std::size_t& pos, std::uint64_t count,
                int depth) {
        const auto nameLength = NextElement(content, pos);
        const auto names = NextElement(content, pos);
        if (!nameLength || !names || nameLength->type != kInt32 || nameLength->data.size() != 4 ||
            TypeSize(names->type) != 1)
            return false;
        const std::uint32_t length = LittleEndianView(nameLength->data).U32(0);
        if (length == 0 || length > 64 || names->data.size() % length != 0) return false;
        const std::uint64_t fields = names->data.size() / length;
        if (fields > 4096 || (fields > 0 && count > kMaxChildren / fields)) return false;
        return Children(content, pos, count * fields, depth);
    }

    bool Children(std::span<const std::uint8_t> content, std::size_t& pos, std::uint64_t count,
                  int depth) {
        if (count > kMaxChildren) return false;
        children_ += count;
        if (children_ > kMaxChildren) return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const auto child = NextElement(content, pos);
            if (!child || child->type != kMatrix || !Matrix(child->data, depth + 1)) return false;
        }
        return true;
    }

    std::uint64_t children_ = 0;
};

// The inflated bytes of a compressed variable, or nothing when they are damaged or too many.
std::optional<std::vector<std::uint8_t>> Inflate(std::span<const std::uint8_t> compressed,
                                                 std::size_t& budget) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> chunk(std::size_t{1} << 16);
    stream.next_in = const_cast<Bytef*>(compressed.data());
    stream.avail_in = static_cast<uInt>(compressed.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = chunk.size() - stream.avail_out;
        if (produced > budget) status = Z_MEM_ERROR;
        if (status != Z_OK && status != Z_STREAM_END) break;
        budget -= produced;
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(produced));
        if (produced == 0 && status == Z_OK) status = Z_BUF_ERROR;  // no progress: truncated
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return out;
}

}  // namespace

std::string MatFileLayoutProblem(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes || bytes[126] != 'I' || bytes[127] != 'M' || bytes[124] != 0 ||
        bytes[125] != 1)
        return "not a MATLAB 5 MAT-file (save the export as version 5 or 7)";
    const auto variables = bytes.subspan(kHeaderBytes);
    std::size_t budget = kMaxInflatedBytes;
    for (std::size_t pos = 0; pos < variables.size();) {
        const auto element = NextElement(variables, pos);
        if (!element) return "its variables are cut short or damaged";
        if (element->type == kMatrix && !LayoutCheck().Matrix(element->data, 0))
            return "one of its variables is damaged or of a kind that is not read";
        if (element->type != kCompressed) continue;
        const auto inflated = Inflate(element->data, budget);
        if (!inflated) return "one of its compressed variables is damaged or too large";
        std::size_t inner = 0;
        const auto matrix = NextElement(*inflated, inner);
        if (!matrix || matrix->type != kMatrix || !LayoutCheck().Matrix(matrix->data, 0))
            return "one of its variables is damaged or of a kind that is not read";
    }
    return {};
}

std::string MatFileLayoutProblem(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) return "it cannot be read";
    if (size > kMaxFileBytes) return "it is larger than any transect export";
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return "it cannot be read";
    return MatFileLayoutProblem(bytes);
}

}  // namespace fluvex
