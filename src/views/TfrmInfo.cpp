#include "views/TfrmInfo.h"

#include <QColor>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QStringList>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/BadValue.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/ProfileCursor.h"
#include "project/SettingsOptions.h"
#include "settings/Settings.h"
#include "views/ViewText.h"

namespace fluvex {

// The paint box left of the table: the four beams' echo intensity down the profile. It keeps what
// it last plotted, so a ping without intensities leaves the plot standing.
class IntensityPlot : public QWidget {
public:
    explicit IntensityPlot(QWidget* parent) : QWidget(parent) {
        setObjectName("pbIntensity");
        setMinimumSize(120, 120);
    }

    void Plot(std::vector<BeamIntensities> cells, int bedCell) {
        cells_ = std::move(cells);
        bedCell_ = bedCell;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<BeamIntensities> cells_;
    int bedCell_ = 0;
};

namespace {

// The caption shown instead of a position (the no-data caption is the profile cursor's).
constexpr int kNoPositionTextId = 12542;

// Plot margins in pixels: intensity 0 lies kPlotLeft from the left edge and full scale as far
// from the right; cell 0 lies kPlotTop below the top edge and the last cell as far above the
// bottom.
constexpr int kPlotLeft = 5;
constexpr int kPlotTop = 10;
constexpr int kFullScaleCounts = 255;
// The table shows intensity in thousandths of full scale.
constexpr int kIntensityPerMille = 1000;

const QColor kPlotBackground = Qt::white;
const QColor kAxisColour = Qt::black;
const QColor kBedColour = Qt::darkYellow;
const std::array<QColor, kBeamCount> kBeamColours{Qt::red, Qt::darkGreen, Qt::blue, Qt::magenta};

using Field = TfrmInfo::Field;

struct ValuePanel {
    Field field;
    const char* name;
};

struct FieldRow {
    const char* name;
    int textId;  // 0: the text table holds no caption for the row
    const char* caption;
    ValuePanel value;
    std::optional<ValuePanel> secondValue;
};

// Where the text table already holds a caption's word (the spreadsheet's headings), the row
// takes it from there, so that one wording serves both windows.
constexpr FieldRow kFieldRows[] = {
    {"lblEnsemble",
     0,
     "Ensemble / Bin",
     {Field::Ensemble, "lblEnsembleValue"},
     ValuePanel{Field::Bin, "lblBinValue"}},
    {"lblTime", 2915, "Time", {Field::Time, "lblTimeValue"}, std::nullopt},
    {"lblX", 0, "X", {Field::X, "lblXValue"}, std::nullopt},
    {"lblY", 0, "Y", {Field::Y, "lblYValue"}, std::nullopt},
    {"lblDBL", 1487, "DBL", {Field::DBL, "lblDBLValue"}, std::nullopt},
    {"lblMagnitude", 0, "Magnitude", {Field::Magnitude, "lblMagnitudeValue"}, std::nullopt},
    {"lblDirection", 0, "Direction", {Field::Direction, "lblDirectionValue"}, std::nullopt},
    {"lblEast", 0, "East", {Field::East, "lblEastValue"}, std::nullopt},
    {"lblNorth", 0, "North", {Field::North, "lblNorthValue"}, std::nullopt},
    {"lblVertical", 0, "Vertical", {Field::Vertical, "lblVerticalValue"}, std::nullopt},
    {"lblError", 0, "Error", {Field::Error, "lblErrorValue"}, std::nullopt},
    {"lblPitchRoll",
     0,
     "Pitch / Roll",
     {Field::Pitch, "lblPitchValue"},
     ValuePanel{Field::Roll, "lblRollValue"}},
    {"lblHeading", 1874, "Heading", {Field::Heading, "lblHeadingValue"}, std::nullopt},
    {"lblEnsDepth", 0, "Ens. Depth", {Field::EnsDepth, "lblEnsDepthValue"}, std::nullopt},
    {"lblBinSize", 0, "Bin Size", {Field::BinSize, "lblBinSizeValue"}, std::nullopt},
    {"lblMaxBins", 0, "Max Bins/Ens.", {Field::MaxBins, "lblMaxBinsValue"}, std::nullopt},
    {"lblDistToFirstBin",
     0,
     "Dist to First Bin",
     {Field::DistToFirstBin, "lblDistToFirstBinValue"},
     std::nullopt},
    {"lblBinDepth", 0, "Bin Depth", {Field::BinDepth, "lblBinDepthValue"}, std::nullopt},
    {"lblFinalBinDepth",
     0,
     "Final Bin Depth",
     {Field::FinalBinDepth, "lblFinalBinDepthValue"},
     std::nullopt},
};

// The panels that describe the chosen cell; they show the no-data caption without one.
constexpr Field kCellFields[] = {Field::Magnitude, Field::Direction, Field::East,    Field::North,
                                 Field::Vertical,  Field::Error,     Field::BinDepth};

// What a cell without a velocity shows in the table.
constexpr VelocityInfo kNoVelocity{kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity,
                                   kBadValue,    kBadValue,    kBadValue};

int Truncated(double pixels) {
    return static_cast<int>(pixels);
}

QString TwoDecimals(double value) {
    return ToQString(FormatTwoDecimals(value));
}

// A length already in the display unit, with the unit's name.
QString DistanceText(double length) {
    return ToQString(FormatTwoDecimals(length) + " " + std::string(Units().DistanceLabel()));
}

// mm/s in the display velocity unit with its suffix; the bad value as "N/A", without one.
QString SpeedText(double mms, int quantity) {
    if (mms == kBadValue) return ToQString(Units().FormatVelocity(kBadValue, quantity));
    return ToQString(Units().FormatVelocityWithUnit(Units().MmsToDisplay(mms), quantity));
}

QString DirectionText(double degrees) {
    return ToQString(Units().FormatVelocityWithUnit(degrees, kDirection));
}

QStringList VelocityHeaders() {
    return {"East", "North", "Vertical", "Magnitude 2D", "Direction"};
}

QStringList IntensityHeaders() {
    return {"Beam 1", "Beam 2", "Beam 3", "Beam 4"};
}

QStringList VelocityRow(const Ensemble& ensemble, int cell) {
    VelocityInfo info = kNoVelocity;
    CellVelocityInfo(ensemble, cell, info);  // a cell without a velocity leaves it bad
    return {SpeedText(info.east, kEastVelocity), SpeedText(info.north, kNorthVelocity),
            SpeedText(info.up, kVerticalVelocity), SpeedText(info.magnitude2D, kMagnitude2D),
            DirectionText(info.direction)};
}

QStringList IntensityRow(const Ensemble& ensemble, int cell) {
    QStringList row;
    for (const std::uint8_t counts : ensemble.cellBlocks.CellEchoIntensities(cell))
        row << QString::number(counts * kIntensityPerMille / kFullScaleCounts);
    return row;
}

void SetCellText(QTableWidget& table, int row, int column, const QString& text) {
    if (QTableWidgetItem* item = table.item(row, column)) {
        item->setText(text);
        return;
    }
    table.setItem(row, column, new QTableWidgetItem(text));
}

QLabel* NewValuePanel(const char* name, QWidget* parent) {
    auto* panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    panel->setMinimumWidth(70);
    return panel;
}

}  // namespace

IntensityPlotLines LayOutIntensityPlot(QSize box, std::span<const BeamIntensities> cells,
                                       int bedCell) {
    IntensityPlotLines lines;
    if (cells.empty()) return lines;
    const double xScale = (box.width() - 2 * kPlotLeft) / static_cast<double>(kFullScaleCounts);
    const double yScale = (box.height() - 2 * kPlotTop) / static_cast<double>(cells.size());
    const int right = box.width() - kPlotLeft;
    lines.intensityAxis = QLine(kPlotLeft, kPlotTop, right, kPlotTop);
    lines.cellAxis = QLine(kPlotLeft, kPlotTop, kPlotLeft, box.height() - kPlotTop);
    const int bedY = Truncated(yScale * bedCell + kPlotTop);
    lines.bed = QLine(kPlotLeft, bedY, right, bedY);
    for (std::size_t cell = 0; cell < cells.size(); ++cell) {
        const int y = Truncated(static_cast<double>(cell) * yScale + kPlotTop);
        for (std::size_t beam = 0; beam < lines.beams.size(); ++beam)
            lines.beams[beam] << QPoint(Truncated(xScale * cells[cell][beam] + kPlotLeft), y);
    }
    return lines;
}

void IntensityPlot::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), kPlotBackground);
    if (cells_.empty()) return;
    const IntensityPlotLines lines = LayOutIntensityPlot(size(), cells_, bedCell_);
    painter.setPen(kAxisColour);
    painter.drawLine(lines.intensityAxis);
    painter.drawLine(lines.cellAxis);
    painter.setPen(kBedColour);
    painter.drawLine(lines.bed);
    for (std::size_t beam = 0; beam < lines.beams.size(); ++beam) {
        painter.setPen(kBeamColours[beam]);
        painter.drawPolyline(lines.beams[beam]);
    }
}

// --- The window ---

TfrmInfo::TfrmInfo(QWidget* parent) : QWidget(parent) {
    setObjectName("frmInfo");
    setWindowTitle("Information");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(BuildFields());
    layout->addWidget(BuildCellPanel(), 1);
    TabChange(kVelocitiesTab);
}

QString TfrmInfo::NoDataCaption() {
    return Text(kNoDataTextId, "No Data");
}

QString TfrmInfo::NoPositionCaption() {
    return Text(kNoPositionTextId, "No Position");
}

QGridLayout* TfrmInfo::BuildFields() {
    auto* grid = new QGridLayout;
    int row = 0;
    for (const FieldRow& field : kFieldRows) {
        auto* caption = new QLabel(Text(field.textId, field.caption), this);
        caption->setObjectName(field.name);
        grid->addWidget(caption, row, 0);
        QLabel* value = NewValuePanel(field.value.name, this);
        values_[static_cast<std::size_t>(field.value.field)] = value;
        if (field.secondValue) {
            grid->addWidget(value, row, 1);
            QLabel* second = NewValuePanel(field.secondValue->name, this);
            values_[static_cast<std::size_t>(field.secondValue->field)] = second;
            grid->addWidget(second, row, 2);
        } else {
            grid->addWidget(value, row, 1, 1, 2);
        }
        ++row;
    }
    return grid;
}

QWidget* TfrmInfo::BuildCellPanel() {
    auto* panel = new QWidget(this);
    auto* plotColumn = new QVBoxLayout;
    auto* plotCaption = new QLabel("Intensity", panel);
    plotCaption->setObjectName("lblIntensity");
    pbIntensity_ = new IntensityPlot(panel);
    plotColumn->addWidget(plotCaption);
    plotColumn->addWidget(pbIntensity_, 1);

    tabCells_ = new QTabBar(panel);
    tabCells_->setObjectName("tabCells");
    tabCells_->addTab("Velocities");
    tabCells_->addTab("Intensity");
    grdCells_ = new QTableWidget(panel);
    grdCells_->setObjectName("grdCells");
    grdCells_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCells_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // Wide enough for a velocity with its unit and the widest heading, so that every column fits
    // without resizing to the contents on each move of the mouse.
    grdCells_->horizontalHeader()->setDefaultSectionSize(
        std::max(fontMetrics().horizontalAdvance("-00.000 m/s"),
                 fontMetrics().horizontalAdvance("Magnitude 2D")) +
        16);
    connect(tabCells_, &QTabBar::currentChanged, this, &TfrmInfo::TabChange);
    auto* tableColumn = new QVBoxLayout;
    tableColumn->addWidget(tabCells_);
    tableColumn->addWidget(grdCells_, 1);

    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(plotColumn);
    layout->addLayout(tableColumn, 1);
    return panel;
}

// --- Showing a ping ---

void TfrmInfo::ShowEnsemble(const Ensemble& ensemble, int cell) {
    shown_ = ensemble;
    shownCell_ = cell;
    ShowIdentity();
    ShowPositionAndAttitude();
    ShowCellGeometry();
    ShowCellVelocity();
    ShowIntensityPlot();
    TabChange(tabCells_->currentIndex());
}

void TfrmInfo::SetField(Field field, const QString& text) {
    values_[static_cast<std::size_t>(field)]->setText(text);
}

void TfrmInfo::ShowIdentity() {
    SetField(Field::Ensemble, QString::number(shown_.variableLeader.EnsembleNumber()));
    SetField(Field::Bin, shownCell_ == -1 ? NoDataCaption() : QString::number(shownCell_));
    // The time first: a ping whose clock cannot be a date is marked not loaded by it, and the
    // other panels then show the neutral values of a ping that is not loaded.
    SetField(Field::Time,
             ToQString(FormatTimeOfDay(EnsembleTime(shown_, AppSettings().Time_Type()))));
}

void TfrmInfo::ShowPositionAndAttitude() {
    double x = 0.0;
    double y = 0.0;
    const bool positioned = GetPosition(shown_, x, y);
    SetField(Field::X, positioned ? TwoDecimals(x) : NoPositionCaption());
    SetField(Field::Y, positioned ? TwoDecimals(y) : NoPositionCaption());
    SetField(Field::DBL, TwoDecimals(shown_.navigation.distance));
    const QuantityOptions quantities = CurrentQuantityOptions();
    SetField(Field::Heading, TwoDecimals(Heading(shown_, quantities.attitude)));
    SetField(Field::Pitch, TwoDecimals(Pitch(shown_, quantities.attitude)));
    SetField(Field::Roll, TwoDecimals(Roll(shown_, quantities.attitude)));
}

void TfrmInfo::ShowCellGeometry() {
    const QuantityOptions quantities = CurrentQuantityOptions();
    const int cells = CellCount(shown_);
    SetField(Field::EnsDepth, DistanceText(Depth(shown_, quantities)));
    SetField(Field::BinSize, DistanceText(CellSize(shown_, quantities.units)));
    SetField(Field::MaxBins, QString::number(cells));
    SetField(Field::DistToFirstBin, DistanceText(FirstCellTop(shown_)));
    SetField(Field::FinalBinDepth, DistanceText(CellDepth(shown_, cells - 1, quantities.units)));
}

void TfrmInfo::ShowCellVelocity() {
    VelocityInfo info;
    if (shownCell_ == -1 || !CellVelocityInfo(shown_, shownCell_, info)) {
        for (const Field field : kCellFields)
            SetField(field, NoDataCaption());
        return;
    }
    SetField(Field::Magnitude, SpeedText(info.magnitude3D, kMagnitude3D));
    SetField(Field::Direction, DirectionText(info.direction));
    SetField(Field::East, SpeedText(info.east, kEastVelocity));
    SetField(Field::North, SpeedText(info.north, kNorthVelocity));
    SetField(Field::Vertical, SpeedText(info.up, kVerticalVelocity));
    // The echo intensity is shown as held, like every unscaled quantity.
    SetField(Field::Error, ToQString(Units().FormatVelocity(info.echoIntensity, kErrorVelocity)));
    SetField(Field::BinDepth, DistanceText(CellDepth(shown_, shownCell_, Units())));
}

void TfrmInfo::ShowIntensityPlot() {
    if (!shown_.Has(PresentBit::EchoIntensity)) return;
    std::vector<BeamIntensities> cells;
    const int count = CellCount(shown_);
    cells.reserve(static_cast<std::size_t>(count));
    for (int cell = 0; cell < count; ++cell)
        cells.push_back(shown_.cellBlocks.CellEchoIntensities(cell));
    pbIntensity_->Plot(std::move(cells),
                       LastCell(shown_, CurrentQuantityOptions(), kLastValidCell));
}

// --- The table ---

void TfrmInfo::TabChange(int index) {
    const QStringList headers = index == kIntensityTab ? IntensityHeaders() : VelocityHeaders();
    grdCells_->setColumnCount(static_cast<int>(headers.size()));
    grdCells_->setHorizontalHeaderLabels(headers);
    FillTableRows(index);
}

void TfrmInfo::FillTableRows(int tab) {
    const int cells = CellCount(shown_);
    grdCells_->setRowCount(cells);
    QStringList rowNumbers;
    for (int cell = 0; cell < cells; ++cell) {
        rowNumbers << QString::number(cell + 1);
        const QStringList row =
            tab == kIntensityTab ? IntensityRow(shown_, cell) : VelocityRow(shown_, cell);
        for (int column = 0; column < row.size(); ++column)
            SetCellText(*grdCells_, cell, column, row[column]);
    }
    grdCells_->setVerticalHeaderLabels(rowNumbers);
}

}  // namespace fluvex
