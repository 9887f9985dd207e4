#include "services/MatlabExportSource.h"

#include <matio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "model/Matrix3.h"
#include "services/MatFileLayout.h"

namespace fluvex {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kNominalBeamElevation = 25.0 * std::numbers::pi / 180.0;
// Export step codes of System.Step.
constexpr double kStartEdgeStep = 2;
constexpr double kEndEdgeStep = 4;
// No transect holds more values in one array; a file that declares more is hostile or broken,
// and is refused before anything that large is allocated.
constexpr std::size_t kMaxElements = std::size_t{1} << 25;
constexpr double kEastNorthUp = 2;

// matio reports problems of a file through its log; the reader reports them itself.
void QuietMatioLog(int /*level*/, char* /*message*/) {}

struct MatFileCloser {
    void operator()(mat_t* file) const { Mat_Close(file); }
};
struct MatVarFreer {
    void operator()(matvar_t* variable) const { Mat_VarFree(variable); }
};
using MatFile = std::unique_ptr<mat_t, MatFileCloser>;
using MatVar = std::unique_ptr<matvar_t, MatVarFreer>;

// A numeric field of a struct as doubles, column-major, up to three dimensions.
struct Array {
    std::vector<double> values;
    std::array<std::size_t, 3> dims{0, 0, 0};

    bool Empty() const { return values.empty(); }
    double At(std::size_t i, std::size_t j = 0, std::size_t k = 0) const {
        if (i >= dims[0] || j >= dims[1] || k >= dims[2]) return kNaN;
        return values[i + dims[0] * (j + dims[1] * k)];
    }
};

std::optional<std::size_t> ElementCount(const matvar_t& variable) {
    if (variable.rank < 1 || variable.rank > 3 || variable.dims == nullptr) return std::nullopt;
    std::size_t count = 1;
    for (int d = 0; d < variable.rank; ++d) {
        const std::size_t dim = variable.dims[d];
        if (dim != 0 && count > kMaxElements / dim) return std::nullopt;
        count *= dim;
    }
    return count;
}

template <typename T>
void CopyAs(const void* data, std::size_t count, std::vector<double>& out) {
    const auto* typed = static_cast<const T*>(data);
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<double>(typed[i]));
}

std::optional<std::size_t> ElementSize(matio_classes type) {
    switch (type) {
        case MAT_C_DOUBLE:
        case MAT_C_INT64:
        case MAT_C_UINT64:
            return 8;
        case MAT_C_SINGLE:
        case MAT_C_INT32:
        case MAT_C_UINT32:
            return 4;
        case MAT_C_INT16:
        case MAT_C_UINT16:
            return 2;
        case MAT_C_INT8:
        case MAT_C_UINT8:
            return 1;
        default:
            return std::nullopt;
    }
}

// Nothing for a field that is missing, not a real numeric array, or whose data matio did not
// deliver whole.
std::optional<Array> NumericField(matvar_t* structure, const char* name) {
    if (structure == nullptr || structure->class_type != MAT_C_STRUCT) return std::nullopt;
    const matvar_t* field = Mat_VarGetStructFieldByName(structure, name, 0);
    if (field == nullptr || field->isComplex || field->data == nullptr) return std::nullopt;
    const auto count = ElementCount(*field);
    const auto size = ElementSize(field->class_type);
    if (!count || !size || field->data_size != static_cast<int>(*size) ||
        field->nbytes < *count * *size)
        return std::nullopt;
    Array array;
    for (int d = 0; d < 3; ++d)
        array.dims[static_cast<std::size_t>(d)] = d < field->rank ? field->dims[d] : 1;
    switch (field->class_type) {
        case MAT_C_DOUBLE:
            CopyAs<double>(field->data, *count, array.values);
            break;
        case MAT_C_SINGLE:
            CopyAs<float>(field->data, *count, array.values);
            break;
        case MAT_C_INT64:
            CopyAs<std::int64_t>(field->data, *count, array.values);
            break;
        case MAT_C_UINT64:
            CopyAs<std::uint64_t>(field->data, *count, array.values);
            break;
        case MAT_C_INT32:
            CopyAs<std::int32_t>(field->data, *count, array.values);
            break;
        case MAT_C_UINT32:
            CopyAs<std::uint32_t>(field->data, *count, array.values);
            break;
        case MAT_C_INT16:
            CopyAs<std::int16_t>(field->data, *count, array.values);
            break;
        case MAT_C_UINT16:
            CopyAs<std::uint16_t>(field->data, *count, array.values);
            break;
        case MAT_C_INT8:
            CopyAs<std::int8_t>(field->data, *count, array.values);
            break;
        case MAT_C_UINT8:
            CopyAs<std::uint8_t>(field->data, *count, array.values);
            break;
        default:
            return std::nullopt;
    }
    return array;
}

// True when every field of a struct (as its header declares it) stays within kMaxElements:
// checked before the data are read, so that a forged size never reaches an allocation.
bool FieldsOfSaneSize(matvar_t* info) {
    if (info->class_type != MAT_C_STRUCT || info->data == nullptr) return false;
    const auto count = ElementCount(*info);
    if (!count || *count != 1) return false;
    const unsigned fields = Mat_VarGetNumberOfFields(info);
    auto* const* members = static_cast<matvar_t* const*>(info->data);
    for (unsigned f = 0; f < fields; ++f) {
        const matvar_t* member = members[f];
        if (member != nullptr && member->class_type != MAT_C_STRUCT &&
            member->class_type != MAT_C_CELL && !ElementCount(*member))
            return false;
    }
    return true;
}

MatVar ReadStruct(mat_t* file, const char* name) {
    MatVar info(Mat_VarReadInfo(file, name));
    if (!info || !FieldsOfSaneSize(info.get())) return nullptr;
    return MatVar(Mat_VarRead(file, name));
}

std::string Quoted(const std::filesystem::path& file) {
    return file.string();
}

// The export's arrays that make the samples.
struct ExportColumns {
    // System
    Array heading, temperature, time, cellStart, cellSize, step, snr;
    // Setup
    double coordinateSystem = kEastNorthUp;
    // Summary
    Array boatVelocity, transmitLength;
    // BottomTrack
    Array verticalDepth, bottomDepth, bottomVelocity, beamDepth;
    // WaterTrack
    Array velocity, frequency;
    // GPS
    Array latitude, longitude, quality;
    // Compass
    Array pitch, roll;
    // Transformation_Matrices
    Array matrixFrequency, matrix;

    std::size_t samples = 0;
    std::size_t cells = 0;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

struct MatlabExportSource::Columns : ExportColumns {};

MatlabExportSource::MatlabExportSource() = default;
MatlabExportSource::~MatlabExportSource() = default;

namespace {

struct ExportStructs {
    MatVar system, setup, summary, bottomTrack, waterTrack, gps, compass, matrices;
};

Array FieldOr(const MatVar& structure, const char* name) {
    return NumericField(structure.get(), name).value_or(Array{});
}

// Every per-sample array must have one row (or, for the cell arrays, one page) per sample.
bool PerSample(const Array& array, std::size_t samples, std::size_t columns = 1) {
    return array.Empty() || (array.dims[0] == samples && array.dims[1] >= columns);
}

void ReadColumns(const ExportStructs& s, ExportColumns& c) {
    c.time = FieldOr(s.system, "Time");
    c.heading = FieldOr(s.system, "Heading");
    c.temperature = FieldOr(s.system, "Temperature");
    c.cellStart = FieldOr(s.system, "Cell_Start");
    c.cellSize = FieldOr(s.system, "Cell_Size");
    c.step = FieldOr(s.system, "Step");
    c.snr = FieldOr(s.system, "SNR");
    const Array coordinates = FieldOr(s.setup, "coordinateSystem");
    if (!coordinates.Empty()) c.coordinateSystem = coordinates.values[0];
    c.boatVelocity = FieldOr(s.summary, "Boat_Vel");
    c.transmitLength = FieldOr(s.summary, "Transmit_Length");
    c.verticalDepth = FieldOr(s.bottomTrack, "VB_Depth");
    c.bottomDepth = FieldOr(s.bottomTrack, "BT_Depth");
    c.bottomVelocity = FieldOr(s.bottomTrack, "BT_Vel");
    c.beamDepth = FieldOr(s.bottomTrack, "BT_Beam_Depth");
    c.velocity = FieldOr(s.waterTrack, "Velocity");
    c.frequency = FieldOr(s.waterTrack, "WT_Frequency");
    c.latitude = FieldOr(s.gps, "Latitude");
    c.longitude = FieldOr(s.gps, "Longitude");
    c.quality = FieldOr(s.gps, "GPS_Quality");
    c.pitch = FieldOr(s.compass, "Pitch");
    c.roll = FieldOr(s.compass, "Roll");
    c.matrixFrequency = FieldOr(s.matrices, "Frequency");
    c.matrix = FieldOr(s.matrices, "Matrix");
}

// One value per sample where there should be, cells and beams within the record's limits.
bool Shaped(const ExportColumns& c) {
    const std::size_t n = c.samples;
    return c.samples > 0 && !c.heading.Empty() && !c.pitch.Empty() && !c.roll.Empty() &&
           !c.cellSize.Empty() && !c.cellStart.Empty() && !c.velocity.Empty() &&
           PerSample(c.heading, n) && PerSample(c.pitch, n) && PerSample(c.roll, n) &&
           PerSample(c.cellSize, n) && PerSample(c.cellStart, n) && PerSample(c.temperature, n) &&
           PerSample(c.step, n) && PerSample(c.boatVelocity, n, 2) &&
           PerSample(c.transmitLength, n) && PerSample(c.verticalDepth, n) &&
           PerSample(c.bottomDepth, n) && PerSample(c.bottomVelocity, n, 3) &&
           PerSample(c.beamDepth, n, kBeamCount) && PerSample(c.frequency, n) &&
           PerSample(c.latitude, n) && PerSample(c.longitude, n) && PerSample(c.quality, n) &&
           c.velocity.dims[1] == kBeamCount && c.velocity.dims[2] == n &&
           c.cells <= static_cast<std::size_t>(kMaxCells) &&
           (c.snr.Empty() || c.snr.dims == c.velocity.dims);
}

}  // namespace

bool MatlabExportSource::Open(const std::filesystem::path& file, std::string& error) {
    columns_.reset();
    beamSets_.clear();
    // matio allocates whatever sizes a file declares: only a file whose layout holds together
    // is handed to it.
    if (const std::string problem = MatFileLayoutProblem(file); !problem.empty()) {
        error = "Cannot read " + Quoted(file) + ": " + problem;
        return false;
    }
    Mat_LogInitFunc("fluvex", QuietMatioLog);
    const MatFile mat(Mat_Open(file.c_str(), MAT_ACC_RDONLY));
    if (!mat) {
        error = "Cannot read " + Quoted(file) + ": not a MATLAB 5 MAT-file";
        return false;
    }
    ExportStructs s;
    s.system = ReadStruct(mat.get(), "System");
    s.waterTrack = ReadStruct(mat.get(), "WaterTrack");
    s.bottomTrack = ReadStruct(mat.get(), "BottomTrack");
    s.compass = ReadStruct(mat.get(), "Compass");
    if (!s.system || !s.waterTrack || !s.bottomTrack || !s.compass) {
        error = "Cannot read " + Quoted(file) +
                ": not a SonTek transect export (it lacks the System, WaterTrack, BottomTrack or "
                "Compass struct, or one of them is damaged)";
        return false;
    }
    s.setup = ReadStruct(mat.get(), "Setup");
    s.summary = ReadStruct(mat.get(), "Summary");
    s.gps = ReadStruct(mat.get(), "GPS");
    s.matrices = ReadStruct(mat.get(), "Transformation_Matrices");

    auto c = std::make_unique<Columns>();
    ReadColumns(s, *c);
    const std::size_t n = c->time.dims[0];
    c->samples = c->time.Empty() ? 0 : n;
    c->cells = c->velocity.dims[0];
    if (!Shaped(*c)) {
        error = "Cannot read " + Quoted(file) +
                ": its SonTek structs do not hold one value per sample where they should";
        return false;
    }
    if (c->coordinateSystem != kEastNorthUp) {
        error = "Cannot read " + Quoted(file) +
                ": its water velocities are not in east, north, up axes; export the transect "
                "again with the ENU coordinate system";
        return false;
    }

    for (std::size_t k = 0;
         k < c->matrix.dims[2] && c->matrix.dims[0] == 4 && c->matrix.dims[1] == 4; ++k) {
        std::array<double, 16> m{};
        for (std::size_t e = 0; e < 16; ++e)
            m[e] = c->matrix.values[16 * k + e];
        beamSets_.push_back(BeamSetFromMatrix(m));
    }
    if (beamSets_.empty()) beamSets_.push_back(BeamSetFromMatrix({}));
    columns_ = std::move(c);
    return true;
}

int MatlabExportSource::SampleCount() const {
    return columns_ ? static_cast<int>(columns_->samples) : 0;
}

const std::vector<SonTekBeamSet>& MatlabExportSource::BeamSets() const {
    return beamSets_;
}

namespace {

std::optional<SonTekTime> TimeSince2000(double seconds) {
    // Beyond year 2200 or before 2000 no instrument of this family recorded.
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 6.4e9) return std::nullopt;
    using namespace std::chrono;
    const double wholeDays = std::floor(seconds / 86400.0);
    const sys_days day = sys_days(year(2000) / January / 1) + days(static_cast<int>(wholeDays));
    const year_month_day date(day);
    const double ofDay = seconds - wholeDays * 86400.0;
    SonTekTime time;
    time.year = static_cast<int>(date.year());
    time.month = static_cast<int>(static_cast<unsigned>(date.month()));
    time.day = static_cast<int>(static_cast<unsigned>(date.day()));
    time.hour = static_cast<int>(ofDay / 3600);
    time.minute = static_cast<int>((ofDay - time.hour * 3600) / 60);
    time.second = ofDay - time.hour * 3600 - time.minute * 60;
    return time;
}

double Hundredths(double degrees) {
    return std::round(degrees * 100) / 100;
}

double DegreesToRadiansOf(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Earth (east, north, up) to instrument axes of the sample's attitude, as the record's
// processing will turn them back: the inverse of its attitude matrix, from the angles as the
// record holds them (hundredths of a degree).
std::optional<Matrix3> EarthToInstrument(double heading, double pitch, double roll) {
    return Inverse(SonTekAttitudeMatrix(DegreesToRadiansOf(Hundredths(heading)),
                                        DegreesToRadiansOf(Hundredths(pitch)),
                                        DegreesToRadiansOf(Hundredths(roll))));
}

std::array<double, kBeamCount> ToInstrument(const Matrix3& toInstrument,
                                            const std::array<double, 4>& enuError) {
    const auto xyz = Apply(toInstrument, {enuError[0], enuError[1], enuError[2]});
    return {xyz[0], xyz[1], xyz[2], enuError[3]};
}

// Bottom track: beam depths corrected as the software's own depth, the vertical beam, and
// the bottom's velocity relative to the instrument.
void FillBottomTrack(const ExportColumns& c, std::size_t s, const Matrix3& toInstrument,
                     SonTekSample& sample) {
    // The beam depths are as measured; the software's own bottom-track depth corrects them for
    // the speed of sound it was set to use. The same factor is applied to each beam.
    double beamSum = 0;
    int beams = 0;
    for (std::size_t b = 0; b < kBeamCount; ++b)
        if (const double d = c.beamDepth.At(s, b); std::isfinite(d) && d > 0) {
            beamSum += d;
            ++beams;
        }
    const double corrected = c.bottomDepth.At(s);
    double factor = beams > 0 && std::isfinite(corrected) ? corrected / (beamSum / beams) : 1.0;
    if (!(factor > 0.9 && factor < 1.1)) factor = 1.0;
    for (std::size_t b = 0; b < kBeamCount; ++b) {
        const double d = c.beamDepth.At(s, b);
        sample.bottomRangeCm[b] = std::isfinite(d) && d > 0 ? d * factor * 100 : 0;
    }
    const double vertical = c.verticalDepth.At(s);
    sample.verticalRangeCm = std::isfinite(vertical) && vertical > 0 ? vertical * 100 : 0;

    // The bottom's velocity relative to the instrument is the boat's over ground, reversed.
    const std::array<double, 4> bottom{-c.bottomVelocity.At(s, 0), -c.bottomVelocity.At(s, 1),
                                       -c.bottomVelocity.At(s, 2), 0.0};
    const auto bottomXyz = ToInstrument(toInstrument, bottom);
    for (std::size_t b = 0; b < kBeamCount; ++b)
        sample.bottomVelocityMmS[b] = bottomXyz[b] * 1000;
}

// Water velocities relative to the instrument, amplitudes, and the export's boat velocity.
void FillProfile(const ExportColumns& c, std::size_t s, const Matrix3& toInstrument,
                 SonTekSample& sample) {
    // The export's water velocities are over ground. Made relative to the instrument by the
    // boat velocity that processing adds back by default (the bottom track), they come out of
    // processing as the export has them; without bottom track, by the export's own boat velocity
    // (its track reference).
    std::array<double, 3> track{c.boatVelocity.At(s, 0), c.boatVelocity.At(s, 1),
                                c.boatVelocity.At(s, 2)};
    std::array<double, 3> boat{c.bottomVelocity.At(s, 0), c.bottomVelocity.At(s, 1),
                               c.bottomVelocity.At(s, 2)};
    if (!std::isfinite(boat[0]) || !std::isfinite(boat[1]) || !std::isfinite(boat[2])) boat = track;
    for (double& component : boat)
        if (!std::isfinite(component)) component = 0;
    sample.boatEastMmS = track[0] * 1000;
    sample.boatNorthMmS = track[1] * 1000;
    sample.velocityMmS.resize(c.cells);
    sample.amplitude.resize(c.cells);
    for (std::size_t cell = 0; cell < c.cells; ++cell) {
        const std::array<double, 4> relative{
            c.velocity.At(cell, 0, s) - boat[0], c.velocity.At(cell, 1, s) - boat[1],
            c.velocity.At(cell, 2, s) - boat[2], c.velocity.At(cell, 3, s)};
        const auto xyz = ToInstrument(toInstrument, relative);
        for (std::size_t b = 0; b < kBeamCount; ++b) {
            sample.velocityMmS[cell][b] = xyz[b] * 1000;
            const double snr = c.snr.Empty() ? 0.0 : c.snr.At(cell, b, s);
            sample.amplitude[cell][b] = std::isfinite(snr) ? snr : 0.0;
        }
    }
}

}  // namespace

std::optional<SonTekSample> MatlabExportSource::Sample(int index) const {
    if (!columns_ || index < 0 || index >= SampleCount()) return std::nullopt;
    const Columns& c = *columns_;
    const auto s = static_cast<std::size_t>(index);
    const auto time = TimeSince2000(c.time.At(s));
    const auto toInstrument = EarthToInstrument(c.heading.At(s), c.pitch.At(s), c.roll.At(s));
    const double cellSize = c.cellSize.At(s);
    if (!time || !toInstrument || !std::isfinite(cellSize) || cellSize <= 0 || cellSize > 100)
        return std::nullopt;

    SonTekSample sample;
    sample.sampleNumber = static_cast<int>(s + 1);
    // The software's measured discharge covers the transect samples only: the edge samples are
    // taken while the boat is held near a bank, and drifts.
    const double step = c.step.At(s);
    sample.part = step == kStartEdgeStep ? MeasurementPart::StartEdge
                  : step == kEndEdgeStep ? MeasurementPart::EndEdge
                                         : MeasurementPart::Transect;
    sample.sampleTime = *time;
    sample.headingDeg = c.heading.At(s);
    sample.pitchDeg = c.pitch.At(s);
    sample.rollDeg = c.roll.At(s);
    sample.temperatureC = c.temperature.At(s);
    sample.cellSizeCm = cellSize * 100;
    sample.blankingDistanceCm = (c.cellStart.At(s) - cellSize / 2) * 100;
    sample.pulseLengthCm = c.transmitLength.At(s) * 100;
    const auto set = std::ranges::find(c.matrixFrequency.values, c.frequency.At(s));
    sample.beamSet =
        set == c.matrixFrequency.values.end() ||
                static_cast<std::size_t>(set - c.matrixFrequency.values.begin()) >= beamSets_.size()
            ? 0
            : static_cast<int>(set - c.matrixFrequency.values.begin());

    FillBottomTrack(c, s, *toInstrument, sample);
    const double latitude = c.latitude.At(s);
    const double longitude = c.longitude.At(s);
    sample.ggaValid = c.quality.At(s) > 0 && std::isfinite(latitude) && std::isfinite(longitude);
    sample.ggaLatitude = std::abs(latitude);
    sample.ggaLongitude = std::abs(longitude);
    sample.ggaNs = latitude < 0 ? 'S' : 'N';
    sample.ggaEw = longitude < 0 ? 'W' : 'E';

    FillProfile(c, s, *toInstrument, sample);
    return sample;
}

SonTekBeamSet BeamSetFromMatrix(const std::array<double, 16>& m) {
    SonTekBeamSet set;
    set.elevation.fill(kNominalBeamElevation);
    set.azimuth = {0, std::numbers::pi / 2, std::numbers::pi, 3 * std::numbers::pi / 2};
    // Beam b's velocity is d_b . v; the instrument matrix T (x, y, z rows) is the inverse map, so
    // the directions are the rows of T' (T T')^-1.
    Matrix3 ttT{};
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t q = 0; q < 3; ++q)
            for (std::size_t b = 0; b < 4; ++b)
                ttT[r][q] += m[r + 4 * b] * m[q + 4 * b];
    const auto inverse = Inverse(ttT);
    if (!inverse) return set;
    std::array<double, kBeamCount> azimuths{};
    for (std::size_t b = 0; b < 4; ++b) {
        const auto d = Apply(*inverse, {m[0 + 4 * b], m[1 + 4 * b], m[2 + 4 * b]});
        if (!(std::hypot(d[0], d[1]) > 0)) return set;
        azimuths[b] = std::atan2(d[0], d[1]);
        if (azimuths[b] < 0) azimuths[b] += 2 * std::numbers::pi;
    }
    set.azimuth = azimuths;
    return set;
}

}  // namespace fluvex
