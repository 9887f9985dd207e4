#include "readers/YDFFReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <string>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "services/DebugOutput.h"
#include "services/Geodesy.h"
#include "services/HostService.h"
#include "services/MatlabExportSource.h"

namespace fluvex {

namespace {

// The family's fixed values: convex beams at 25 degrees (code 3), velocities in instrument axes.
constexpr std::uint16_t kSystemConfiguration = 0x534B;
constexpr std::uint8_t kSensorSource = 0x3D;
constexpr std::uint8_t kInstrumentAxes = 0x08;

std::string Lowered(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Rounded to the nearest unit (a truncated centimetre or mm/s is a bias, not a resolution), and
// kept inside the field's range.
template <typename T>
T RoundedInto(double value, T low, T high) {
    return static_cast<T>(
        std::clamp(std::round(value), static_cast<double>(low), static_cast<double>(high)));
}

std::int16_t VelocityMmS(double value) {
    if (!std::isfinite(value)) return kBadVelocity;
    return RoundedInto<std::int16_t>(value, -32767, 32767);
}

std::uint16_t Centimetres(double value) {
    return std::isfinite(value) ? RoundedInto<std::uint16_t>(value, 0, 65535) : 0;
}

void WriteLeaders(const SonTekSample& sample, int cells, Ensemble& ensemble) {
    FixedLeader& fixed = ensemble.fixedLeader;
    fixed.SetSystemConfiguration(kSystemConfiguration);
    fixed.SetSensorSource(kSensorSource);
    fixed.SetCoordinateTransform(kInstrumentAxes);
    fixed.SetCellCount(static_cast<std::uint8_t>(cells));
    fixed.SetDepthCellLengthCm(Centimetres(sample.cellSizeCm));
    fixed.SetBlankAfterTransmitCm(Centimetres(sample.blankingDistanceCm));
    fixed.SetBin1DistanceCm(Centimetres(sample.blankingDistanceCm + sample.cellSizeCm / 2));
    fixed.SetTransmitPulseLengthCm(Centimetres(sample.pulseLengthCm));
    const SonTekTime& t = sample.sampleTime;
    const double msOfDay = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0;
    fixed.SetTimeTagMs(static_cast<std::uint32_t>(std::clamp(std::round(msOfDay), 0.0, 86.4e6)));

    VariableLeader& variable = ensemble.variableLeader;
    variable.SetEnsembleNumber(static_cast<std::uint16_t>(sample.sampleNumber));
    variable.SetRtcYear(static_cast<std::uint8_t>(t.year % 100));
    variable.SetRtcMonth(static_cast<std::uint8_t>(t.month - 1));
    variable.SetRtcDay(static_cast<std::uint8_t>(t.day));
    variable.SetRtcHour(static_cast<std::uint8_t>(t.hour));
    variable.SetRtcMinute(static_cast<std::uint8_t>(t.minute));
    const double hundredths = std::floor(t.second * 100 + 0.5);
    variable.SetRtcSecond(static_cast<std::uint8_t>(std::clamp(hundredths / 100, 0.0, 59.0)));
    variable.SetRtcHundredths(
        static_cast<std::uint8_t>(std::clamp(std::fmod(hundredths, 100.0), 0.0, 99.0)));
    const double heading = std::fmod(std::fmod(sample.headingDeg, 360.0) + 360.0, 360.0);
    variable.SetHeading(RoundedInto<std::uint16_t>(heading * 100, 0, 35999));
    variable.SetPitch(RoundedInto<std::int16_t>(sample.pitchDeg * 100, -9000, 9000));
    variable.SetRoll(RoundedInto<std::int16_t>(sample.rollDeg * 100, -18000, 18000));
    if (std::isfinite(sample.temperatureC))
        variable.SetTemperature(RoundedInto<std::int16_t>(sample.temperatureC * 100, -5000, 5000));
    ensemble.navigation.heading = heading;
    ensemble.navigation.pitch = sample.pitchDeg;
    ensemble.navigation.roll = sample.rollDeg;
}

void WriteProfile(const SonTekSample& sample, int cells, Ensemble& ensemble) {
    ensemble.cellBlocks.Reset(cells);
    for (int cell = 0; cell < cells; ++cell)
        for (int beam = 0; beam < kBeamCount; ++beam) {
            const auto c = static_cast<std::size_t>(cell);
            const auto b = static_cast<std::size_t>(beam);
            ensemble.cellBlocks.SetVelocity(cell, beam, VelocityMmS(sample.velocityMmS[c][b]));
            const double amplitude = sample.amplitude[c][b];
            ensemble.cellBlocks.SetEchoIntensity(
                cell, beam,
                std::isfinite(amplitude)
                    ? static_cast<std::uint8_t>(std::clamp(amplitude, 0.0, 255.0))
                    : 0);
        }
}

void WriteBottomTrack(const SonTekSample& sample, const BeamAngles& beams, Ensemble& ensemble) {
    for (int beam = 0; beam < kBeamCount; ++beam) {
        const auto b = static_cast<std::size_t>(beam);
        // Depths become slant ranges along the beam, as the depth rule of the family expects.
        const double cosine = std::cos(beams.elevation[b]);
        ensemble.bottomTrack.SetRangeCm(
            beam, cosine > 0 ? Centimetres(sample.bottomRangeCm[b] / cosine) : 0);
        ensemble.bottomTrack.SetVelocity(beam, VelocityMmS(sample.bottomVelocityMmS[b]));
    }
    const double verticalMm = sample.verticalRangeCm * 10;
    ensemble.verticalBeam.SetRangeMm(
        std::isfinite(verticalMm) ? RoundedInto<std::uint32_t>(verticalMm, 0, 4.0e9) : 0);
}

void WriteNavigation(const SonTekSample& sample, Geodesy* geodesy, Ensemble& ensemble) {
    NavRecord& nav = ensemble.navigation;
    if (std::isfinite(sample.boatEastMmS) && std::isfinite(sample.boatNorthMmS)) {
        nav.speed = std::hypot(sample.boatEastMmS, sample.boatNorthMmS);
        const double course =
            std::atan2(sample.boatEastMmS, sample.boatNorthMmS) * 180 / std::numbers::pi;
        nav.course = course < 0 ? course + 360 : course;
    }
    if (!sample.ggaValid || geodesy == nullptr) return;
    const double latitude = sample.ggaNs == 'S' ? -sample.ggaLatitude : sample.ggaLatitude;
    const double longitude = sample.ggaEw == 'W' ? -sample.ggaLongitude : sample.ggaLongitude;
    if (std::abs(latitude) > 90 || std::abs(longitude) > 180) return;
    const GridPoint grid = geodesy->ToGrid(latitude, longitude);
    if (!grid.ok) return;
    nav.positionValid = true;
    nav.x = grid.x;
    nav.y = grid.y;
    ensemble.MarkPresent(PresentBit::EmbeddedPosition);
}

bool HasBoatVelocity(const SonTekSample& sample) {
    return std::isfinite(sample.boatEastMmS) && std::isfinite(sample.boatNorthMmS);
}

}  // namespace

void ConvertSonTekSample(const SonTekSample& sample, const SharedBeamAngles& beams,
                         Geodesy* geodesy, Ensemble& ensemble) {
    ensemble.Clear();
    ensemble.sonTekFlag1 = 1;
    ensemble.part = sample.part;
    const int cells = static_cast<int>(std::min(
        {sample.velocityMmS.size(), sample.amplitude.size(), static_cast<std::size_t>(kMaxCells)}));
    ensemble.MarkPresent(PresentBit::FixedLeader);
    WriteLeaders(sample, cells, ensemble);
    ensemble.MarkPresent(PresentBit::VariableLeader);
    WriteProfile(sample, cells, ensemble);
    ensemble.MarkPresent(PresentBit::Velocity);
    ensemble.MarkPresent(PresentBit::EchoIntensity);
    WriteBottomTrack(sample, beams.Get(), ensemble);
    ensemble.MarkPresent(PresentBit::BottomTrack);
    WriteNavigation(sample, geodesy, ensemble);
    ensemble.beamAngles = beams;
    ensemble.loaded = cells > 0;
}

YDFFReader::YDFFReader(Geodesy* geodesy) : CRDIReader(geodesy) {}

YDFFReader::~YDFFReader() = default;

std::optional<std::filesystem::path> YDFFReader::ExportFor(const std::filesystem::path& file) {
    std::error_code error;
    if (Lowered(file.extension().string()) == ".mat")
        return std::filesystem::is_regular_file(file, error) ? std::optional(file) : std::nullopt;
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const std::string wanted = Lowered(file.stem().string() + ".mat");
    for (const auto& item : std::filesystem::directory_iterator(folder, error))
        if (Lowered(item.path().filename().string()) == wanted && item.is_regular_file(error))
            return item.path();
    return std::nullopt;
}

OpenStatus YDFFReader::Open(const std::filesystem::path& path) {
    Close();
    ResetEnsembles();
    SetOpenError({});
    const auto exported = ExportFor(path);
    if (!exported) {
        const bool raw = Lowered(path.extension().string()) != ".mat";
        SetOpenError(raw ? "Cannot read " + path.string() +
                               ": open the transect's MATLAB export (.mat) instead"
                         : "Cannot read " + path.string() + ": no such file");
        return OpenStatus::CannotOpen;
    }
    auto source = std::make_unique<MatlabExportSource>();
    std::string error;
    if (!source->Open(*exported, error)) {
        SetOpenError(error);
        return OpenStatus::Unsupported;
    }
    source_ = std::move(source);
    Load();
    SortByTime();
    if (Count() == 0) {
        SetOpenError("Cannot read " + exported->string() + ": none of its samples can be used");
        return OpenStatus::Unsupported;
    }
    std::string loaded =
        "Loaded " + path.string() + " with " + std::to_string(Count()) + " ensembles";
    DebugOutput(loaded);
    Host().Log("Fluvex", loaded);
    return OpenStatus::Ok;
}

bool YDFFReader::Load() {
    ResetEnsembles();
    if (!source_) return true;
    std::vector<SharedBeamAngles> sets;
    for (const SonTekBeamSet& set : source_->BeamSets())
        sets.emplace_back(BeamAngles{set.elevation, set.azimuth});
    const std::vector<NavRecord>& navigation = NavigationRecords();
    Ensemble work;
    std::vector<bool> boatVelocityGiven;
    for (int i = 0; i < source_->SampleCount(); ++i) {
        const auto sample = source_->Sample(i);
        if (!sample || sets.empty()) continue;
        const auto set = static_cast<std::size_t>(sample->beamSet);
        ConvertSonTekSample(*sample, sets[set < sets.size() ? set : 0], GeodesyService(), work);
        const auto place = static_cast<std::size_t>(i);
        if (place < navigation.size()) {
            work.navigation = navigation[place];
            work.MarkAbsent(PresentBit::EmbeddedPosition);
        }
        EnsembleTime(work, TimingModeInUse());  // an impossible clock date clears the loaded flag
        if (!work.loaded) continue;
        AppendEnsemble(work, place);
        boatVelocityGiven.push_back(HasBoatVelocity(*sample) && place >= navigation.size());
    }
    MeasureTrack(boatVelocityGiven);
    return true;
}

// Distances from the first positioned sample; course and speed from one position to the next
// (over the whole seconds between them) where the source gave no boat velocity.
void YDFFReader::MeasureTrack(const std::vector<bool>& boatVelocityGiven) {
    const auto pings = EditableEnsembles();
    const auto embedded = [](const Ensemble& e) { return e.Has(PresentBit::EmbeddedPosition); };
    const auto first = std::ranges::find_if(pings, embedded);
    if (first == pings.end()) return;
    const Ensemble* previous = nullptr;
    for (auto it = first; it != pings.end(); ++it) {
        if (!embedded(*it)) continue;
        NavRecord& nav = it->navigation;
        nav.distance = std::hypot(nav.x - first->navigation.x, nav.y - first->navigation.y);
        const auto k = static_cast<std::size_t>(it - pings.begin());
        if (previous != nullptr && !boatVelocityGiven[k]) {
            const double dx = nav.x - previous->navigation.x;
            const double dy = nav.y - previous->navigation.y;
            const double metres = Units().DisplayToMetres(std::hypot(dx, dy));
            const double seconds = std::trunc(EnsembleTimeOf(*it, TimingModeInUse())) -
                                   std::trunc(EnsembleTimeOf(*previous, TimingModeInUse()));
            nav.speed = seconds != 0 ? metres * 1000 / seconds : metres * 1000;
            const double course = std::atan2(dx, dy) * 180 / std::numbers::pi;
            nav.course = course < 0 ? course + 360 : course;
        }
        previous = &*it;
    }
}

}  // namespace fluvex
