// The information window: the panels of a known ping and cell of a generated line, the table's
// two tabs rebuilt from the window's own copy, the captions of what a ping lacks, and the
// intensity plot.

#include <QImage>
#include <QLabel>
#include <QSet>
#include <QTabBar>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "ViewTestFolders.h"
#include "views/TfrmInfo.h"

using namespace fluvex;
using nlohmann::json;

namespace {

constexpr int kPing = 10;  // 10 s after the survey's start
constexpr int kCell = 3;
constexpr int kCells = 30;

const QStringList kCellPanels{"lblMagnitudeValue", "lblDirectionValue", "lblEastValue",
                              "lblNorthValue",     "lblVerticalValue",  "lblErrorValue",
                              "lblBinDepthValue"};

}  // namespace

class TfrmInfoTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<TfrmInfo> window_;
    json truth_;     // of ping kPing of the first line
    Ensemble ping_;  // that ping, processed

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*window_, name);
    }
    QString Shown(const QString& panel) const { return Control<QLabel>(panel)->text(); }
    // Whether the number in front of a value's unit is within `tolerance` of `expected`.
    bool Near(const QString& panel, const json& expected, double tolerance) const {
        return std::abs(Shown(panel).section(' ', 0, 0).toDouble() - expected.get<double>()) <=
               tolerance;
    }
    QTableWidget* Grid() const { return Control<QTableWidget>("grdCells"); }
    void SelectTab(int tab) const { Control<QTabBar>("tabCells")->setCurrentIndex(tab); }
    QStringList Row(int row) const {
        QStringList texts;
        for (int column = 0; column < Grid()->columnCount(); ++column)
            texts << Grid()->item(row, column)->text();
        return texts;
    }

private slots:
    // Metres, m/s, depths from the suite's sounder, time from the time tag.
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        Units().SetDistanceUnit(0);
        AppSettings().SetBottomTrack(0);
        AppSettings().SetTime_Type(2);
        // Water across the axes and a tilted head, so that no two values are alike.
        QVERIFY(folders_->OpenSurvey(
            "[Survey]\nName = job\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 60\nDepth = 4\n[Water]\nSpeed = 0.8\nDirection = 30\n"
            "[Track]\nEnsembles = 20\nSpeed = 0.9\n[Attitude]\nHeading = 80\nPitch = 2\n"
            "Roll = -3\n[Suite]\nLineFiles = kq2\n",
            ".log"));
        QVERIFY(AppDatabase().GetEnsemble(0, kPing, ping_));
        std::ifstream in(folders_->Root() / "job" / "job_001.truth.json");
        truth_ = json::parse(in)["ensembles"][kPing];
        window_ = std::make_unique<TfrmInfo>();
        window_->resize(500, 900);
        window_->show();
    }
    void cleanup() {
        window_.reset();
        folders_.reset();
    }

    void showsTheValuesOfAKnownPingAndCell() {
        window_->ShowEnsemble(ping_, kCell);
        QCOMPARE(Shown("lblEnsembleValue"), QString::number(truth_["number"].get<int>()));
        QVERIFY(Near("lblXValue", truth_["grid_x"], 0.005));
        QVERIFY(Near("lblYValue", truth_["grid_y"], 0.005));
        QVERIFY(Near("lblEnsDepthValue", truth_["sounder_depth1_m"], 0.005));
        // The first cell at 50 + 20 - 25 / 2 cm, halved whole; the shown one three further down.
        QStringList shown;
        for (const char* panel :
             {"lblBinValue", "lblTimeValue", "lblPitchValue", "lblRollValue", "lblHeadingValue",
              "lblBinSizeValue", "lblMaxBinsValue", "lblDistToFirstBinValue", "lblBinDepthValue",
              "lblFinalBinDepthValue"})
            shown << Shown(panel);
        QCOMPARE(shown, QStringList({"3", "09:30:10.0", "2.00", "-3.00", "80.00", "0.25 m", "30",
                                     "0.58 m", "1.33 m", "7.83 m"}));

        // The water over ground, to within the recording's millimetres and the processing.
        const json& water = truth_["water_velocity"][kCell];
        QVERIFY(Near("lblEastValue", water[0], 0.01));
        QVERIFY(Near("lblNorthValue", water[1], 0.01));
        QVERIFY(Near("lblVerticalValue", water[2], 0.01));
        QCOMPARE(Shown("lblDirectionValue"), "30°");
        // The table's row of the shown cell says the same.
        QCOMPARE(Row(kCell).mid(0, 3), QStringList({Shown("lblEastValue"), Shown("lblNorthValue"),
                                                    Shown("lblVerticalValue")}));
    }

    void tabsRebuildTheTableFromTheKeptCopy() {
        ping_.cellBlocks.SetEchoIntensity(0, 0, 255);
        ping_.cellBlocks.SetEchoIntensity(0, 1, 128);
        ping_.cellBlocks.SetEchoIntensity(0, 2, 0);
        window_->ShowEnsemble(ping_, kCell);
        QCOMPARE(Grid()->rowCount(), kCells);
        const QStringList velocities = Row(kCell);

        // Neither the line nor the caller's ping is there to ask any more.
        AppDatabase().Clear();
        ping_ = Ensemble{};
        SelectTab(TfrmInfo::kIntensityTab);
        QCOMPARE(Row(0).mid(0, 3), QStringList({"1000", "501", "0"}));
        SelectTab(TfrmInfo::kVelocitiesTab);
        QCOMPARE(Row(kCell), velocities);
    }

    void valuesAPingLacksShowCaptions() {
        ping_.navigation.positionValid = false;
        window_->ShowEnsemble(ping_, -1);
        for (const char* panel : {"lblXValue", "lblYValue"})
            QCOMPARE(Shown(panel), TfrmInfo::NoPositionCaption());
        for (const QString& panel : kCellPanels + QStringList("lblBinValue"))
            QCOMPARE(Shown(panel), TfrmInfo::NoDataCaption());

        // A cell the ping does not have, and a bad one: the index as given, no velocity.
        window_->ShowEnsemble(ping_, 99);
        QCOMPARE(Shown("lblBinValue"), "99");
        ping_.cells[kCell].east = kBadVelocity;
        window_->ShowEnsemble(ping_, kCell);
        for (const QString& panel : kCellPanels)
            QCOMPARE(Shown(panel), TfrmInfo::NoDataCaption());
        QCOMPARE(Row(kCell), QStringList({"N/A", "N/A", "N/A", "N/A", "N/A"}));
    }

    void plotDrawsTheBeamsOfThePingWithIntensities() {
        // 128 x 128/255 + 5 = 69.25 and 2 x 100/3 + 10 = 76.7 are cut, not rounded.
        const std::vector<BeamIntensities> cells(3, BeamIntensities{0, 128, 255, 0});
        const IntensityPlotLines lines = LayOutIntensityPlot(QSize(138, 120), cells, 1);
        QCOMPARE(lines.beams[0].front(), QPoint(5, 10));
        QCOMPARE(lines.beams[1].back(), QPoint(69, 76));
        QCOMPARE(lines.beams[2].front(), QPoint(133, 10));
        QCOMPARE(lines.bed, QLine(5, 43, 133, 43));
        QVERIFY(LayOutIntensityPlot(QSize(138, 120), {}, 1).beams[0].isEmpty());

        // On screen: four colours on the background, kept for a ping without intensities.
        const BeamIntensities surface{40, 100, 160, 220};
        for (std::size_t beam = 0; beam < surface.size(); ++beam)
            ping_.cellBlocks.SetEchoIntensity(0, static_cast<int>(beam), surface[beam]);
        window_->ShowEnsemble(ping_, kCell);
        auto* plot = Control<QWidget>("pbIntensity");
        const QImage drawn = plot->grab().toImage();
        QSet<QRgb> colours{drawn.pixel(plot->width() - 1, plot->height() - 1)};  // background
        // The first point of each beam lies where it would for a single cell.
        for (const QPolygon& beam : LayOutIntensityPlot(plot->size(), {&surface, 1}, 0).beams)
            colours << drawn.pixel(beam.front());
        QCOMPARE(colours.size(), kBeamCount + 1);

        ping_.MarkAbsent(PresentBit::EchoIntensity);
        ping_.cellBlocks.SetEchoIntensity(0, 0, 250);
        window_->ShowEnsemble(ping_, kCell);
        QCOMPARE(plot->grab().toImage(), drawn);
    }
};

QTEST_MAIN(TfrmInfoTest)
#include "TfrmInfoTest.moc"
