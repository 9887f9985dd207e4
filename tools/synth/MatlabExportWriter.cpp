#include "synth/MatlabExportWriter.h"

#include <matio.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Seconds from 1970-01-01 to 2000-01-01, the export's epoch.
constexpr double kEpoch2000S = 946684800.0;
constexpr double kFrequency = 3000.0;

// A column-major array with its dimensions, becoming one struct field.
struct Field {
    std::string name;
    std::vector<std::size_t> dims;
    std::vector<double> values;
};

Field Column(std::string name, std::size_t rows, std::size_t columns = 1) {
    return {std::move(name), {rows, columns}, std::vector<double>(rows * columns, 0.0)};
}

void WriteStruct(mat_t* mat, const char* name, std::vector<Field>& fields) {
    std::vector<const char*> names;
    for (const Field& field : fields)
        names.push_back(field.name.c_str());
    names.push_back(nullptr);  // the list's end
    const std::size_t one[2] = {1, 1};
    matvar_t* structure = Mat_VarCreateStruct2(name, 2, one, names.data());
    if (structure == nullptr) throw SynthError(std::string("cannot make the struct ") + name);
    for (Field& field : fields) {
        matvar_t* value =
            Mat_VarCreate(nullptr, MAT_C_DOUBLE, MAT_T_DOUBLE, static_cast<int>(field.dims.size()),
                          field.dims.data(), field.values.data(), 0);
        Mat_VarSetStructFieldByName(structure, field.name.c_str(), 0, value);
    }
    const int failed = Mat_VarWrite(mat, structure, MAT_COMPRESSION_NONE);
    Mat_VarFree(structure);
    if (failed != 0) throw SynthError(std::string("cannot write the struct ") + name);
}

// The nominal Janus head at 25 degrees: x from beams 1 and 2, y from 4 and 3, z from all four.
std::vector<double> JanusMatrix() {
    const double angle = 25.0 * 3.14159265358979323846 / 180.0;
    const double a = 1 / (2 * std::sin(angle));
    const double b = 1 / (4 * std::cos(angle));
    // Rows x, y, z, error; columns beams 1-4; stored column by column.
    const double rows[4][4] = {{a, -a, 0, 0}, {0, 0, -a, a}, {b, b, b, b}, {b, b, -b, -b}};
    std::vector<double> columnMajor;
    for (int beam = 0; beam < 4; ++beam)
        for (int row = 0; row < 4; ++row)
            columnMajor.push_back(rows[row][beam]);
    return columnMajor;
}

}  // namespace

void WriteMatlabExport(const SurveyDescription& description, const SyntheticLine& line,
                       const std::filesystem::path& file) {
    const std::size_t n = line.truth.size();
    const std::size_t cells = line.ensembles.empty() ? 0 : line.ensembles.front().velocity.size();
    const InstrumentSetup& head = description.instrument;
    Field time = Column("Time", n), heading = Column("Heading", n);
    Field temperature = Column("Temperature", n), cellStart = Column("Cell_Start", n);
    Field cellSize = Column("Cell_Size", n), step = Column("Step", n);
    Field snr{"SNR", {cells, 4, n}, std::vector<double>(cells * 4 * n, 40.0)};
    Field velocity{"Velocity", {cells, 4, n}, std::vector<double>(cells * 4 * n, kNaN)};
    Field frequency = Column("WT_Frequency", n), boat = Column("Boat_Vel", n, 4);
    Field transmit = Column("Transmit_Length", n), bottom = Column("BT_Vel", n, 4);
    Field beamDepth = Column("BT_Beam_Depth", n, 4), depth = Column("BT_Depth", n);
    Field vertical = Column("VB_Depth", n), latitude = Column("Latitude", n);
    Field longitude = Column("Longitude", n), quality = Column("GPS_Quality", n);
    Field pitch = Column("Pitch", n), roll = Column("Roll", n);
    for (std::size_t s = 0; s < n; ++s) {
        const EnsembleTruth& t = line.truth[s];
        time.values[s] = static_cast<double>(t.clockHundredths) / 100.0 - kEpoch2000S;
        heading.values[s] = t.headingDeg;
        temperature.values[s] = head.temperatureCdeg / 100.0;
        cellStart.values[s] = head.TransducerDepthM() + head.bin1Cm / 100.0;
        cellSize.values[s] = head.CellSizeM();
        step.values[s] = 3;
        frequency.values[s] = kFrequency;
        transmit.values[s] = head.CellSizeM();
        const double over[3] = {t.boatVelocity.x, t.boatVelocity.y, t.boatVelocity.z};
        for (std::size_t k = 0; k < 3; ++k) {
            boat.values[s + n * k] = over[k];
            bottom.values[s + n * k] = over[k];
        }
        for (std::size_t b = 0; b < 4; ++b)
            beamDepth.values[s + n * b] = t.depthM;
        depth.values[s] = vertical.values[s] = t.depthM;
        latitude.values[s] = t.geographic.latitude;
        longitude.values[s] = t.geographic.longitude;
        quality.values[s] = 2;
        pitch.values[s] = t.pitchDeg;
        roll.values[s] = t.rollDeg;
        for (std::size_t c = 0; c < cells && c < t.water.size(); ++c) {
            if (static_cast<int>(c) >= t.goodCells || !t.water[c]) continue;
            const double water[4] = {t.water[c]->x, t.water[c]->y, t.water[c]->z, 0.0};
            for (std::size_t k = 0; k < 4; ++k)
                velocity.values[c + cells * (k + 4 * s)] = water[k];
        }
    }

    const std::unique_ptr<mat_t, int (*)(mat_t*)> mat(
        Mat_CreateVer(file.c_str(), "MATLAB 5.0 MAT-file, synthetic transect", MAT_FT_MAT5),
        Mat_Close);
    if (!mat) throw SynthError("cannot create " + file.string());
    std::vector<Field> system{time, heading, temperature, cellStart, cellSize, step, snr};
    WriteStruct(mat.get(), "System", system);
    std::vector<Field> setup{{"coordinateSystem", {1, 1}, {2.0}}};
    WriteStruct(mat.get(), "Setup", setup);
    std::vector<Field> summary{boat, transmit};
    WriteStruct(mat.get(), "Summary", summary);
    std::vector<Field> bottomTrack{vertical, depth, bottom, beamDepth};
    WriteStruct(mat.get(), "BottomTrack", bottomTrack);
    std::vector<Field> waterTrack{velocity, frequency};
    WriteStruct(mat.get(), "WaterTrack", waterTrack);
    std::vector<Field> gps{longitude, latitude, quality};
    WriteStruct(mat.get(), "GPS", gps);
    std::vector<Field> compass{pitch, roll};
    WriteStruct(mat.get(), "Compass", compass);
    std::vector<Field> matrices{{"Frequency", {1, 1}, {kFrequency}},
                                {"Matrix", {4, 4, 1}, JanusMatrix()}};
    WriteStruct(mat.get(), "Transformation_Matrices", matrices);
}

}  // namespace fluvex::synth
