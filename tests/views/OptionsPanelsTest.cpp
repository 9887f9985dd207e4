// The windows that edit settings, driven by their controls' names. The view options dialog:
// what it shows, what Apply writes to the settings file, where it stops, the clip border and the
// declination button. The discharge window: the shore options between the settings and the
// controls, and the report's rebuild when another window changes what it depends on (its figures
// are the line collection's, LineDischargeTest; the main window's test opens it docked).

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <tuple>

#include "ViewTestFolders.h"
#include "processing/MagneticModel.h"
#include "services/AtomicFile.h"
#include "services/Geodesy.h"
#include "services/IniFile.h"
#include "services/TextService.h"
#include "services/UserPrompt.h"
#include "settings/SettingsFile.h"
#include "views/TfrmDischarge.h"
#include "views/TfrmViewOptions.h"

using namespace fluvex;

class OptionsPanelsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<RecordingPrompt> prompt_;
    std::unique_ptr<TfrmViewOptions> dialog_;
    std::unique_ptr<TfrmDischarge> discharge_;

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*dialog_, name);
    }
    template <typename T>
    T* InDischarge(const QString& name) const {
        return test::ChildOf<T>(*discharge_, name);
    }
    QLineEdit* Edit(const char* name) { return Control<QLineEdit>(name); }
    // The radio item of a group that carries `text`.
    QRadioButton* Item(const char* group, const QString& text) {
        for (QRadioButton* item : Control<QGroupBox>(group)->findChildren<QRadioButton*>())
            if (item->text() == text) return item;
        return nullptr;
    }
    void OpenDialog() {
        dialog_ = std::make_unique<TfrmViewOptions>();
        dialog_->SetPrompt(prompt_.get());
        dialog_->show();
    }
    // The settings as the file now holds them.
    static Settings SavedSettings() {
        Settings saved;
        ReadSettingsFile(saved, IniFile::Read(AppSettings().SettingsPath));
        return saved;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& message : prompt_->Messages())
            texts.push_back(message.text);
        return texts;
    }
    void OpenSurvey() {
        AppSettings().SetTime_Type(2);
        QVERIFY(folders_->OpenSuiteSurvey(*prompt_));
        QCOMPARE(AppDatabase().LineCount(), 3);
        AppSettings().CurrentLine = 0;
    }

private slots:
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        prompt_ = std::make_unique<RecordingPrompt>();
        discharge_ = std::make_unique<TfrmDischarge>();
        discharge_->SetPrompt(prompt_.get());
    }
    void cleanup() {
        dialog_.reset();
        discharge_.reset();
        folders_.reset();
    }

    void showsTheSettingsAndApplyWritesThemToTheFile() {
        Settings& settings = AppSettings();
        settings.SetVelAvgMode(2);
        settings.SetVelAveraging(1);
        settings.SetTime_Type(0);
        settings.SetVelOffset(1500);
        settings.bottomClipping = -1;
        OpenDialog();  // the averaging and timing shown are saved unchanged below
        QCOMPARE(Edit("edtVelOffset")->text(), QString("1.5"));
        QCOMPARE(Control<QComboBox>("cmbRangeType")->currentData().toInt(), 1);
        QVERIFY(Item("rdoBottomTrack", "ADCP Bottom Track")->isChecked());

        Edit("edtNRows")->setText("3");
        Edit("edtVelOffset")->setText("0.25");
        Edit("edtAvgSample")->clear();
        Edit("edtMagDec")->setText("not a number");
        Item("rdoBottomTrack", "Vertical Beam")->click();
        Control<QComboBox>("cmbRangeType")->setCurrentIndex(3);
        Control<QDoubleSpinBox>("edtDiscard")->setValue(6);
        const std::uint64_t processed = settings.ProcessingGeneration();
        QSignalSpy applied(dialog_.get(), &TfrmViewOptions::Applied);
        QTest::mouseClick(Control<QPushButton>("btnApply"), Qt::LeftButton);

        QCOMPARE(applied.count(), 1);
        QVERIFY(prompt_->Messages().empty());
        QVERIFY(settings.ProcessingGeneration() > processed);
        const Settings saved = SavedSettings();
        QCOMPARE(std::tuple(saved.NRows, saved.VelAvgMode(), saved.VelAveraging(),
                            saved.VelAvgSamples(), saved.Time_Type(), saved.VelOffset()),
                 std::tuple(3, 2, 1, 10, 2, 250));
        QCOMPARE(std::tuple(saved.MagDec(), saved.BottomTrack(), saved.bottomClipping,
                            saved.bottomClipVal),
                 std::tuple(0.0, 3, 3, 6.0));
    }

    void aFieldThatIsNotANumberStopsApplyThere_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("rowsKept");
        QTest::newRow("rows") << "edtNRows"
                              << "'x1' is not a valid integer value." << 2;
        QTest::newRow("averaging distance") << "edtAvgDist"
                                            << "'x1' is not a valid floating point value." << 7;
    }
    void aFieldThatIsNotANumberStopsApplyThere() {
        QFETCH(QString, field);
        QFETCH(QString, message);
        QFETCH(int, rowsKept);
        OpenDialog();
        Edit("edtNRows")->setText("7");
        Edit(field.toUtf8().constData())->setText("x1");
        QVERIFY(!dialog_->Apply());
        QCOMPARE(Messages(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(AppSettings().NRows, rowsKept);  // written before the field, not after
        QVERIFY(!std::filesystem::exists(AppSettings().SettingsPath));
    }

    void closeAppliesNothing() {
        OpenDialog();
        Edit("edtNRows")->setText("9");
        QTest::mouseClick(Control<QPushButton>("btnClose"), Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(AppSettings().NRows, 2);
        dialog_->show();
        QCOMPARE(Edit("edtNRows")->text(), QString("2"));
    }

    void loadsAndClearsTheClipBorder() {
        const auto border = folders_->Root() / "area.brd";
        std::ofstream(border) << "0 0\n100 0\n100 100\n0 100\n50 50\n";
        OpenDialog();
        QVERIFY(dialog_->LoadBorder(border));
        QCOMPARE(Edit("edtClipBrd")->text(), QString::fromStdString(border.string()));
        QVERIFY(!dialog_->LoadBorder(folders_->Root() / "none.brd"));
        QCOMPARE(prompt_->Messages().size(), std::size_t{1});
        QVERIFY(dialog_->LoadBorder(border));
        QTest::mouseClick(Control<QPushButton>("btnClearBrd"), Qt::LeftButton);
        QVERIFY(Edit("edtClipBrd")->text().isEmpty());
        QVERIFY(AppDatabase().Border().empty());
        QVERIFY(dialog_->Apply());
        QCOMPARE(SavedSettings().BorderFile, std::string());
    }

    void calculatePutsTheFirstPositionsDeclinationInTheField() {
        OpenSurvey();
        const std::filesystem::path cof = EnsureMagneticModelFile();
        OpenDialog();
        dialog_->CalculateDeclination();  // no geodesy: no position converts
        QCOMPARE(Messages(), std::vector<std::string>{TextService::LoadText(12540)});

        auto geodesy = Geodesy::Create("EPSG:32615", 1.0).geodesy;
        QVERIFY(geodesy);
        AppDatabase().SetGeodesy(geodesy.get());
        dialog_->CalculateDeclination();
        QCOMPARE(prompt_->Messages().size(), std::size_t{1});
        // The first ping's position and time, which only this test takes from a real line.
        using namespace std::chrono;
        const auto firstPing = sys_days(2024y / May / 14) + 9h + 30min;
        const GeographicPoint where = geodesy->ToGeographic(500000, 5000000);
        const auto model = LoadMagneticModel(cof).model;
        const double expected = Declination(
            model.get(), duration_cast<milliseconds>(firstPing.time_since_epoch()).count(),
            where.latitude, where.longitude, 0);
        QCOMPARE(Edit("edtMagDec")->text().toStdString(), FormatDeclination(expected));
        AppDatabase().SetGeodesy(nullptr);
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
        discharge_->LoadControls();
        QVERIFY(InDischarge<QRadioButton>(checked)->isChecked());
        QCOMPARE(InDischarge<QDoubleSpinBox>("edtStartWidth")->value(), 12.5);
        if (checked == "rdoStartCoeff")
            QCOMPARE(InDischarge<QDoubleSpinBox>("edtStartCoeff")->value(), 0.42);
        // Stored back unchanged.
        QVERIFY(discharge_->StoreControls());
        QCOMPARE(AppSettings().StartCoeff, coefficient);
        QCOMPARE(AppSettings().NShorePings, 7);
    }

    void storesTheShapeClickedAndTheWidths() {
        discharge_->LoadControls();
        InDischarge<QRadioButton>("rdoEndRectangular")->click();  // stores at once
        QCOMPARE(AppSettings().EndCoeff, 0.91);
        InDischarge<QRadioButton>("rdoStartCoeff")->click();
        InDischarge<QDoubleSpinBox>("edtStartCoeff")->setValue(0.5);
        InDischarge<QDoubleSpinBox>("edtEndWidth")->setValue(3.25);
        QVERIFY(discharge_->StoreControls());
        QCOMPARE(AppSettings().StartCoeff, 0.5);
        QCOMPARE(AppSettings().EndWidth, 3.25);
    }

    void refusesShorePingsOutsideOneTo120_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("none") << "0" << false;
        QTest::newRow("too many") << "121" << false;
        QTest::newRow("fraction") << "2.5" << false;
        QTest::newRow("most") << " 120 " << true;
    }
    void refusesShorePingsOutsideOneTo120() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        discharge_->LoadControls();
        AppSettings().StartWidth = 4;
        InDischarge<QLineEdit>("edtShorePings")->setText(text);
        QCOMPARE(discharge_->StoreControls(), accepted);
        QCOMPARE(AppSettings().NShorePings, accepted ? 120 : 1);
        QCOMPARE(AppSettings().StartWidth, accepted ? 0.0 : 4.0);  // nothing stored on refusal
        QCOMPARE(prompt_->Messages().size(), std::size_t{accepted ? 0U : 1U});
    }

    // Any processing option changed elsewhere rebuilds the table, not only the ones it names.
    void rebuildsWhenASettingChangesElsewhere() {
        discharge_->PollChanges();  // nothing loaded: nothing to show
        QVERIFY(discharge_->ReportText().isEmpty());
        OpenSurvey();
        discharge_->PollChanges();
        auto* report = InDischarge<QPlainTextEdit>("memReport");
        const std::function<void()> toggles[] = {
            [] { AppSettings().SetUseEdtHead(!AppSettings().UseEdtHead()); },
            [] { AppSettings().SetUseEdtPR(!AppSettings().UseEdtPR()); },
            [] { AppSettings().SetTime_Type(AppSettings().Time_Type() == 2 ? 1 : 2); }};
        for (const auto& toggle : toggles) {
            report->clear();
            toggle();
            discharge_->PollChanges();
            QVERIFY(discharge_->ReportText().contains(QString::fromUtf8("m³/s")));
        }
        AppSettings().VelocityUnits = 1;
        AppSettings().NShorePings = 5;
        discharge_->PollChanges();
        QVERIFY(discharge_->ReportText().contains(QString::fromUtf8("cm³/s")));
        QCOMPARE(InDischarge<QLineEdit>("edtShorePings")->text(), QString("5"));
    }

    void savesTheReportWithCrLf() {
        OpenSurvey();
        discharge_->RebuildReport();
        const QString file = QString::fromStdString((folders_->Root() / "report.txt").string());
        QString error;
        QVERIFY(discharge_->SaveReport(file, &error));
        std::string saved;
        QVERIFY(ReadWholeFile(file.toStdString(), saved));
        QString expected = discharge_->ReportText();
        expected.replace('\n', "\r\n");
        QCOMPARE(QString::fromStdString(saved), expected + "\r\n");

        QVERIFY(!discharge_->SaveReport(QString::fromStdString(folders_->Root().string()), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(OptionsPanelsTest)
#include "OptionsPanelsTest.moc"
