#pragma once

// A minimal append-only writer of the RTF report: fixed fragments for the document header, a
// bold heading paragraph, a JPEG picture, a page break and the end. The fragments are the bytes
// word processors have always been given by this report; only the heading's text and the
// picture's size and bytes vary.

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace fluvex {

// Letter paper with 2 cm margins, font 4 = Arial; 375 bytes ending in a blank.
extern const std::string_view kRtfHeader;
// The heading paragraph up to its text (120 bytes); the text follows, then kRtfHeadingEnd.
extern const std::string_view kRtfHeadingStart;
extern const std::string_view kRtfHeadingEnd;
extern const std::string_view kRtfPageBreak;
extern const std::string_view kRtfEnd;

// The heading text as RTF: printable ASCII as it is (with '\', '{' and '}' escaped), every other
// character as "\uN?" (N the UTF-16 unit as a signed 16-bit number, two for characters beyond
// U+FFFF). The header gives the heading's font the Japanese character set (128), which readers
// apply to 8-bit text in that font, so a byte above 0x7F would come back as another character:
// ASCII is the only 8-bit text that font reads as written. Control characters become blanks and
// broken UTF-8 becomes U+FFFD.
std::string RtfHeadingText(std::string_view utf8);

// The picture fragment: the JPEG's bytes as lower-case hexadecimal pairs, a line feed after every
// 64 bytes.
std::string RtfPicture(std::span<const unsigned char> jpeg, int width, int height);

class RtfWriter {
public:
    // Takes each fragment whole; false when it could not be written. One operation that fails
    // does not stop the next from trying, so that a report cut short still gets its end.
    using Sink = std::function<bool(std::string_view bytes)>;

    explicit RtfWriter(Sink sink) : sink_(std::move(sink)) {}

    bool Start() { return sink_(kRtfHeader); }
    bool AddHeading(std::string_view utf8Text);
    bool AddPicture(std::span<const unsigned char> jpeg, int width, int height) {
        return sink_(RtfPicture(jpeg, width, height));
    }
    bool AddPageBreak() { return sink_(kRtfPageBreak); }
    bool Finish() { return sink_(kRtfEnd); }

private:
    Sink sink_;
};

}  // namespace fluvex
