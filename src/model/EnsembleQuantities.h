#pragma once

// The physical quantities of a ping: time, attitude, depth by the chosen reference, cell
// geometry, the last cell to use, and water velocities as components, magnitudes and directions.
// What they depend on beyond the ping is passed in (QuantityOptions). Every accessor returns its
// neutral result (0, false or the bad value) for a ping that is not loaded, unless said otherwise.
// Lengths come out in the display distance unit, velocities in mm/s unless said otherwise.

#include <cstdint>
#include <optional>

#include "model/Ensemble.h"
#include "model/QuantityOptions.h"

namespace fluvex {

// Velocity components beyond the cell quantities of VelocityQuantity (Units.h): the reference
// velocity, whatever the cell.
enum ReferenceComponent : int {
    kReferenceEast = 7,
    kReferenceNorth = 8,
    kReferenceMagnitude2D = 9,
    kReferenceDirection = 10,
};

// Per-ping quantities of the quick chart and the boat-speed view.
enum ChartKind : int {
    kChartX = 0,
    kChartY = 1,
    kChartTime = 2,
    kChartDistance = 3,
    kChartDepth = 4,
    kChartLastCell = 5,
    kChartBoatSpeed = 6,         // navigation record, mm/s
    kChartBottomTrackSpeed = 7,  // display velocity unit
    kChartDischarge1 = 8,
    kChartDischarge2 = 9,
    kChartDischarge3 = 10,
    kChartPitch = 11,
    kChartRoll = 12,
    kChartHeading = 13,
    kChartCourse = 14,
    kChartBottomTrackDirection = 15,  // direction the boat moves over the bottom
    kChartTemperature = 16,           // degrees C, or F in a project in feet
    kChartSalinity = 17,
    kChartMeanSpeed = 18,      // depth-mean water speed, mm/s
    kChartMeanDirection = 19,  // depth-mean water direction
};

// Seconds for ordering and differences. The instrument clock gives seconds from the start of the
// year, plus one day; any other timing mode the fixed leader's time tag / 1000. A held month
// above 11 or day above 31 clears the loaded flag and gives 0.
double EnsembleTime(Ensemble& ensemble, int timingMode);
// As EnsembleTime, leaving the ping as it is: for pings a reader already checked.
double EnsembleTimeOf(const Ensemble& ensemble, int timingMode);

// A ping's date for the magnetic model. With the instrument clock (timing mode 1) it carries the
// time of day; in the other modes the time tag stands in for it.
struct EnsembleDate {
    int year = 2000;  // 2000 + the clock's two-digit year
    int month = 0;    // 0 = January ... 11 = December, as held
    int day = 0;
    int hour = 0;                            // instrument clock only
    int minute = 0;                          // instrument clock only
    double seconds = 0.0;                    // second + hundredths / 100; instrument clock only
    std::optional<std::uint32_t> timeTagMs;  // the other timing modes only

    // Nothing for a ping that is not loaded or whose clock holds a month above 11 or a day
    // above 31. Unlike EnsembleTime, the ping is not changed.
    static std::optional<EnsembleDate> Of(const Ensemble& ensemble, int timingMode);
};

// The grid position of the navigation record, whether or not the ping is loaded. False, with x
// and y untouched, when the record holds no position.
bool GetPosition(const Ensemble& ensemble, double& x, double& y);

// Degrees. With the edited heading (pitch and roll) chosen and a valid position, the edited
// file's values, whether or not the ping is loaded; otherwise the instrument's, the compass
// heading corrected by the declination, and pitch corrected for the tilt sensor's roll dependence.
double Heading(const Ensemble& ensemble, const AttitudeOptions& attitude);
double Pitch(const Ensemble& ensemble, const AttitudeOptions& attitude);
double Roll(const Ensemble& ensemble, const AttitudeOptions& attitude);

double Temperature(const Ensemble& ensemble);  // degrees Celsius
int Salinity(const Ensemble& ensemble);        // parts per thousand
int CellCount(const Ensemble& ensemble);
bool HasBottomTrack(const Ensemble& ensemble);
// A beam's bottom-track range as a vertical distance below the transducer, cm; 0 when the beam
// found no bottom. PD0 instruments record it vertical; the other family's slant ranges are made
// vertical by its 25-degree beams.
double BottomTrackVerticalRangeCm(const Ensemble& ensemble, int beam);

// Depth below the surface by the options' reference, or `reference` when given. The echo
// sounder depths are returned as held. Without a bottom-track block the bottom-track depth is
// the options' depthWithoutBottomTrack; with a block and no beam detecting the bottom it is 0.
double Depth(const Ensemble& ensemble, const QuantityOptions& options,
             std::optional<int> reference = std::nullopt);
// The depth when the ping measured one: nothing for a ping not loaded, a depth of 0, or a
// bottom-track depth without a bottom-track block (where Depth gives a drawing default).
std::optional<double> MeasuredDepth(const Ensemble& ensemble, const QuantityOptions& options,
                                    std::optional<int> reference = std::nullopt);
// Top edge of cell `cell` (from 0); 0 for a cell the ping does not have.
double CellDepth(const Ensemble& ensemble, int cell, const UnitSystem& units);
double CellSize(const Ensemble& ensemble, const UnitSystem& units);

// How many cells to use above the bottom by the options' rule, or `rule` when given. Rule 0 (and
// any unknown rule) gives the cell count; rule 1 the index of the deepest cell with a valid East
// at or above the bottom; rules 2 and 3 the cells above a band kept clear of the bottom. Never
// negative nor above kMaxCells; callers bound it by the cells list.
int LastCell(const Ensemble& ensemble, const QuantityOptions& options,
             std::optional<int> rule = std::nullopt);

// Depth-mean East, North and Up: the sums over the valid cells divided by the number of all
// cells, truncated; the echo intensity is 0. False when there are no processed cells.
bool MeanVelocity(const Ensemble& ensemble, CellVelocity& mean);

// The reference velocity with its magnitudes and direction. False, with `info` untouched, when
// the ping has no bottom-track block; false with every member bad when the reference is bad.
bool ReferenceVelocityInfo(const Ensemble& ensemble, VelocityInfo& info);
// One processed cell with its magnitudes and direction. False, with `info` untouched, for a cell
// the ping or its cells list does not have; false with every member bad when the cell is bad.
bool CellVelocityInfo(const Ensemble& ensemble, int cell, VelocityInfo& info);

// One component of a cell (VelocityQuantity) or of the reference (ReferenceComponent).
// Magnitudes and directions are truncated toward zero; kBadVelocity for a bad or missing value or
// an unknown component.
std::int16_t VelocityComponent(const Ensemble& ensemble, int cell, int component);

// The per-ping quantity of a ChartKind; 0 for an unknown kind or a value the ping does not have.
// The discharge kinds are computed where discharge is (ChartValue, processing/Discharge.h).
double ChartQuantity(const Ensemble& ensemble, int kind, const QuantityOptions& options);

// Where the top of cell `cell` lies along beam `beam` (0-3): grid X and Y of the ping plus the
// horizontal run of the beam from the transducer down to the cell, turned by the heading, pitch
// and roll, and Z the cell's depth (CellDepth). The beam geometry is the ping's own for SonTek
// instruments and the fixed leader's beam angle and head shape for PD0. The offset is in the
// display distance unit. False, writing
// nothing, for a ping that is not loaded, without a valid position, for a beam outside 0-3, a
// cell the ping does not have, a geometry that is not finite or an attitude that leaves the beam
// no downward direction.
bool BeamCellPosition(const Ensemble& ensemble, int beam, int cell, const QuantityOptions& options,
                      double& x, double& y, double& z);

}  // namespace fluvex
