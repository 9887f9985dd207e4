#include "views/TfrmQuickChart.h"

#include <QButtonGroup>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QColorDialog>
#include <QDockWidget>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "model/Units.h"
#include "processing/ChartQuantities.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "views/AxisSteps.h"

namespace fluvex {

namespace {

constexpr int kWatchPeriodMs = 1000;
constexpr int kKindRole = Qt::UserRole;
constexpr int kQuantityBits = (1 << kChartKindCount) - 1;
constexpr const char* kChartName = "frmQuickChart_";

std::vector<TfrmQuickChart*>& Charts() {
    static std::vector<TfrmQuickChart*> charts;
    return charts;
}

bool HeldByOpenChart(int slot) {
    return std::ranges::any_of(Charts(),
                               [slot](const TfrmQuickChart* c) { return c->Slot() == slot; });
}

struct Sample {
    double x;
    double y;
    int ensemble;
};

// Every sample when few; otherwise the lowest and highest of each of kBuckets stretches of X,
// in the line's order, so that the drawn line keeps every peak at screen resolution.
std::vector<const Sample*> Decimated(const std::vector<Sample>& samples, double low, double high) {
    std::vector<const Sample*> kept;
    const std::size_t buckets = TfrmQuickChart::kBuckets;
    if (samples.size() <= 2 * buckets || !(high > low)) {
        for (const Sample& sample : samples)
            kept.push_back(&sample);
        return kept;
    }
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> lowest(buckets, kNone);
    std::vector<std::size_t> highest(buckets, kNone);
    const double scale = static_cast<double>(buckets) / (high - low);
    for (std::size_t at = 0; at < samples.size(); ++at) {
        const auto bucket =
            std::min(buckets - 1, static_cast<std::size_t>((samples[at].x - low) * scale));
        if (lowest[bucket] == kNone || samples[at].y < samples[lowest[bucket]].y)
            lowest[bucket] = at;
        if (highest[bucket] == kNone || samples[at].y > samples[highest[bucket]].y)
            highest[bucket] = at;
    }
    std::vector<std::size_t> positions;
    for (std::size_t bucket = 0; bucket < buckets; ++bucket)
        for (const std::size_t at : {lowest[bucket], highest[bucket]})
            if (at != kNone) positions.push_back(at);
    std::ranges::sort(positions);
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (const std::size_t at : positions)
        kept.push_back(&samples[at]);
    return kept;
}

}  // namespace

TfrmQuickChart* TfrmQuickChart::Create(int slot, QWidget* parent) {
    const auto& values = AppSettings().QuickChartSlot;
    if (slot < 0 || slot >= kQuickChartSlots || HeldByOpenChart(slot)) {
        slot = -1;
        for (int free = 0; free < kQuickChartSlots && slot < 0; ++free)
            if ((values[static_cast<std::size_t>(free)] & kSlotInUse) == 0 &&
                !HeldByOpenChart(free))
                slot = free;
    }
    if (slot < 0) return nullptr;
    return new TfrmQuickChart(slot, parent);
}

TfrmQuickChart* TfrmQuickChart::CreateInPanel(QDockWidget& panel, UserPrompt& prompt) {
    const QString name = panel.objectName();
    bool numbered = false;
    const int wanted =
        name.startsWith(kChartName) ? name.mid(QString(kChartName).size()).toInt(&numbered) : -1;
    TfrmQuickChart* chart = Create(numbered ? wanted : -1, &panel);
    if (chart == nullptr) {
        prompt.ShowError("Reached the limit of charts", "Quick Chart");
        return nullptr;
    }
    panel.setObjectName(chart->objectName());
    panel.setWindowTitle(chart->windowTitle());
    panel.installEventFilter(chart);
    return chart;
}

const std::vector<TfrmQuickChart*>& TfrmQuickChart::OpenCharts() {
    return Charts();
}

void TfrmQuickChart::RefreshAll() {
    for (TfrmQuickChart* chart : Charts())
        chart->Refresh();
}

void TfrmQuickChart::CompactSlots() {
    auto& values = AppSettings().QuickChartSlot;
    std::array<int, kQuickChartSlots> compacted{};
    std::array<int, kQuickChartSlots> moved{};  // where each slot goes
    int next = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int slot = 0; slot < kQuickChartSlots; ++slot)
            if (((values[static_cast<std::size_t>(slot)] & kSlotInUse) != 0) == (pass == 0)) {
                moved[static_cast<std::size_t>(slot)] = next;
                compacted[static_cast<std::size_t>(next++)] =
                    values[static_cast<std::size_t>(slot)];
            }
    values = compacted;
    for (TfrmQuickChart* chart : Charts())
        chart->SetSlot(moved[static_cast<std::size_t>(chart->slot_)]);
}

TfrmQuickChart::TfrmQuickChart(int slot, QWidget* parent) : QWidget(parent) {
    Charts().push_back(this);
    chart_ = new QChart;
    auto* view = new QChartView(chart_);
    view->setObjectName("chtQuickChart");
    xAxis_ = new QCategoryAxis;
    xAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    yAxis_ = new QValueAxis;
    chart_->addAxis(xAxis_, Qt::AlignBottom);
    chart_->addAxis(yAxis_, Qt::AlignLeft);
    for (int kind = 0; kind < kChartKindCount; ++kind) {
        auto* series = new QLineSeries;
        series->setName(QString::fromStdString(ChartHeadingWithUnit(kind, Units())));
        chart_->addSeries(series);
        series->attachAxis(xAxis_);
        series->attachAxis(yAxis_);
        connect(series, &QLineSeries::clicked, this,
                [this, kind](const QPointF& point) { ChoosePointNear(kind, point); });
        series_[kind].series = series;
    }
    showPanel_ = new QPushButton(tr("Show Panel"), view);
    showPanel_->setObjectName("btnShowPanel");
    showPanel_->move(4, 4);
    showPanel_->hide();
    side_ = BuildSidePanel();
    connect(showPanel_, &QPushButton::clicked, this, [this] {
        side_->show();
        showPanel_->hide();
    });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(side_);
    layout->addWidget(view, 1);
    resize(760, 420);

    SetSlot(slot);
    int& value = SlotValue();
    value |= kSlotInUse;
    {
        const QSignalBlocker quiet(quantities_);
        for (int kind = 0; kind < kChartKindCount; ++kind)
            quantities_->item(kind)->setCheckState((value >> kind) & 1 ? Qt::Checked
                                                                       : Qt::Unchecked);
    }
    {
        const QSignalBlocker quiet(invert_);
        invert_->setChecked((value & kInvertY) != 0);
    }
    const int xAxis = (value >> kXAxisShift) & 3;
    if (QAbstractButton* choice = xChoice_->button(xAxis <= kXPing ? xAxis : kXTime))
        choice->setChecked(true);

    timer_ = new QTimer(this);
    timer_->setInterval(kWatchPeriodMs);
    connect(timer_, &QTimer::timeout, this, &TfrmQuickChart::Watch);
}

TfrmQuickChart::~TfrmQuickChart() {
    Release();
}

void TfrmQuickChart::Release() {
    if (released_) return;
    released_ = true;
    SlotValue() &= ~kSlotInUse;
    std::erase(Charts(), this);
}

bool TfrmQuickChart::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == parentWidget()) Release();
    return QWidget::eventFilter(watched, event);
}

void TfrmQuickChart::SetSlot(int slot) {
    slot_ = slot;
    setObjectName(kChartName + QString::number(slot));
    setWindowTitle(tr("Quick Chart %1").arg(slot + 1));
    if (auto* panel = qobject_cast<QDockWidget*>(parentWidget())) {
        panel->setObjectName(objectName());
        panel->setWindowTitle(windowTitle());
    }
}

int& TfrmQuickChart::SlotValue() const {
    return AppSettings().QuickChartSlot[static_cast<std::size_t>(slot_)];
}

QWidget* TfrmQuickChart::BuildSidePanel() {
    auto* panel = new QWidget;
    panel->setObjectName("pnlSide");
    auto* hide = new QPushButton(tr("Hide Panel"));
    hide->setObjectName("btnHidePanel");
    connect(hide, &QPushButton::clicked, this, [this] {
        side_->hide();
        showPanel_->show();
        showPanel_->raise();
    });
    auto* axisBox = new QGroupBox(tr("X Axis"));
    axisBox->setObjectName("rdoXAxis");
    auto* axisLayout = new QVBoxLayout(axisBox);
    xChoice_ = new QButtonGroup(this);
    const std::array<std::pair<const char*, QString>, 3> choices{
        {{"rdoTime", tr("Time")}, {"rdoDBL", tr("DBL")}, {"rdoPing", tr("Ping #")}}};
    for (int id = 0; id < 3; ++id) {
        auto* button = new QRadioButton(choices[static_cast<std::size_t>(id)].second);
        button->setObjectName(choices[static_cast<std::size_t>(id)].first);
        xChoice_->addButton(button, id);
        axisLayout->addWidget(button);
    }
    connect(xChoice_, &QButtonGroup::idClicked, this, &TfrmQuickChart::TakeChoices);
    quantities_ = new QListWidget;
    quantities_->setObjectName("lstQuantities");
    for (int kind = 0; kind < kChartKindCount; ++kind) {
        auto* item = new QListWidgetItem(QString::fromStdString(ChartHeading(kind)), quantities_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(kKindRole, kind);
    }
    connect(quantities_, &QListWidget::itemChanged, this, &TfrmQuickChart::TakeChoices);
    quantities_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(quantities_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QListWidgetItem* item = quantities_->itemAt(at);
        if (item == nullptr) return;
        QMenu menu;
        menu.addAction(tr("Set Color"), this, [this, item] { SetColour(item); });
        menu.exec(quantities_->viewport()->mapToGlobal(at));
    });
    invert_ = new QCheckBox(tr("Invert Y Axis"));
    invert_->setObjectName("chkInvertY");
    connect(invert_, &QCheckBox::toggled, this, &TfrmQuickChart::TakeChoices);

    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(hide);
    layout->addWidget(axisBox);
    auto* display = new QLabel(tr("Display"));
    display->setObjectName("lblDisplay");
    layout->addWidget(display);
    layout->addWidget(quantities_, 1);
    layout->addWidget(invert_);
    panel->setFixedWidth(215);
    return panel;
}

void TfrmQuickChart::SetColour(QListWidgetItem* item) {
    QLineSeries* series = Series(item->data(kKindRole).toInt());
    const QColor chosen = QColorDialog::getColor(series->color(), this, tr("Set Color"));
    if (chosen.isValid()) series->setColor(chosen);
}

void TfrmQuickChart::TakeChoices() {
    int value = kSlotInUse;
    for (int kind = 0; kind < kChartKindCount; ++kind)
        if (quantities_->item(kind)->checkState() == Qt::Checked) value |= 1 << kind;
    if (invert_->isChecked()) value |= kInvertY;
    value |= std::max(xChoice_->checkedId(), 0) << kXAxisShift;
    SlotValue() = value;
    Refresh();
}

QLineSeries* TfrmQuickChart::Series(int kind) const {
    const auto found = series_.find(kind);
    return found == series_.end() ? nullptr : found->second.series;
}

int TfrmQuickChart::EnsembleIndexOf(int kind, int point) const {
    const auto found = series_.find(kind);
    if (found == series_.end() || point < 0) return -1;
    const std::vector<int>& ensembles = found->second.ensembles;
    return static_cast<std::size_t>(point) < ensembles.size()
               ? ensembles[static_cast<std::size_t>(point)]
               : -1;
}

void TfrmQuickChart::ChoosePointNear(int kind, const QPointF& value) {
    const QLineSeries* series = Series(kind);
    if (series == nullptr || series->count() == 0) return;
    const QList<QPointF> points = series->points();
    const auto nearest =
        std::min_element(points.begin(), points.end(), [&](const QPointF& a, const QPointF& b) {
            return std::abs(a.x() - value.x()) < std::abs(b.x() - value.x());
        });
    Ensemble ensemble;
    const int index = EnsembleIndexOf(kind, static_cast<int>(nearest - points.begin()));
    if (AppDatabase().GetEnsemble(AppSettings().CurrentLine, index, ensemble))
        emit EnsembleChosen(ensemble);
}

void TfrmQuickChart::Refresh() {
    watched_ = LineWatch::Now();
    const int line = AppSettings().CurrentLine;
    const auto ensembles = AppDatabase().Ensembles(line);  // none for a line not loaded
    const ProcessingOptions options = CurrentProcessingOptions();
    const int axis = std::max(xChoice_->checkedId(), 0);
    // The X of each ping; pings without one are left out of every series.
    std::vector<std::optional<double>> xs(ensembles.size());
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (std::size_t at = 0; at < ensembles.size(); ++at) {
        const Ensemble& ensemble = ensembles[at];
        xs[at] = axis == kXTime    ? ChartValue(ensemble, kChartTime, options)
                 : axis == kXDbl   ? ChartValue(ensemble, kChartDistance, options)
                 : ensemble.loaded ? std::optional<double>(ensemble.variableLeader.EnsembleNumber())
                                   : std::nullopt;
        if (!xs[at]) continue;
        low = std::min(low, *xs[at]);
        high = std::max(high, *xs[at]);
    }
    double bottom = std::numeric_limits<double>::max();
    double top = std::numeric_limits<double>::lowest();
    for (auto& [kind, shown] : series_) {
        shown.ensembles.clear();
        const bool active = quantities_->item(kind)->checkState() == Qt::Checked;
        shown.series->setVisible(active);
        QList<QPointF> points;
        if (active) {
            std::vector<Sample> samples;
            samples.reserve(ensembles.size());
            for (std::size_t at = 0; at < ensembles.size(); ++at)
                if (xs[at])
                    if (const auto y = ChartValue(ensembles[at], kind, options))
                        samples.push_back({*xs[at], *y, static_cast<int>(at)});
            for (const Sample* sample : Decimated(samples, low, high)) {
                points << QPointF(sample->x, sample->y);
                shown.ensembles.push_back(sample->ensemble);
                bottom = std::min(bottom, sample->y);
                top = std::max(top, sample->y);
            }
        }
        shown.series->replace(points);
    }
    if (high >= low) SetXAxisLabels(low, high, axis);
    if (top >= bottom) {
        const double margin = top > bottom ? (top - bottom) * 0.05 : 1;
        // Quantities that cannot be negative keep 0 as their floor.
        yAxis_->setRange(bottom >= 0 ? std::max(0.0, bottom - margin) : bottom - margin,
                         top + margin);
        yAxis_->applyNiceNumbers();
    }
    yAxis_->setReverse(invert_->isChecked());
}

void TfrmQuickChart::SetXAxisLabels(double low, double high, int axis) {
    if (high == low) high = low + 1;
    for (const QString& label : xAxis_->categoriesLabels())
        xAxis_->remove(label);
    const bool time = axis == kXTime;
    const double step = AxisLabelStep(high - low, time);
    for (double tick = std::ceil(low / step) * step; tick <= high; tick += step) {
        const QString label = time ? QString::fromStdString(FormatTimeOfDay(tick).substr(0, 8))
                                   : QString::number(tick, 'g', 10);
        xAxis_->append(label, tick);
    }
    xAxis_->setRange(low, high);
    xAxis_->setTitleText(time ? tr("Time") : axis == kXDbl ? tr("DBL") : tr("Ping #"));
}

// With no line loaded the series stay as they were.
void TfrmQuickChart::Watch() {
    if (isVisible() && !window()->isMinimized() && AppDatabase().LineCount() > 0 &&
        watched_ != LineWatch::Now())
        Refresh();
}

void TfrmQuickChart::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
    timer_->start();
}

}  // namespace fluvex
