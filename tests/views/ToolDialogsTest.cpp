// The tool dialogs driven by their controls' names. The colour editor: Save writes the edited
// table, Cancel and a refused Save write nothing. The contour dialog: Run stores the settings, the
// worker thread's drawings land in <program data>/ADCP and the dialog offers to show the folder;
// an unreadable spacing is 0.25. The runs' own outcomes are ContourRunTest's.

#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "ViewTestFolders.h"
#include "project/Database.h"
#include "services/AtomicFile.h"
#include "services/ColourTable.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "views/TdlgColourEditor.h"
#include "views/TdlgContours.h"

using namespace fluvex;

class ToolDialogsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::filesystem::path original_;
    RecordingPrompt prompt_;
    std::unique_ptr<TdlgColourEditor> dialog_;

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*dialog_, name);
    }
    void Click(const char* button) {
        QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
    }
    std::filesystem::path File(const char* name) const { return folders_->Root() / name; }
    static std::unique_ptr<ColourTable> Read(const std::filesystem::path& file) {
        std::string error;
        auto table = ColourTable::Read(file, error);
        if (!table) qFatal("%s", error.c_str());
        return table;
    }

private slots:
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        original_ = File("ADCP.hcf");
        QVERIFY(ColourTable::WriteDefaultFile(original_));
        dialog_ = std::make_unique<TdlgColourEditor>(Read(original_));
        dialog_->SetPrompt(&prompt_);
        dialog_->show();
    }
    void cleanup() {
        dialog_.reset();
        folders_.reset();
    }

    void saveWritesTheEditedTable() {
        QCOMPARE(Control<QListWidget>("lstStops")->count(), 5);
        Control<QDoubleSpinBox>("edtMaximum")->setValue(3);
        Control<QDoubleSpinBox>("edtStep")->setValue(0.03);
        Click("btnAddStop");  // after the first stop: halfway from magenta to blue
        Click("btnBelowColour");
        auto* chooser = dialog_->findChild<QColorDialog*>("dlgColour");
        QVERIFY(chooser);
        chooser->setCurrentColor(QColor(0, 255, 0));
        chooser->accept();
        const auto saved = File("edited.hcf");
        Control<QLineEdit>("edtFileName")->setText(QString::fromStdString(saved.string()));
        Click("btnSave");

        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        QCOMPARE(dialog_->SavedFile(), std::optional{saved});
        const auto table = Read(saved);
        QCOMPARE(table->Properties().maximum, 3.0);
        QCOMPARE(table->Properties().step, 0.03);
        QCOMPARE(table->Stops().size(), std::size_t{6});
        QCOMPARE(table->Stops()[1], MakeColour(127, 0, 255));
        QCOMPARE(table->BelowColour(), MakeColour(0, 255, 0));
    }

    void keepsAtLeastTwoStops() {
        for (int i = 0; i < 5; ++i)
            Click("btnRemoveStop");
        QCOMPARE(Control<QListWidget>("lstStops")->count(), 2);
        QVERIFY(!Control<QPushButton>("btnRemoveStop")->isEnabled());
    }

    void cancelAndARefusedSaveWriteNothing() {
        std::string before, after;
        QVERIFY(ReadWholeFile(original_, before));
        Control<QDoubleSpinBox>("edtMaximum")->setValue(0);  // an empty range
        Click("btnSave");
        QCOMPARE(prompt_.Messages().size(), std::size_t{1});
        QVERIFY(dialog_->isVisible());
        Click("btnCancel");
        QCOMPARE(dialog_->result(), int(QDialog::Rejected));
        QVERIFY(!dialog_->SavedFile());
        QVERIFY(ReadWholeFile(original_, after));
        QCOMPARE(after, before);
    }

    void SpacingTextBecomesANumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("spacing");
        QTest::newRow("listed") << "2.5" << 2.5;
        QTest::newRow("typed") << " 0.3 " << 0.3;
        QTest::newRow("not a number") << "abc" << 0.25;
        QTest::newRow("zero") << "0" << 0.25;
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
};

QTEST_MAIN(ToolDialogsTest)
#include "ToolDialogsTest.moc"
