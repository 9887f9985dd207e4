#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "model/Ensemble.h"
#include "views/LineWatch.h"

class QButtonGroup;
class QCategoryAxis;
class QChart;
class QCheckBox;
class QDockWidget;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;
class QValueAxis;

namespace fluvex {

class UserPrompt;

// A chart of chosen per-ping quantities (ChartQuantities.h) of the current line against time,
// DBL or ping number. Up to 20 are open at once, each in a floating panel of its own; each keeps
// its choices in one settings slot (QuickChart Chart%d): bits 0-19 the shown quantities, bit 20
// in use, bit 21 the inverted Y axis, bits 22-23 the X axis.
class TfrmQuickChart final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSlotInUse = 1 << 20;
    static constexpr int kInvertY = 1 << 21;
    static constexpr int kXAxisShift = 22;
    enum XAxis : int { kXTime = 0, kXDbl = 1, kXPing = 2 };
    // The pings a series holds at most: beyond twice this many, each of this many stretches of
    // the X range keeps its lowest and highest point, which is all a screen can show.
    static constexpr int kBuckets = 2048;

    // A chart in `slot` (-1: the lowest free one; a slot another chart holds counts as -1). Null
    // when all 20 slots are taken.
    static TfrmQuickChart* Create(int slot, QWidget* parent = nullptr);
    // Makes the chart of a quick-chart panel: in the slot its name ends with ("frmQuickChart_3")
    // when that is free, the panel named after the chart. Says "Reached the limit of charts"
    // through `prompt` and gives null when no slot is free.
    static TfrmQuickChart* CreateInPanel(QDockWidget& panel, UserPrompt& prompt);
    // The open charts, oldest first.
    static const std::vector<TfrmQuickChart*>& OpenCharts();
    static void RefreshAll();
    // Moves the open charts' slots to the front in their order, as the settings file keeps them,
    // renaming the charts and their panels, so that a saved layout finds them again.
    static void CompactSlots();

    ~TfrmQuickChart() override;

    int Slot() const { return slot_; }
    // Rebuilds every series from the current line.
    void Refresh();
    // The series of a quantity; null for one that is not a kind.
    QLineSeries* Series(int kind) const;
    // The ping behind point `point` of a quantity's series; -1 for none.
    int EnsembleIndexOf(int kind, int point) const;
    // Shows the ping of the series point nearest to `value` (a click does this).
    void ChoosePointNear(int kind, const QPointF& value);

signals:
    void EnsembleChosen(const fluvex::Ensemble& ensemble);

protected:
    void showEvent(QShowEvent* event) override;
    // Closing the chart's panel frees its slot at once, not when the panel is deleted later.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SeriesPoints {
        QLineSeries* series = nullptr;
        std::vector<int> ensembles;  // the ping of each point
    };

    TfrmQuickChart(int slot, QWidget* parent);
    void SetSlot(int slot);
    QWidget* BuildSidePanel();
    int& SlotValue() const;
    // The side panel's choices into the slot, then the chart.
    void TakeChoices();
    void SetXAxisLabels(double low, double high, int axis);
    void SetColour(QListWidgetItem* item);
    void Watch();
    // Keeps the choices in the slot and marks it free.
    void Release();

    int slot_ = 0;
    bool released_ = false;
    QChart* chart_ = nullptr;
    QCategoryAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
    QWidget* side_ = nullptr;
    QPushButton* showPanel_ = nullptr;
    QButtonGroup* xChoice_ = nullptr;
    QListWidget* quantities_ = nullptr;
    QCheckBox* invert_ = nullptr;
    QTimer* timer_ = nullptr;
    std::map<int, SeriesPoints> series_;
    std::optional<LineWatch> watched_;
};

}  // namespace fluvex
