// The windows that show pings as values. The information window: the panels of a known ping and
// cell of a generated line, the table's two tabs rebuilt from the window's own copy, the captions
// of what a ping lacks, and the intensity plot's layout. The spreadsheet: its column lists rebuild
// the grid, the layout file round-trips and is read safely, pings without a value show "-----", and
// the export is the grid of the current line.

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "ViewTestFolders.h"
#include "services/AtomicFile.h"
#include "views/TfrmInfo.h"
#include "views/TfrmSpreadsheet.h"

using namespace fluvex;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr int kPing = 10;  // 10 s after the survey's start
constexpr int kCell = 3;
constexpr int kCells = 30;

const QStringList kCellPanels{"lblMagnitudeValue", "lblDirectionValue", "lblEastValue",
                              "lblNorthValue",     "lblVerticalValue",  "lblErrorValue",
                              "lblBinDepthValue"};

}  // namespace

class PingTablesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<TfrmInfo> info_;
    std::unique_ptr<TfrmSpreadsheet> sheet_;
    json truth_;     // of ping kPing of the first line
    Ensemble ping_;  // that ping, processed

    template <typename T>
    T* Info(const QString& name) const {
        return test::ChildOf<T>(*info_, name);
    }
    template <typename T>
    T* Sheet(const QString& name) const {
        return test::ChildOf<T>(*sheet_, name);
    }
    QString Shown(const QString& panel) const { return Info<QLabel>(panel)->text(); }
    // Whether the number in front of a value's unit is within `tolerance` of `expected`.
    bool Near(const QString& panel, const json& expected, double tolerance) const {
        return std::abs(Shown(panel).section(' ', 0, 0).toDouble() - expected.get<double>()) <=
               tolerance;
    }
    QTableWidget* Cells() const { return Info<QTableWidget>("grdCells"); }
    void SelectTab(int tab) const { Info<QTabBar>("tabCells")->setCurrentIndex(tab); }
    QStringList Row(int row) const {
        QStringList texts;
        for (int column = 0; column < Cells()->columnCount(); ++column)
            texts << Cells()->item(row, column)->text();
        return texts;
    }

    QAbstractItemModel* Table() const { return Sheet<QTableView>("grid")->model(); }
    QStringList Headings() const {
        QStringList texts;
        for (int column = 0; column < Table()->columnCount(); ++column)
            texts << Table()->headerData(column, Qt::Horizontal).toString();
        return texts;
    }
    QString Cell(int row, int column) const {
        return Table()->data(Table()->index(row, column)).toString();
    }
    QStringList Items(const char* list) const {
        QStringList texts;
        for (int row = 0; row < Sheet<QListWidget>(list)->count(); ++row)
            texts << Sheet<QListWidget>(list)->item(row)->text();
        return texts;
    }
    void SetColumns(std::initializer_list<int> kinds) {
        AppSettings().NColumns = static_cast<int>(kinds.size());
        std::ranges::copy(kinds, AppSettings().Column.begin());
    }

    // The information window over a generated line: metres, m/s, depths from the suite's
    // sounder, time from the time tag. Water across the axes and a tilted head, so that no two
    // values are alike.
    bool OpenInfo() {
        Units().SetDistanceUnit(0);
        AppSettings().SetBottomTrack(0);
        AppSettings().SetTime_Type(2);
        if (!folders_->OpenSurvey(
                "[Survey]\nName = job\nStart = 2024-05-14T09:30:00.00\n"
                "[Section]\nWidth = 60\nDepth = 4\n[Water]\nSpeed = 0.8\nDirection = 30\n"
                "[Track]\nEnsembles = 20\nSpeed = 0.9\n[Attitude]\nHeading = 80\nPitch = 2\n"
                "Roll = -3\n[Suite]\nLineFiles = kq2\n",
                ".log") ||
            !AppDatabase().GetEnsemble(0, kPing, ping_))
            return false;
        std::ifstream in(folders_->Root() / "job" / "job_001.truth.json");
        truth_ = json::parse(in)["ensembles"][kPing];
        info_ = std::make_unique<TfrmInfo>();
        info_->resize(500, 900);
        info_->show();
        return true;
    }
    // The spreadsheet over two 20-ping lines of instrument files without navigation, in metres
    // and m/s; the last quarter of each line lost its bottom-track velocities.
    bool OpenSheet() {
        Units().SetDistanceUnit(0);
        AppSettings().SetTime_Type(1);
        if (!folders_->OpenSurvey(
                "[Survey]\nName = bare\nLines = 2\nStart = 2024-05-14T09:30:00.00\n"
                "[Section]\nWidth = 40\nDepth = 3\n[Track]\nEnsembles = 20\nSpeed = 0.9\n"
                "[Instrument]\nBottomTrackLost = 0.25\n",
                ".PD0"))
            return false;
        AppSettings().CurrentLine = 1;
        sheet_ = std::make_unique<TfrmSpreadsheet>();
        sheet_->resize(900, 500);
        sheet_->show();
        return true;
    }

private slots:
    void init() { folders_ = std::make_unique<test::ViewTestFolders>(); }
    void cleanup() {
        info_.reset();
        sheet_.reset();
        folders_.reset();
    }

    void showsTheValuesOfAKnownPingAndCell() {
        QVERIFY(OpenInfo());
        info_->ShowEnsemble(ping_, kCell);
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
        QVERIFY(OpenInfo());
        ping_.cellBlocks.SetEchoIntensity(0, 0, 255);
        ping_.cellBlocks.SetEchoIntensity(0, 1, 128);
        ping_.cellBlocks.SetEchoIntensity(0, 2, 0);
        info_->ShowEnsemble(ping_, kCell);
        QCOMPARE(Cells()->rowCount(), kCells);
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
        QVERIFY(OpenInfo());
        ping_.navigation.positionValid = false;
        info_->ShowEnsemble(ping_, -1);
        for (const char* panel : {"lblXValue", "lblYValue"})
            QCOMPARE(Shown(panel), TfrmInfo::NoPositionCaption());
        for (const QString& panel : kCellPanels + QStringList("lblBinValue"))
            QCOMPARE(Shown(panel), TfrmInfo::NoDataCaption());

        // A cell the ping does not have, and a bad one: the index as given, no velocity.
        info_->ShowEnsemble(ping_, 99);
        QCOMPARE(Shown("lblBinValue"), "99");
        ping_.cells[kCell].east = kBadVelocity;
        info_->ShowEnsemble(ping_, kCell);
        for (const QString& panel : kCellPanels)
            QCOMPARE(Shown(panel), TfrmInfo::NoDataCaption());
        QCOMPARE(Row(kCell), QStringList({"N/A", "N/A", "N/A", "N/A", "N/A"}));
    }

    // Where the plot puts the beams; painting them is plain QPainter work.
    void plotLaysOutTheBeamsOfThePingWithIntensities() {
        // 128 x 128/255 + 5 = 69.25 and 2 x 100/3 + 10 = 76.7 are cut, not rounded.
        const std::vector<BeamIntensities> cells(3, BeamIntensities{0, 128, 255, 0});
        const IntensityPlotLines lines = LayOutIntensityPlot(QSize(138, 120), cells, 1);
        QCOMPARE(lines.beams[0].front(), QPoint(5, 10));
        QCOMPARE(lines.beams[1].back(), QPoint(69, 76));
        QCOMPARE(lines.beams[2].front(), QPoint(133, 10));
        QCOMPARE(lines.bed, QLine(5, 43, 133, 43));
        QVERIFY(LayOutIntensityPlot(QSize(138, 120), {}, 1).beams[0].isEmpty());
    }
    void columnListsRebuildTheTable() {
        QVERIFY(OpenSheet());  // Ensemble, Easting, Northing, Time, Depth, Cells Used
        auto* available = Sheet<QListWidget>("lstAvailable");
        available->setCurrentItem(available->findItems("Boat Speed", Qt::MatchExactly).front());
        Sheet<QPushButton>("btnAdd")->click();
        QCOMPARE(Headings().last(), "Boat Speed (m/s)");

        Sheet<QListWidget>("lstColumns")->setCurrentRow(0);
        Sheet<QPushButton>("btnRemove")->click();
        QCOMPARE(Headings().at(1), "Northing");
        QVERIFY(Items("lstAvailable").contains("Easting"));

        // A drag within the chosen list: Northing goes behind Time.
        auto* chosen = Sheet<QListWidget>("lstColumns");
        chosen->model()->moveRow(QModelIndex(), 0, QModelIndex(), 2);
        QTRY_COMPARE(Headings().mid(1, 2), QStringList({"Time", "Northing"}));
        QCOMPARE(AppSettings().Column[1], 1);
    }

    void layoutRoundTripsAndIsReadSafely() {
        QVERIFY(OpenSheet());
        SetColumns({18, 7, 2});
        AppSettings().ColWidth[1] = 150;
        const fs::path file = folders_->Root() / "layout.ini";
        QVERIFY(sheet_->SaveLayout(file));
        SetColumns({0});
        QVERIFY(sheet_->LoadLayout(file));
        QCOMPARE(AppSettings().NColumns, 3);
        QCOMPARE(Items("lstColumns"),
                 QStringList({"Mean Water Speed", "Bottom Track Speed", "Time"}));
        QCOMPARE(Sheet<QTableView>("grid")->columnWidth(2), 150);

        struct Case {
            const char* text;
            int columns;
        };
        for (const Case& c :
             {Case{"[Spreadsheet]\nNColumns=3\n", 3}, Case{"[Spreadsheet]\nNColumns=400\n", 20},
              Case{"[Spreadsheet]\nNColumns=-4\n", 0}}) {
            std::ofstream(file) << c.text;
            QVERIFY(sheet_->LoadLayout(file));
            QCOMPARE(AppSettings().NColumns, c.columns);
            for (int column = 0; column < c.columns; ++column) {
                QCOMPARE(AppSettings().Column[static_cast<std::size_t>(column)], 0);
                QCOMPARE(AppSettings().ColWidth[static_cast<std::size_t>(column)], 96);
            }
            QCOMPARE(Table()->columnCount(), c.columns + 1);
        }
        QVERIFY(!sheet_->LoadLayout(folders_->Root() / "missing.ini"));

        // Kinds that are none of ours go with their widths; the others keep theirs.
        std::ofstream(file) << "[Spreadsheet]\nNColumns=3\n[SpreadsheetCols]\nColumn0=7\n"
                               "ColWidth0=120\nColumn1=40\nColWidth1=300\nColumn2=-1\n";
        QVERIFY(sheet_->LoadLayout(file));
        QCOMPARE(AppSettings().NColumns, 1);
        QCOMPARE(Sheet<QTableView>("grid")->columnWidth(1), 120);
    }

    // The values are the quantity table's; here, that a ping without one shows dashes, the
    // export holds the current line, not the first, and the grid empties with the lines.
    void exportIsTheGridOfTheCurrentLineWithDashesForWhatAPingLacks() {
        QVERIFY(OpenSheet());
        SetColumns({2, 7});
        sheet_->Refresh();
        QCOMPARE(Cell(19, 2), "-----");  // bottom track lost
        const fs::path file = folders_->Root() / "table.txt";
        QVERIFY(sheet_->ExportTable(file));
        std::string text;
        QVERIFY(ReadWholeFile(file, text));
        const QStringList rows = QString::fromStdString(text).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 21);
        QVERIFY2(rows[1].startsWith(Cell(0, 1) + ","), qPrintable(rows[1]));
        QVERIFY(Cell(0, 1) != "09:30:00.0");
        AppDatabase().Clear();
        sheet_->Refresh();
        QCOMPARE(Table()->rowCount(), 0);
    }
};

QTEST_MAIN(PingTablesTest)
#include "PingTablesTest.moc"
