// Quick charts: the slot rules (the lowest free slot, its caption, the 21st refused), a slot's
// saved choices, the series of a generated line and a point click naming its ping.

#include <QAbstractButton>
#include <QCheckBox>
#include <QDockWidget>
#include <QLineSeries>
#include <QListWidget>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "ViewTestFolders.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
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
        QCOMPARE(next->objectName(), QString("frmQuickChart_1"));
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
        const std::vector<std::filesystem::path> files{folders_->WriteSuiteSurvey()};
        QCOMPARE(OpenSurveyFiles(AppDatabase(), files, prompt).failedFiles, 0);
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
};

QTEST_MAIN(TfrmQuickChartTest)
#include "TfrmQuickChartTest.moc"
