// Boat versus water speed on a generated line with known speeds: every ratio, a ping without
// valid cells left out of both series, and the text a click shows.

#include <QAreaSeries>
#include <QLineSeries>
#include <QStatusBar>
#include <QValueAxis>
#include <QtTest>

#include <memory>

#include "ViewTestFolders.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "views/TdlgSpeed.h"

using namespace fluvex;
namespace fs = std::filesystem;

class TdlgSpeedTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<TdlgSpeed> window_;

    int BarPoints() const {
        int points = 0;
        for (const SpeedBand band : {SpeedBand::Slower, SpeedBand::Faster, SpeedBand::MuchFaster})
            points += static_cast<int>(window_->RatioBars(band)->upperSeries()->count());
        return points;
    }

private slots:
    // The boat crosses at 0.9 m/s over ground through water flowing at 0.8 m/s, the same at
    // every depth: 112.5 %.
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = speed\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 40\nDepth = 4\n[Water]\nSpeed = 0.8\nDirection = 10\n"
            "[Track]\nEnsembles = 30\nSpeed = 0.9\n");
        std::vector<fs::path> files;
        for (const auto& file : synth::WriteSurvey(description, folders_->Root()))
            if (file.extension() == ".PD0") files.push_back(file);
        RecordingPrompt prompt;
        QCOMPARE(OpenSurveyFiles(AppDatabase(), files, prompt).failedFiles, 0);
        AppSettings().CurrentLine = 0;
        AppSettings().SetVelReference(1);  // bottom track
        window_ = std::make_unique<TdlgSpeed>();
        window_->resize(800, 400);
        window_->show();
        window_->Refresh();
    }
    void cleanup() {
        window_.reset();
        folders_.reset();
    }

    void everyRatioIsBoatOverMeanWaterSpeed() {
        QCOMPARE(window_->Points().size(), 30u);
        for (const BoatWaterPoint& point : window_->Points()) {
            QVERIFY2(std::abs(point.ratioPercent / 112.5 - 1) < 0.005,
                     qPrintable(QString::number(point.ratioPercent)));
            QVERIFY(std::abs(point.boatSpeedMms - 900) < 5);
        }
        QCOMPARE(window_->BoatSeries()->count(), 30);
        QCOMPARE(BarPoints(), 4 * 30);
        QCOMPARE(window_->BoatAxis()->titleText(), "Boat Speed (m/s)");
    }

    void aPingWithoutValidCellsGivesNoPoint() {
        for (int cell = 0; cell < 30; ++cell)
            AppDatabase().DeleteCell(0, 4, cell);
        window_->Refresh();
        QCOMPARE(window_->Points().size(), 29u);
        QVERIFY(std::ranges::none_of(window_->Points(),
                                     [](const BoatWaterPoint& p) { return p.index == 4; }));
        QCOMPARE(window_->BoatSeries()->count(), 29);
        QCOMPARE(BarPoints(), 4 * 29);

        // A click names the point's own ping, whatever was left out before it.
        const BoatWaterPoint& fifth = window_->Points()[4];
        window_->ShowPointNear(fifth.ensemble + 0.3);
        const QString said = window_->findChild<QStatusBar*>("stbSpeed")->currentMessage();
        QCOMPARE(said, QString("Ens %1 Boat Speed %2 Boat/Water Speed %3 %")
                           .arg(fifth.ensemble)
                           .arg(fifth.boatSpeedMms / 1000, 0, 'f', 2)
                           .arg(fifth.ratioPercent, 0, 'f', 0));
        QCOMPARE(fifth.index, 5);
    }
};

QTEST_MAIN(TdlgSpeedTest)
#include "TdlgSpeedTest.moc"
