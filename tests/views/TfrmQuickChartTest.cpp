// The chart panels. Quick charts: the slot rules (the lowest free slot, its caption, the 21st
// refused), a slot's saved choices, the series of a generated line and a point click naming its
// ping. Boat versus water speed on a line with known speeds: every ratio, a ping without valid
// cells left out, and the text a click shows.

#include <QAbstractButton>
#include <QAreaSeries>
#include <QCheckBox>
#include <QDockWidget>
#include <QLineSeries>
#include <QListWidget>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

#include <memory>

#include "ViewTestFolders.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "views/TdlgSpeed.h"
#include "views/TfrmQuickChart.h"

using namespace fluvex;

class TfrmQuickChartTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::vector<std::unique_ptr<TfrmQuickChart>> charts_;

    TfrmQuickChart* Open(int slot = -1) {
        TfrmQuickChart* chart = TfrmQuickChart::Create(slot);
        if (chart != nullptr) charts_.emplace_back(chart);
        return chart;
    }

private slots:
    void init() { folders_ = std::make_unique<test::ViewTestFolders>(); }
    void cleanup() {
        charts_.clear();
        folders_.reset();
    }

    void aClosedChartsSlotIsTakenNext() {
        for (int chart = 0; chart < 3; ++chart)
            QCOMPARE(Open()->Slot(), chart);
        charts_.erase(charts_.begin() + 1);
        QCOMPARE(AppSettings().QuickChartSlot[1] & TfrmQuickChart::kSlotInUse, 0);
        const TfrmQuickChart* next = Open();
        QCOMPARE(next->Slot(), 1);
        QCOMPARE(next->windowTitle(), QString("Quick Chart 2"));
        QVERIFY(Open(2)->Slot() == 3);  // a slot another chart holds is not shared
    }

    void theTwentyFirstChartIsRefused() {
        while (Open() != nullptr) {
        }
        QCOMPARE(charts_.size(), 20u);
        RecordingPrompt prompt;
        QDockWidget panel;
        QVERIFY(TfrmQuickChart::CreateInPanel(panel, prompt) == nullptr);
        QCOMPARE(prompt.Messages().size(), 1u);
        QCOMPARE(prompt.Messages().front().text, "Reached the limit of charts");
    }

    void aSlotsValueGivesItsChoices() {
        AppSettings().QuickChartSlot[0] = 6291461;  // quantities 0 and 2, inverted, DBL
        TfrmQuickChart* chart = Open();
        auto* quantities = chart->findChild<QListWidget*>("lstQuantities");
        QCOMPARE(quantities->count(), 20);
        for (int kind = 0; kind < 20; ++kind)
            QCOMPARE(quantities->item(kind)->checkState() == Qt::Checked, kind == 0 || kind == 2);
        QVERIFY(chart->findChild<QCheckBox*>("chkInvertY")->isChecked());
        QVERIFY(chart->findChild<QAbstractButton*>("rdoDBL")->isChecked());
        QCOMPARE(AppSettings().QuickChartSlot[0], 6291461 | TfrmQuickChart::kSlotInUse);
        chart->findChild<QAbstractButton*>("rdoPing")->click();
        charts_.clear();  // closing keeps the choices and frees the slot
        QCOMPARE(AppSettings().QuickChartSlot[0], 5 | (1 << 21) | (2 << 22));
    }

    void seriesFollowTheLineAndAClickNamesItsPing() {
        RecordingPrompt prompt;
        QVERIFY(folders_->OpenSuiteSurvey(prompt));
        AppSettings().CurrentLine = 2;
        AppSettings().QuickChartSlot[0] = (1 << 4) | (1 << 6) | (2 << 22);  // depth, boat speed
        TfrmQuickChart* chart = Open();
        chart->Refresh();
        QVERIFY(chart->Series(4)->isVisible());
        QVERIFY(!chart->Series(5)->isVisible());
        QCOMPARE(chart->Series(6)->count(), 40);
        QCOMPARE(chart->Series(5)->count(), 0);

        QSignalSpy chosen(chart, &TfrmQuickChart::EnsembleChosen);
        chart->ChoosePointNear(6, chart->Series(6)->at(17) + QPointF(0.2, 0));
        QCOMPARE(chosen.size(), 1);
        Ensemble expected;
        QVERIFY(AppDatabase().GetEnsemble(2, chart->EnsembleIndexOf(6, 17), expected));
        const auto shown = chosen.front().front().value<Ensemble>();
        QCOMPARE(shown.variableLeader.EnsembleNumber(), expected.variableLeader.EnsembleNumber());
        QCOMPARE(chart->Series(6)->at(17).x(), double(expected.variableLeader.EnsembleNumber()));
    }

    // The boat crosses at 0.9 m/s over ground through water flowing at 0.8 m/s, the same at
    // every depth: 112.5 %. Then a ping loses every cell.
    void speedRatiosAreBoatOverMeanWaterSpeed() {
        QVERIFY(folders_->OpenSurvey(
            "[Survey]\nName = speed\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 40\nDepth = 4\n[Water]\nSpeed = 0.8\nDirection = 10\n"
            "[Track]\nEnsembles = 30\nSpeed = 0.9\n",
            ".PD0"));
        AppSettings().CurrentLine = 0;
        AppSettings().SetVelReference(1);  // bottom track
        TdlgSpeed window;
        window.resize(800, 400);
        window.show();
        window.Refresh();
        QCOMPARE(window.Points().size(), 30u);
        for (const BoatWaterPoint& point : window.Points()) {
            QVERIFY2(std::abs(point.ratioPercent / 112.5 - 1) < 0.005,
                     qPrintable(QString::number(point.ratioPercent)));
            QVERIFY(std::abs(point.boatSpeedMms - 900) < 5);
        }
        QCOMPARE(window.BoatSeries()->count(), 30);

        for (int cell = 0; cell < 30; ++cell)
            AppDatabase().DeleteCell(0, 4, cell);
        window.Refresh();
        QCOMPARE(window.Points().size(), 29u);
        int barCorners = 0;
        for (const SpeedBand band : {SpeedBand::Slower, SpeedBand::Faster, SpeedBand::MuchFaster})
            barCorners += static_cast<int>(window.RatioBars(band)->upperSeries()->count());
        QCOMPARE(barCorners, 4 * 29);
        // A click names the point's own ping, whatever was left out before it.
        const BoatWaterPoint& fifth = window.Points()[4];
        window.ShowPointNear(fifth.ensemble + 0.3);
        const QString said = window.findChild<QStatusBar*>("stbSpeed")->currentMessage();
        QCOMPARE(said, QString("Ens %1 Boat Speed %2 Boat/Water Speed %3 %")
                           .arg(fifth.ensemble)
                           .arg(fifth.boatSpeedMms / 1000, 0, 'f', 2)
                           .arg(fifth.ratioPercent, 0, 'f', 0));
        QCOMPARE(fifth.index, 5);
    }
};

QTEST_MAIN(TfrmQuickChartTest)
#include "TfrmQuickChartTest.moc"
