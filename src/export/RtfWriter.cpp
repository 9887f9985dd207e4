#include "export/RtfWriter.h"

#include <cstddef>
#include <cstdint>
#include <optional>

#include "model/TextUtil.h"

namespace fluvex {

const std::string_view kRtfHeader =
    "{\\rtf1\\ansi\\deff0\\adeflang1025{\\fonttbl{\\f4\\fswiss\\fprq2\\fcharset128 Arial;}}"
    "{\\colortbl;\\red0\\green0\\blue0;\\red128\\green128\\blue128;}{\\*\\pgdscno0}"
    "\\paperh15840\\paperw12240\\margl1134\\margr1134\\margt1134\\margb1134\\sectd\\sbknone"
    "\\pgwsxn12240\\pghsxn15840\\marglsxn1134\\margrsxn1134\\margtsxn1134\\margbsxn1134"
    "\\ftnbj\\ftnstart1\\ftnrstcont\\ftnnar\\aenddoc\\aftnrstcont\\aftnstart1\\aftnnrlc ";
const std::string_view kRtfHeadingStart =
    "\\pard\\plain\\ltrpar\\s1\\ql\\rtlch\\af4\\afs20\\ab\\ltrch\\dbch\\af5\\hich\\f4\\fs20\\b"
    "\\loch\\f4\\fs20\\b{\\rtlch\\ltrch\\loch\\f4\\fs20\\i0\\b ";
const std::string_view kRtfHeadingEnd = "\n\\par }";
const std::string_view kRtfPageBreak = "\\par\\page";
const std::string_view kRtfEnd = "\\par }";

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::size_t kPictureBytesPerLine = 64;
constexpr char32_t kReplacementCharacter = 0xFFFD;

// "\uN?" for one UTF-16 unit: RTF reads N as a signed 16-bit number.
void AppendUnicodeEscape(std::string& out, std::uint16_t unit) {
    out += "\\u";
    out += std::to_string(static_cast<std::int16_t>(unit));
    out += '?';
}

void AppendCharacter(std::string& out, char32_t code) {
    if (code < 0x20 || code == 0x7F) code = U' ';
    if (code < 0x80) {
        if (code == U'\\' || code == U'{' || code == U'}') out += '\\';
        out += static_cast<char>(code);
    } else if (code < 0x10000) {
        AppendUnicodeEscape(out, static_cast<std::uint16_t>(code));
    } else {
        const char32_t offset = code - 0x10000;
        AppendUnicodeEscape(out, static_cast<std::uint16_t>(0xD800 + (offset >> 10U)));
        AppendUnicodeEscape(out, static_cast<std::uint16_t>(0xDC00 + (offset & 0x3FFU)));
    }
}

}  // namespace

std::string RtfHeadingText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty())
        AppendCharacter(out, TakeUtf8CodePoint(utf8).value_or(kReplacementCharacter));
    return out;
}

std::string RtfPicture(std::span<const unsigned char> jpeg, int width, int height) {
    std::string out = "{\n\\par\\par\\*\\shppict{\\pict\\picw" + std::to_string(width) + "\\pich" +
                      std::to_string(height) + "\\jpegblip \n";
    out.reserve(out.size() + jpeg.size() * 2 + jpeg.size() / kPictureBytesPerLine + 2);
    for (std::size_t i = 0; i < jpeg.size(); ++i) {
        out += kHexDigits[jpeg[i] >> 4U];
        out += kHexDigits[jpeg[i] & 0x0FU];
        if ((i + 1) % kPictureBytesPerLine == 0) out += '\n';
    }
    out += "}}";
    return out;
}

bool RtfWriter::AddHeading(std::string_view utf8Text) {
    std::string fragment(kRtfHeadingStart);
    fragment += RtfHeadingText(utf8Text);
    fragment += kRtfHeadingEnd;
    return sink_(fragment);
}

}  // namespace fluvex
