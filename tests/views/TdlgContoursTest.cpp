// The contour dialog driven by its controls' names: Run stores the settings, the worker thread's
// drawings land in <program data>/ADCP and the dialog offers to show the folder; an unreadable
// spacing is 0.25.

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include <memory>

#include "ViewTestFolders.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "views/TdlgContours.h"

using namespace fluvex;

class TdlgContoursTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;

private slots:
    void init() { folders_ = std::make_unique<test::ViewTestFolders>(); }
    void cleanup() { folders_.reset(); }

    void SpacingTextBecomesANumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("spacing");
        QTest::newRow("listed") << "2.5" << 2.5;
        QTest::newRow("typed") << " 0.3 " << 0.3;
        QTest::newRow("not a number") << "abc" << 0.25;
        QTest::newRow("zero") << "0" << 0.25;
        QTest::newRow("negative") << "-1" << 0.25;
    }
    void SpacingTextBecomesANumber() {
        QFETCH(QString, text);
        QFETCH(double, spacing);
        QCOMPARE(ContourSpacingOf(text), spacing);
    }

    // A profile of the real transect: settings stored, one drawing, the folder offered.
    void RunWritesProfilesAndOffersTheFolder() {
        RecordingPrompt loadPrompt;
        QVERIFY(AppDatabase().AddLine(
            std::string(FLUVEX_TEST_DATA) + "/pd0/winriver02_transect.PD0", {}, loadPrompt));
        AppSettings().SetTime_Type(1);  // the instrument clock: this file's time tag stands still
        TdlgContours dialog;
        RecordingPrompt prompt(true);
        QString opened;
        dialog.SetPrompt(&prompt);
        dialog.SetFolderOpener([&opened](const QString& folder) { opened = folder; });
        for (QRadioButton* item : dialog.findChildren<QRadioButton*>())
            item->setChecked(item->text() == "Vertical Profiles");
        dialog.findChild<QComboBox*>("cmbContourSpacing")->setEditText("abc");
        dialog.findChild<QSpinBox*>("edtMaxLeg")->setValue(12);
        dialog.findChild<QSpinBox*>("edtSmoothing")->setValue(3);
        dialog.findChild<QPushButton*>("btnRun")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), 20000);
        QCOMPARE(AppSettings().ContMode, 1);
        QCOMPARE(AppSettings().ContVelocityInterval, 0.25);
        QCOMPARE(AppSettings().ContMaxLeg, 12.0);
        QCOMPARE(AppSettings().ContSmoothing, 3);
        const auto folder = folders_->Root() / "data" / "ADCP";
        QVERIFY2(std::filesystem::exists(folder / "winriver02_transect.dxf"),
                 qPrintable(dialog.findChild<QLabel*>("lblStatus")->text()));
        QCOMPARE(prompt.Messages().size(), std::size_t{1});
        QVERIFY(prompt.Messages()[0].question);
        QCOMPARE(prompt.Messages()[0].caption, std::string("Done"));
        QCOMPARE(opened, QString::fromStdString(folder.string()));
    }

    // Slices below the bed give no drawing, and the finished status still says so.
    void SlicesWithoutDataAreNamedAtTheEnd() {
        RecordingPrompt loadPrompt;
        QVERIFY(AppDatabase().AddLine(
            std::string(FLUVEX_TEST_DATA) + "/pd0/winriver02_transect.PD0", {}, loadPrompt));
        Units().SetDistanceUnit(0);
        AppSettings().AutoScaleDepth = false;
        AppSettings().MaxDepth = 30;
        AppSettings().ContMode = 0;
        AppSettings().ContHorzSliceInterval = 25;
        TdlgContours dialog;
        RecordingPrompt prompt(false);
        dialog.SetPrompt(&prompt);
        dialog.findChild<QPushButton*>("btnRun")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.Running(), 20000);
        QCOMPARE(dialog.findChild<QLabel*>("lblStatus")->text(),
                 QString("Success (No data at 25.00 m)"));
        QVERIFY(!std::filesystem::exists(folders_->Root() / "data" / "ADCP" / "25.00_m.dxf"));
    }
};

QTEST_MAIN(TdlgContoursTest)
#include "TdlgContoursTest.moc"
