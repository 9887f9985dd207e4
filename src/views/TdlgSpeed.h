#pragma once

#include <QWidget>

#include <array>
#include <optional>
#include <vector>

#include "processing/BoatWaterSpeed.h"
#include "views/LineWatch.h"

class QAreaSeries;
class QLineSeries;
class QStatusBar;
class QTimer;
class QValueAxis;

namespace fluvex {

class SpeedChartView;

// Boat speed over the bottom and its ratio to the mean water speed for each ping of the current
// line: the ratio as bars coloured by band (below 100 %, 100 to 200 %, 200 % and above) on the
// right axis, the boat speed as a line on the left. A click on the chart names the nearest
// ping in the status bar.
class TdlgSpeed final : public QWidget {
    Q_OBJECT

public:
    explicit TdlgSpeed(QWidget* parent = nullptr);
    ~TdlgSpeed() override;

    // Rebuilds both series from the current line.
    void Refresh();
    const std::vector<BoatWaterPoint>& Points() const { return points_; }
    // What a click on point `point` says: "Ens 12 Boat Speed 1.20 Boat/Water Speed 150 %".
    QString PointText(std::size_t point) const;
    // Shows the text of the point nearest to horizontal chart position `track` (the ensemble
    // number axis), as a click there does.
    void ShowPointNear(double track);

    QLineSeries* BoatSeries() const { return boat_; }
    // The bars of a band (SpeedBand): four corners per bar.
    QAreaSeries* RatioBars(SpeedBand band) const { return bars_[static_cast<std::size_t>(band)]; }
    QValueAxis* BoatAxis() const { return boatAxis_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Watch();
    void SetAxisTitle();

    SpeedChartView* view_ = nullptr;
    std::array<QAreaSeries*, 3> bars_{};
    QLineSeries* boat_ = nullptr;
    QValueAxis* trackAxis_ = nullptr;
    QValueAxis* boatAxis_ = nullptr;
    QValueAxis* ratioAxis_ = nullptr;
    QStatusBar* status_ = nullptr;
    QTimer* timer_ = nullptr;
    std::vector<BoatWaterPoint> points_;
    std::vector<double> track_;  // the horizontal position of each point
    std::optional<LineWatch> watched_;
};

}  // namespace fluvex
