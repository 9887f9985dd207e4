// The discharge window: the shore options between the settings and the controls, the report of a
// generated survey and its rebuild when another window changes what it depends on.

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest>

#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ViewTestFolders.h"
#include "project/LineLoading.h"
#include "services/UserPrompt.h"
#include "views/TfrmDischarge.h"

using namespace fluvex;

class TfrmDischargeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<RecordingPrompt> prompt_;
    std::unique_ptr<TfrmDischarge> window_;

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*window_, name);
    }
    // Depths from the suite's sounder (surface to bed, as the generator's layers) in metres.
    void OpenSurvey() {
        Units().SetDistanceUnit(0);
        AppSettings().SetBottomTrack(0);
        AppSettings().SetTime_Type(2);
        QVERIFY(folders_->OpenSuiteSurvey(*prompt_));
        AppSettings().CurrentLine = 0;
    }
    // The total of line n's row: the last column.
    static double RowTotal(const QString& report, int line) {
        const QString name = QString("job_00%1").arg(line);
        for (const QString& row : report.split('\n'))
            if (row.startsWith(name)) return row.split(' ', Qt::SkipEmptyParts).last().toDouble();
        return -1;
    }
    double TruthTotal(int line) const {
        std::ifstream in(folders_->Root() / "job" /
                         ("job_00" + std::to_string(line) + ".truth.json"));
        const auto truth = nlohmann::json::parse(in)["discharge"];
        return truth["top"].get<double>() + truth["measured"].get<double>() +
               truth["bottom"].get<double>();
    }

private slots:
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        prompt_ = std::make_unique<RecordingPrompt>();
        window_ = std::make_unique<TfrmDischarge>();
        window_->SetPrompt(prompt_.get());
    }
    void cleanup() {
        window_.reset();
        folders_.reset();
    }

    void loadsTheEdgeShapeFromItsCoefficient_data() {
        QTest::addColumn<double>("coefficient");
        QTest::addColumn<QString>("checked");
        QTest::newRow("triangular") << 0.31 << "rdoStartTriangular";
        QTest::newRow("rectangular") << 0.91 << "rdoStartRectangular";
        QTest::newRow("own") << 0.42 << "rdoStartCoeff";
    }
    void loadsTheEdgeShapeFromItsCoefficient() {
        QFETCH(double, coefficient);
        QFETCH(QString, checked);
        AppSettings().StartCoeff = coefficient;
        AppSettings().StartWidth = 12.5;
        AppSettings().NShorePings = 7;
        window_->LoadControls();
        QVERIFY(Control<QRadioButton>(checked)->isChecked());
        QCOMPARE(Control<QDoubleSpinBox>("edtStartWidth")->value(), 12.5);
        QCOMPARE(Control<QLineEdit>("edtShorePings")->text(), QString("7"));
        if (checked == "rdoStartCoeff")
            QCOMPARE(Control<QDoubleSpinBox>("edtStartCoeff")->value(), 0.42);
        // Stored back unchanged.
        QVERIFY(window_->StoreControls());
        QCOMPARE(AppSettings().StartCoeff, coefficient);
        QCOMPARE(AppSettings().NShorePings, 7);
    }

    void storesTheShapeClickedAndTheWidths() {
        window_->LoadControls();
        Control<QRadioButton>("rdoEndRectangular")->click();  // stores at once
        QCOMPARE(AppSettings().EndCoeff, 0.91);
        Control<QRadioButton>("rdoStartCoeff")->click();
        Control<QDoubleSpinBox>("edtStartCoeff")->setValue(0.5);
        Control<QDoubleSpinBox>("edtEndWidth")->setValue(3.25);
        QVERIFY(window_->StoreControls());
        QCOMPARE(AppSettings().StartCoeff, 0.5);
        QCOMPARE(AppSettings().EndWidth, 3.25);
    }

    void refusesShorePingsOutsideOneTo120_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("not a number") << "a few" << false;
        QTest::newRow("none") << "0" << false;
        QTest::newRow("too many") << "121" << false;
        QTest::newRow("fraction") << "2.5" << false;
        QTest::newRow("most") << " 120 " << true;
    }
    void refusesShorePingsOutsideOneTo120() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        window_->LoadControls();
        AppSettings().StartWidth = 4;
        Control<QLineEdit>("edtShorePings")->setText(text);
        QCOMPARE(window_->StoreControls(), accepted);
        QCOMPARE(AppSettings().NShorePings, accepted ? 120 : 1);
        QCOMPARE(AppSettings().StartWidth, accepted ? 0.0 : 4.0);  // nothing stored on refusal
        QCOMPARE(prompt_->Messages().size(), std::size_t{accepted ? 0U : 1U});
    }

    void reportsEveryLineOfAGeneratedSurvey() {
        OpenSurvey();
        window_->RebuildReport();
        const QString report = window_->ReportText();
        QVERIFY(report.contains(QString::fromUtf8("m³/s")));
        // Edges are 0 with the default widths; the rest is the generator's layers, to within
        // the instrument's mm/s rounding and the ensemble-by-ensemble integration.
        for (int line = 1; line <= 3; ++line)
            QVERIFY2(std::abs(RowTotal(report, line) - TruthTotal(line)) < 0.02 * TruthTotal(line),
                     qPrintable(report));
        QVERIFY(Control<QPlainTextEdit>("memReport")->isReadOnly());
    }

    void rebuildsWhenAWatchedSettingChanges() {
        window_->PollChanges();  // nothing loaded: nothing to show
        QVERIFY(window_->ReportText().isEmpty());
        OpenSurvey();
        window_->PollChanges();
        QVERIFY(window_->ReportText().contains(QString::fromUtf8("m³/s")));

        AppSettings().VelocityUnits = 1;
        AppSettings().NShorePings = 5;
        window_->PollChanges();
        QVERIFY(window_->ReportText().contains(QString::fromUtf8("cm³/s")));
        QCOMPARE(Control<QLineEdit>("edtShorePings")->text(), QString("5"));
    }

    // Any processing option changed elsewhere rebuilds the table, not only the ones it names.
    void rebuildsAfterTheHeadingAttitudeAndTimingToggles() {
        OpenSurvey();
        window_->PollChanges();
        auto* report = Control<QPlainTextEdit>("memReport");
        const std::function<void()> toggles[] = {
            [] { AppSettings().SetUseEdtHead(!AppSettings().UseEdtHead()); },
            [] { AppSettings().SetUseEdtPR(!AppSettings().UseEdtPR()); },
            [] { AppSettings().SetTime_Type(AppSettings().Time_Type() == 2 ? 1 : 2); }};
        for (const auto& toggle : toggles) {
            report->clear();
            toggle();
            window_->PollChanges();
            QVERIFY(window_->ReportText().contains(QString::fromUtf8("m³/s")));
        }
    }

    void savesTheReportWithCrLf() {
        OpenSurvey();
        window_->RebuildReport();
        const QString file = QString::fromStdString((folders_->Root() / "report.txt").string());
        QString error;
        QVERIFY(window_->SaveReport(file, &error));
        std::ifstream in(file.toStdString(), std::ios::binary);
        std::stringstream saved;
        saved << in.rdbuf();
        QString expected = window_->ReportText();
        expected.replace('\n', "\r\n");
        QCOMPARE(QString::fromStdString(saved.str()), expected + "\r\n");

        QVERIFY(!window_->SaveReport(QString::fromStdString(folders_->Root().string()), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TfrmDischargeTest)
#include "TfrmDischargeTest.moc"
