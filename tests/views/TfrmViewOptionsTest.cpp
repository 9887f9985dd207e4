// The view options dialog driven by its controls' names: what it shows, what Apply writes to the
// settings file, where it stops, the clip border and the declination button.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <chrono>
#include <fstream>
#include <memory>
#include <tuple>

#include "ViewTestFolders.h"
#include "processing/MagneticModel.h"
#include "project/LineLoading.h"
#include "services/Geodesy.h"
#include "services/IniFile.h"
#include "services/TextService.h"
#include "services/UserPrompt.h"
#include "settings/SettingsFile.h"
#include "views/TfrmViewOptions.h"

using namespace fluvex;

class TfrmViewOptionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<RecordingPrompt> prompt_;
    std::unique_ptr<TfrmViewOptions> dialog_;

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*dialog_, name);
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
    }

private slots:
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        prompt_ = std::make_unique<RecordingPrompt>();
    }
    void cleanup() {
        dialog_.reset();
        folders_.reset();
    }

    void showsTheSettingsAndApplyWritesThemToTheFile() {
        Settings& settings = AppSettings();
        settings.SetVelAvgMode(2);
        settings.SetVelAveraging(1);
        settings.SetTime_Type(0);
        settings.SetVelOffset(1500);
        settings.bottomClipping = -1;
        OpenDialog();
        QVERIFY(Control<QRadioButton>("rdoAvgSamples")->isChecked());
        QVERIFY(!Control<QGroupBox>("gbAvgMeth")->isHidden());
        QVERIFY(Edit("edtAvgSample")->isEnabled());
        QVERIFY(!Edit("edtAvgDist")->isEnabled());
        QVERIFY(Control<QCheckBox>("cbChronex")->isChecked());
        QCOMPARE(Edit("edtVelOffset")->text(), QString("1.5"));
        QCOMPARE(Control<QComboBox>("cmbRangeType")->currentData().toInt(), 1);
        QVERIFY(Control<QDoubleSpinBox>("edtDiscard")->isHidden());
        // No line loaded: every depth reference is offered; the setting's item is selected.
        QCOMPARE(Control<QGroupBox>("rdoBottomTrack")->findChildren<QRadioButton*>().size(), 4);
        QVERIFY(Item("rdoBottomTrack", "ADCP Bottom Track")->isChecked());

        Edit("edtNRows")->setText("3");
        Edit("edtVelOffset")->setText("0.25");
        Edit("edtAvgSample")->clear();
        Edit("edtMagDec")->setText("not a number");
        Item("rdoBottomTrack", "Vertical Beam")->click();
        Control<QComboBox>("cmbRangeType")->setCurrentIndex(3);
        QVERIFY(!Control<QDoubleSpinBox>("edtDiscard")->isHidden());
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
        QTest::newRow("heading offset") << "edtHdgOffset"
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

    void closeKeepsThePlaceAndAppliesNothing() {
        OpenDialog();
        dialog_->move(40, 60);
        Edit("edtNRows")->setText("9");
        QTest::mouseClick(Control<QPushButton>("btnClose"), Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(AppSettings().OptionsWindow.Left, 40);
        QCOMPARE(AppSettings().OptionsWindow.Top, 60);
        QCOMPARE(AppSettings().NRows, 2);
        dialog_->show();
        QCOMPARE(dialog_->pos(), QPoint(40, 60));
        QCOMPARE(Edit("edtNRows")->text(), QString("2"));
    }

    void loadsAndClearsTheClipBorder() {
        const auto border = folders_->Root() / "area.brd";
        std::ofstream(border) << "0 0\n100 0\n100 100\n0 100\n50 50\n";
        const auto tooShort = folders_->Root() / "short.brd";
        std::ofstream(tooShort) << "0 0\n100 0\n";
        OpenDialog();

        QVERIFY(dialog_->LoadBorder(border));
        QCOMPARE(Edit("edtClipBrd")->text(), QString::fromStdString(border.string()));
        QCOMPARE(AppDatabase().Border().size(), std::size_t{4});

        QVERIFY(!dialog_->LoadBorder(tooShort));
        QCOMPARE(prompt_->Messages().size(), std::size_t{1});
        QCOMPARE(Edit("edtClipBrd")->text(), QString::fromStdString(border.string()));
        QVERIFY(AppDatabase().Border().empty());

        QVERIFY(dialog_->LoadBorder(border));
        QTest::mouseClick(Control<QPushButton>("btnClearBrd"), Qt::LeftButton);
        QVERIFY(Edit("edtClipBrd")->text().isEmpty());
        QVERIFY(AppDatabase().Border().empty());
        QVERIFY(dialog_->Apply());
        QCOMPARE(SavedSettings().BorderFile, std::string());
    }

    void calculateNeedsTheModelAndALoadedLine() {
        OpenDialog();  // no WMM.COF in the settings folder yet
        QVERIFY(!Control<QPushButton>("btnMagDec")->isEnabled());
        QVERIFY(!EnsureMagneticModelFile().empty());
        OpenDialog();
        QVERIFY(Control<QPushButton>("btnMagDec")->isEnabled());
        QTest::mouseClick(Control<QPushButton>("btnMagDec"), Qt::LeftButton);
        QCOMPARE(Messages(), std::vector<std::string>{TextService::LoadText(12538)});
        QCOMPARE(prompt_->Messages().front().caption, TextService::LoadText(1703));
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
};

QTEST_MAIN(TfrmViewOptionsTest)
#include "TfrmViewOptionsTest.moc"
