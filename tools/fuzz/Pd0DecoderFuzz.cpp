// Fuzz target: one input as PD0 bytes. The input is decoded as if it were one ensemble, every
// frame found in it is decoded in turn into the same record, and each navigation block reader is
// given the whole input as a block. AddressSanitizer catches any read outside the bytes; the traps
// below catch a refused ensemble that is not left cleared, or a loaded one whose cell blocks do not
// match its fixed leader.

#include <cstddef>
#include <cstdint>
#include <span>

#include "model/Ensemble.h"
#include "readers/Pd0Decoder.h"
#include "readers/Pd0Navigation.h"
#include "services/Geodesy.h"

namespace {

// A fixed zone, so that every input converts positions the same way.
fluvex::Geodesy* FixedGeodesy() {
    static const fluvex::GeodesyCreation created = fluvex::Geodesy::Create("EPSG:32633", 1.0);
    return created.geodesy.get();
}

void DecodeAndCheck(fluvex::Ensemble& ensemble, std::span<const std::uint8_t> bytes) {
    const bool usable =
        fluvex::DecodeEnsemble(ensemble, bytes, FixedGeodesy()) == fluvex::DecodeStatus::Ok;
    if (usable != ensemble.loaded) __builtin_trap();
    if (!usable && (ensemble.present != 0 || ensemble.cellBlocks.CellCount() != 0))
        __builtin_trap();
    if (usable && ensemble.cellBlocks.CellCount() != ensemble.fixedLeader.CellCount())
        __builtin_trap();
}

void DecodeEveryFrame(fluvex::Ensemble& ensemble, std::span<const std::uint8_t> bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto rest = bytes.subspan(at);
        const fluvex::FrameCheck frame = fluvex::CheckFrame(rest, true);
        if (frame.verdict == fluvex::FrameVerdict::NotAFrame) {
            ++at;
            continue;
        }
        if (frame.verdict != fluvex::FrameVerdict::Frame || frame.length > rest.size()) break;
        if (frame.kind == fluvex::FrameKind::Ensemble)
            DecodeAndCheck(ensemble, rest.first(frame.length));
        at += frame.length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    fluvex::Ensemble ensemble;
    DecodeAndCheck(ensemble, bytes);
    DecodeEveryFrame(ensemble, bytes);

    fluvex::EmbeddedNavigation navigation;
    navigation.ReadBinaryNavigation(bytes);
    navigation.ReadNmeaNavigation(bytes);
    navigation.ReadCompactNavigation(bytes);
    navigation.ApplyTo(ensemble, FixedGeodesy());
    return 0;
}
