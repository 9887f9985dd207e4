#pragma once

#include <QLine>
#include <QPolygon>
#include <QSize>
#include <QString>
#include <QWidget>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/Ensemble.h"

class QGridLayout;
class QLabel;
class QTabBar;
class QTableWidget;

namespace fluvex {

class IntensityPlot;

// The echo intensity of the four beams of one cell, in counts (0-255).
using BeamIntensities = std::array<std::uint8_t, kBeamCount>;

// What the intensity plot draws in a paint box of a given size: intensity runs to the right
// (0 counts 5 pixels from the left edge, 255 as far from the right), cells run downwards (cell 0
// 10 pixels below the top, the box's height less 20 shared by the cells). Coordinates are
// truncated, not rounded.
struct IntensityPlotLines {
    QLine intensityAxis;                     // along the top
    QLine cellAxis;                          // down the left
    QLine bed;                               // across the plot at the bed cell
    std::array<QPolygon, kBeamCount> beams;  // one point per cell
};
// Nothing to draw (null lines, empty polygons) without cells.
IntensityPlotLines LayOutIntensityPlot(QSize box, std::span<const BeamIntensities> cells,
                                       int bedCell);

// Everything about one ping and one of its cells: identification, time, position, attitude,
// depths, the cell's velocity, a table of every cell's velocities or echo intensities and a plot
// of the four beams' intensity down the profile. The profile fills it while the mouse moves over
// the section. It keeps its own copy of the ping, so switching tabs needs nobody else.
class TfrmInfo : public QWidget {
    Q_OBJECT

public:
    // The value panels, in the order they are laid out.
    enum class Field : int {
        Ensemble,
        Bin,
        Time,
        X,
        Y,
        DBL,
        Magnitude,
        Direction,
        East,
        North,
        Vertical,
        Error,
        Pitch,
        Roll,
        Heading,
        EnsDepth,
        BinSize,
        MaxBins,
        DistToFirstBin,
        BinDepth,
        FinalBinDepth,
    };
    static constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::FinalBinDepth) + 1;

    // The tabs over the table.
    enum Tab : int { kVelocitiesTab = 0, kIntensityTab = 1 };

    explicit TfrmInfo(QWidget* parent = nullptr);

    // Copies the ping and fills every panel, the plot and the table. `cell` counts from 0; -1
    // means no cell, and the velocity panels show the no-data caption.
    void ShowEnsemble(const Ensemble& ensemble, int cell);

    const Ensemble& ShownEnsemble() const { return shown_; }
    int ShownCell() const { return shownCell_; }
    QString FieldText(Field field) const;

    // What a panel shows when there is no value, or no position.
    static QString NoDataCaption();
    static QString NoPositionCaption();

private:
    QGridLayout* BuildFields();
    QWidget* BuildCellPanel();

    void ShowIdentity();
    void ShowPositionAndAttitude();
    void ShowCellGeometry();
    void ShowCellVelocity();
    void ShowIntensityPlot();
    void SetField(Field field, const QString& text);

    // Rebuilds the table's headers and rows for the tab now chosen, from the kept copy.
    void TabChange(int index);
    void FillTableRows(int tab);

    Ensemble shown_;
    int shownCell_ = -1;
    std::array<QLabel*, kFieldCount> values_{};
    IntensityPlot* pbIntensity_ = nullptr;
    QTabBar* tabCells_ = nullptr;
    QTableWidget* grdCells_ = nullptr;
};

}  // namespace fluvex
