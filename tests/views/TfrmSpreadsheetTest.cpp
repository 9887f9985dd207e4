// The spreadsheet: its column lists rebuild the grid, the layout file round-trips and is read
// safely, pings without a value show "-----", and the export is the grid of the current line.

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <fstream>
#include <memory>

#include "ViewTestFolders.h"
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
        return test::ChildOf<T>(*window_, name);
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
        QVERIFY(folders_->OpenSurvey(
            "[Survey]\nName = bare\nLines = 2\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 40\nDepth = 3\n[Track]\nEnsembles = 20\nSpeed = 0.9\n"
            "[Instrument]\nBottomTrackLost = 0.25\n",
            ".PD0"));
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

        auto* available = Control<QListWidget>("lstAvailable");
        available->setCurrentItem(available->findItems("Boat Speed", Qt::MatchExactly).front());
        Control<QPushButton>("btnAdd")->click();
        QCOMPARE(Headings().last(), "Boat Speed (m/s)");

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

    // The values are the quantity table's; here, that a ping without one shows it and the grid
    // empties with the lines.
    void valuesAPingCannotGiveShowDashes() {
        SetColumns({0, 7, 2});
        window_->Refresh();
        QCOMPARE(Cell(19, 2), "-----");  // bottom track lost
        AppDatabase().Clear();
        window_->Refresh();
        QCOMPARE(Grid()->rowCount(), 0);
    }

    // The table text is the quantity table's; the export holds the current line, not the first.
    void exportIsTheGridOfTheCurrentLine() {
        SetColumns({2, 7});
        window_->Refresh();
        const fs::path file = folders_->Root() / "table.txt";
        QVERIFY(window_->ExportTable(file));
        QFile text(QString::fromStdString(file.string()));
        QVERIFY(text.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(text.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 21);
        QVERIFY2(rows[1].startsWith(Cell(0, 1) + ","), qPrintable(rows[1]));
        QVERIFY(Cell(0, 1) != "09:30:00.0");
    }
};

QTEST_MAIN(TfrmSpreadsheetTest)
#include "TfrmSpreadsheetTest.moc"
