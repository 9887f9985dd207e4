#include "views/TdlgSpeed.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/TextService.h"
#include "settings/Settings.h"
#include "views/AxisSteps.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kWatchPeriodMs = 1000;
const QColor kBoatColour(0x00, 0x40, 0x80);
// Below 100 %, 100 to 200 %, 200 % and above.
const std::array<QColor, 3> kBandColours{QColor(0x00, 0x7F, 0x00), QColor(0xFF, 0xA5, 0x00),
                                         QColor(0xFF, 0x00, 0x00)};
const std::array<const char*, 3> kBandTexts{"<100%", "100-200%", ">200%"};

QString BoatSpeedCaption() {
    return Text(12472, "Boat Speed");
}

}  // namespace

// The chart with the legend box of the two series drawn over its lower right corner.
class SpeedChartView final : public QChartView {
public:
    using QChartView::QChartView;
    std::function<void(double)> clickedAt;

protected:
    void drawForeground(QPainter* painter, const QRectF&) override;
    void mousePressEvent(QMouseEvent* event) override {
        if (clickedAt && chart()->plotArea().contains(event->position()))
            clickedAt(chart()->mapToValue(event->position()).x());
        QChartView::mousePressEvent(event);
    }
};

void SpeedChartView::drawForeground(QPainter* painter, const QRectF&) {
    const QFontMetrics metrics(font());
    const QStringList texts{BoatSpeedCaption(), QObject::tr("Boat:Water Speed %"), kBandTexts[0],
                            kBandTexts[1], kBandTexts[2]};
    int widest = 0;
    for (const QString& text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    const int line = metrics.height() + 2;
    const int sample = 18;
    const QSizeF size(widest + sample + 16, static_cast<double>(line * texts.size() + 8));
    const QRectF plot = chart()->plotArea();
    const QRectF box(plot.bottomRight() - QPointF(size.width() + 5, size.height() + 5), size);
    painter->save();
    painter->setPen(Qt::black);
    painter->setBrush(Qt::white);
    painter->drawRect(box);
    painter->setBackgroundMode(Qt::TransparentMode);
    const double textX = box.left() + 8 + sample;
    double y = box.top() + 4;
    painter->setPen(QPen(kBoatColour, 2));
    painter->drawLine(QPointF(box.left() + 4, y + line / 2.0), QPointF(textX - 4, y + line / 2.0));
    for (int row = 0; row < texts.size(); ++row, y += line) {
        if (row >= 2) {
            painter->setPen(Qt::black);
            painter->setBrush(kBandColours[static_cast<std::size_t>(row - 2)]);
            painter->drawRect(QRectF(box.left() + 8, y + 3, line - 6, line - 6));
        }
        painter->setPen(Qt::black);
        painter->drawText(QRectF(row == 1 ? box.left() + 4 : textX, y, size.width(), line),
                          Qt::AlignLeft | Qt::AlignVCenter, texts[row]);
    }
    painter->restore();
}

TdlgSpeed::TdlgSpeed(QWidget* parent) : QWidget(parent) {
    setObjectName("dlgSpeed");
    setWindowTitle(tr("Boat v Water Speed"));
    auto* chart = new QChart;
    chart->legend()->hide();
    view_ = new SpeedChartView(chart);
    view_->setObjectName("chtSpeed");
    view_->setRenderHint(QPainter::Antialiasing, false);
    view_->clickedAt = [this](double track) { ShowPointNear(track); };
    status_ = new QStatusBar;
    status_->setObjectName("stbSpeed");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addWidget(status_);

    trackAxis_ = new QValueAxis;
    trackAxis_->setTitleText(tr("Track"));
    trackAxis_->setLabelFormat("%d");
    trackAxis_->setTickType(QValueAxis::TicksDynamic);
    boatAxis_ = new QValueAxis;
    ratioAxis_ = new QValueAxis;
    ratioAxis_->setTitleText(tr("Boat/Water Speed"));
    ratioAxis_->setLabelFormat("%d");
    ratioAxis_->setGridLineVisible(false);  // the boat-speed axis draws the grid
    chart->addAxis(trackAxis_, Qt::AlignBottom);
    chart->addAxis(boatAxis_, Qt::AlignLeft);
    chart->addAxis(ratioAxis_, Qt::AlignRight);
    // One area per band drawn as bars; the boat speed line on top.
    for (std::size_t band = 0; band < kBandColours.size(); ++band) {
        auto* bars = new QAreaSeries(new QLineSeries(chart));
        bars->setObjectName(QString("seriesBoatWater%1").arg(band));
        bars->setColor(kBandColours[band]);
        bars->setBorderColor(kBandColours[band]);
        chart->addSeries(bars);
        bars->attachAxis(trackAxis_);
        bars->attachAxis(ratioAxis_);
        bars_[band] = bars;
    }
    boat_ = new QLineSeries;
    boat_->setObjectName("seriesBoat");
    boat_->setPen(QPen(kBoatColour, 2));
    chart->addSeries(boat_);
    boat_->attachAxis(trackAxis_);
    boat_->attachAxis(boatAxis_);
    SetAxisTitle();

    timer_ = new QTimer(this);
    timer_->setInterval(kWatchPeriodMs);
    connect(timer_, &QTimer::timeout, this, &TdlgSpeed::Watch);
}

TdlgSpeed::~TdlgSpeed() = default;

void TdlgSpeed::SetAxisTitle() {
    boatAxis_->setTitleText(QString("%1 (%2)").arg(
        BoatSpeedCaption(), QString::fromStdString(std::string(Units().VelocityLabel()))));
}

void TdlgSpeed::Refresh() {
    watched_ = LineWatch::Now();
    SetAxisTitle();
    const int line = AppSettings().CurrentLine;
    points_ = BoatWaterPoints(AppDatabase().Ensembles(line),
                              CurrentQuantityOptions());  // none for a line not loaded
    track_.clear();
    std::array<QList<QPointF>, 3> bars;
    QList<QPointF> boat;
    double maxRatio = 100;
    double maxBoat = 0;
    const UnitSystem& units = Units();
    for (const BoatWaterPoint& point : points_) {
        const double x = point.ensemble;
        track_.push_back(x);
        // A bar is a rectangle of the band's area, closed at 0 on both sides.
        auto& band = bars[static_cast<std::size_t>(SpeedBandOf(point.ratioPercent))];
        band << QPointF(x - 0.45, 0) << QPointF(x - 0.45, point.ratioPercent)
             << QPointF(x + 0.45, point.ratioPercent) << QPointF(x + 0.45, 0);
        const double speed = units.MmsToDisplay(point.boatSpeedMms);
        boat << QPointF(x, speed);
        maxRatio = std::max(maxRatio, point.ratioPercent);
        maxBoat = std::max(maxBoat, speed);
    }
    for (std::size_t band = 0; band < bars.size(); ++band)
        bars_[band]->upperSeries()->replace(bars[band]);
    boat_->replace(boat);
    if (!track_.empty()) {
        const auto [low, high] = std::minmax_element(track_.begin(), track_.end());
        trackAxis_->setRange(*low - 1, *high + 1);
        // Labels at round ensemble numbers, the axis ending at the line's.
        const double step = AxisLabelStep(*high - *low + 2);
        trackAxis_->setTickAnchor(std::ceil((*low - 1) / step) * step);
        trackAxis_->setTickInterval(step);
    }
    ratioAxis_->setRange(0, std::ceil(maxRatio / 50) * 50);
    ratioAxis_->applyNiceNumbers();
    boatAxis_->setRange(0, maxBoat > 0 ? maxBoat * 1.1 : 1);
    boatAxis_->applyNiceNumbers();
    status_->clearMessage();
}

QString TdlgSpeed::PointText(std::size_t point) const {
    if (point >= points_.size()) return {};
    const BoatWaterPoint& shown = points_[point];
    return QString("Ens %1 Boat Speed %2 Boat/Water Speed %3 %")
        .arg(shown.ensemble)
        .arg(Units().MmsToDisplay(shown.boatSpeedMms), 0, 'f', 2)
        .arg(shown.ratioPercent, 0, 'f', 0);
}

void TdlgSpeed::ShowPointNear(double track) {
    if (track_.empty()) return;
    const auto nearest = std::min_element(
        track_.begin(), track_.end(),
        [track](double a, double b) { return std::abs(a - track) < std::abs(b - track); });
    status_->showMessage(PointText(static_cast<std::size_t>(nearest - track_.begin())));
}

void TdlgSpeed::Watch() {
    if (isVisible() && watched_ != LineWatch::Now()) Refresh();
}

void TdlgSpeed::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Watch();  // at once: a second of an empty chart looks like a survey without bottom track
    timer_->start();
}

}  // namespace fluvex
