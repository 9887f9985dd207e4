// The spreadsheet: its column lists rebuild the grid, the layout file round-trips and is read
// safely, pings without a value show "-----", and the export is the grid of the current line,
// read back by Python's csv module.

#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <fstream>
#include <memory>

#include "ViewTestFolders.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "views/TfrmSpreadsheet.h"

using namespace fluvex;
namespace fs = std::filesystem;

class TfrmSpreadsheetTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<TfrmSpreadsheet> window_;

    template <typename T>
    T* Control(const char* name) const {
        T* control = window_->findChild<T*>(name);
        if (control == nullptr) qFatal("no control %s", name);
        return control;
    }
    QAbstractItemModel* Grid() const { return Control<QTableView>("grid")->model(); }
    QStringList Headings() const {
        QStringList texts;
        for (int column = 0; column < Grid()->columnCount(); ++column)
            texts << Grid()->headerData(column, Qt::Horizontal).toString();
        return texts;
    }
    QString Cell(int row, int column) const {
        return Grid()->data(Grid()->index(row, column)).toString();
    }
    QStringList Items(const char* list) const {
        QStringList texts;
        for (int row = 0; row < Control<QListWidget>(list)->count(); ++row)
            texts << Control<QListWidget>(list)->item(row)->text();
        return texts;
    }
    void SetColumns(std::initializer_list<int> kinds) {
        AppSettings().NColumns = static_cast<int>(kinds.size());
        std::ranges::copy(kinds, AppSettings().Column.begin());
    }

private slots:
    // Two 20-ping lines of instrument files without navigation, in metres and m/s; the last
    // quarter of each line lost its bottom-track velocities.
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        Units().SetDistanceUnit(0);
        AppSettings().SetTime_Type(1);
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = bare\nLines = 2\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 40\nDepth = 3\n[Track]\nEnsembles = 20\nSpeed = 0.9\n"
            "[Instrument]\nBottomTrackLost = 0.25\n");
        std::vector<fs::path> files;
        for (const auto& file : synth::WriteSurvey(description, folders_->Root()))
            if (file.extension() == ".PD0") files.push_back(file);
        RecordingPrompt prompt;
        QCOMPARE(OpenSurveyFiles(AppDatabase(), files, prompt).failedFiles, 0);
        AppSettings().CurrentLine = 1;
        window_ = std::make_unique<TfrmSpreadsheet>();
        window_->resize(900, 500);
        window_->show();
    }
    void cleanup() {
        window_.reset();
        folders_.reset();
    }

    void columnListsRebuildTheGrid() {
        QCOMPARE(Headings(), QStringList({"Ensemble", "Easting", "Northing", "Time", "Depth (m)",
                                          "Cells Used"}));
        QCOMPARE(Grid()->rowCount(), 20);
        QCOMPARE(Items("lstAvailable").size(), 15);
        QVERIFY(!Items("lstAvailable").contains("Easting"));

        auto* available = Control<QListWidget>("lstAvailable");
        available->setCurrentItem(available->findItems("Boat Speed", Qt::MatchExactly).front());
        Control<QPushButton>("btnAdd")->click();
        QCOMPARE(Headings().last(), "Boat Speed (m/s)");
        QVERIFY(!Items("lstAvailable").contains("Boat Speed"));

        Control<QListWidget>("lstColumns")->setCurrentRow(0);
        Control<QPushButton>("btnRemove")->click();
        QCOMPARE(Headings().at(1), "Northing");
        QVERIFY(Items("lstAvailable").contains("Easting"));

        // A drag within the chosen list: Northing goes behind Time.
        auto* chosen = Control<QListWidget>("lstColumns");
        chosen->model()->moveRow(QModelIndex(), 0, QModelIndex(), 2);
        QTRY_COMPARE(Headings().mid(1, 2), QStringList({"Time", "Northing"}));
        QCOMPARE(AppSettings().Column[1], 1);
    }

    void layoutRoundTripsAndIsReadSafely() {
        SetColumns({18, 7, 2});
        AppSettings().ColWidth[1] = 150;
        const fs::path file = folders_->Root() / "layout.ini";
        QVERIFY(window_->SaveLayout(file));
        SetColumns({0});
        QVERIFY(window_->LoadLayout(file));
        QCOMPARE(AppSettings().NColumns, 3);
        QCOMPARE(Items("lstColumns"),
                 QStringList({"Mean Water Speed", "Bottom Track Speed", "Time"}));
        QCOMPARE(Control<QTableView>("grid")->columnWidth(2), 150);

        struct Case {
            const char* text;
            int columns;
        };
        for (const Case& c :
             {Case{"[Spreadsheet]\nNColumns=3\n", 3}, Case{"[Spreadsheet]\nNColumns=400\n", 20},
              Case{"[Spreadsheet]\nNColumns=-4\n", 0}}) {
            std::ofstream(file) << c.text;
            QVERIFY(window_->LoadLayout(file));
            QCOMPARE(AppSettings().NColumns, c.columns);
            for (int column = 0; column < c.columns; ++column) {
                QCOMPARE(AppSettings().Column[static_cast<std::size_t>(column)], 0);
                QCOMPARE(AppSettings().ColWidth[static_cast<std::size_t>(column)], 96);
            }
            QCOMPARE(Grid()->columnCount(), c.columns + 1);
        }
        QVERIFY(!window_->LoadLayout(folders_->Root() / "missing.ini"));

        // Kinds that are none of ours go with their widths; the others keep theirs.
        std::ofstream(file) << "[Spreadsheet]\nNColumns=3\n[SpreadsheetCols]\nColumn0=7\n"
                               "ColWidth0=120\nColumn1=40\nColWidth1=300\nColumn2=-1\n";
        QVERIFY(window_->LoadLayout(file));
        QCOMPARE(AppSettings().NColumns, 1);
        QCOMPARE(Control<QTableView>("grid")->columnWidth(1), 120);
    }

    void valuesAPingCannotGiveShowDashes() {
        SetColumns({0, 7, 2});
        window_->Refresh();
        QCOMPARE(Cell(0, 1), "-----");  // no position
        QVERIFY(Cell(0, 2) != "-----");
        QCOMPARE(Cell(19, 2), "-----");    // bottom track lost
        QCOMPARE(Cell(19, 3).size(), 10);  // hh:mm:ss.s
        AppDatabase().Clear();
        window_->Refresh();
        QCOMPARE(Grid()->rowCount(), 0);
        QCOMPARE(Grid()->columnCount(), 4);
    }

    // Of the current line only (not the first), one field per heading, as the grid shows it.
    void exportIsTheGridOfTheCurrentLine() {
        SetColumns({2, 7, 13, 5, 0});
        window_->Refresh();
        const fs::path file = folders_->Root() / "table.txt";
        QVERIFY(window_->ExportTable(file));
        QProcess python;
        python.start("/usr/bin/python3",
                     {"-c",
                      "import csv,sys,json; rows=list(csv.reader(open(sys.argv[1],newline='',"
                      "encoding='utf-8'))); print(json.dumps(rows))",
                      QString::fromStdString(file.string())});
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.exitCode(), 0);
        const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 21);
        QCOMPARE(rows[0].toArray().toVariantList(),
                 QVariantList({"Time", "Bottom Track Speed", "Heading", "Cells Used", "Easting"}));
        for (int row = 1; row < rows.size(); ++row) {
            const QJsonArray fields = rows[row].toArray();
            QCOMPARE(fields.size(), 5);
            for (int column = 0; column < 5; ++column)
                QCOMPARE(fields[column].toString(), Cell(row - 1, column + 1));
        }
        QCOMPARE(Cell(0, 1).left(5), "09:30");  // the second line starts after the first
        QVERIFY(Cell(0, 1) != "09:30:00.0");
    }
};

QTEST_MAIN(TfrmSpreadsheetTest)
#include "TfrmSpreadsheetTest.moc"
