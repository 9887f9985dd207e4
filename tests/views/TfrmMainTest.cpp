// The main window driven by its controls' names: opening surveys, moving through the lines, the
// reference groups, the timing choice, the panels and their layout file, auto-scaled colours;
// then the worker-thread glue and the desktop command line.

#include <QDockWidget>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QThread>
#include <QToolButton>
#include <QtTest>

#include <fstream>
#include <memory>
#include <stdexcept>

#include "ViewTestFolders.h"
#include "processing/MagneticModel.h"
#include "readers/ReadFeedback.h"
#include "services/AtomicFile.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/Geodesy.h"
#include "services/IniFile.h"
#include "services/UserPrompt.h"
#include "views/BackgroundWork.h"
#include "views/CodedRadioGroup.h"
#include "views/DesktopCommandLine.h"
#include "views/DockSite.h"
#include "views/ExportMenu.h"
#include "views/TfrmMain.h"

using namespace fluvex;
namespace fs = std::filesystem;

namespace {

// Answers Yes and notes on which thread it was asked.
class ThreadNotingPrompt final : public UserPrompt {
public:
    void ShowError(std::string_view text, std::string_view) override { Note(text); }
    bool AskYesNo(std::string_view text, std::string_view) override {
        Note(text);
        return true;
    }
    QStringList texts;
    QList<QThread*> threads;

private:
    void Note(std::string_view text) {
        texts << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        threads << QThread::currentThread();
    }
};

LongWork WorkOf(std::function<void(ReadFeedback&, UserPrompt&)> work) {
    return {"Test", [](int) { return QString(); }, std::move(work)};
}

}  // namespace

class TfrmMainTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<RecordingPrompt> prompt_;
    std::unique_ptr<TfrmMain> window_;

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*window_, name);
    }
    QAction* Action(const char* name) const { return Control<QAction>(name); }
    QDockWidget* Panel(const char* name) const { return Control<QDockWidget>(name); }

    QString CheckedItem(const char* group) const {
        for (const QRadioButton* item :
             Control<CodedRadioGroup>(group)->findChildren<QRadioButton*>())
            if (item->isChecked()) return item->text();
        return {};
    }
    QStringList Lines() const {
        QStringList texts;
        const QListWidget* list = Control<QListWidget>("lstSelectFile");
        for (int row = 0; row < list->count(); ++row)
            texts << list->item(row)->text();
        return texts;
    }

    void NewWindow() {
        window_ = std::make_unique<TfrmMain>();
        window_->SetPrompt(prompt_.get());
        window_->show();
    }
    void OpenSuiteSurvey() {
        const std::vector<fs::path> files{folders_->WriteSuiteSurvey()};
        QCOMPARE(window_->OpenFiles(files).failedFiles, 0);
    }
    // Instrument files without the suite's line files; `extra` adds to the description.
    void OpenInstrumentFiles(const std::string& extra = {}) {
        const auto description = synth::ParseSurveyDescription(
            "[Survey]\nName = solo\nLines = 2\nStart = 2024-05-14T09:30:00.00\n"
            "[Section]\nWidth = 40\nDepth = 3\n[Track]\nEnsembles = 30\nSpeed = 0.8\n" +
            extra);
        std::vector<fs::path> files;
        for (const fs::path& file : synth::WriteSurvey(description, folders_->Root() / "solo"))
            if (file.extension() == ".PD0") files.push_back(file);
        QCOMPARE(window_->OpenFiles(files).failedFiles, 0);
    }

private slots:
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        prompt_ = std::make_unique<RecordingPrompt>();
        NewWindow();
    }
    void cleanup() {
        window_.reset();
        prompt_.reset();
        folders_.reset();
    }

    void openingALogListsItsLinesAndReportsTheirDischarge() {
        OpenSuiteSurvey();
        QCOMPARE(Lines(), QStringList({"1 - job_001.000", "2 - job_002.000", "3 - job_003.000"}));
        const QString report =
            Control<QWidget>("dockDischarge")->findChild<QPlainTextEdit*>()->toPlainText();
        QVERIFY2(report.contains("job_003.000"), qPrintable(report));
        QVERIFY(prompt_->Messages().empty());
    }

    void exportsWriteEveryLineAndTellWhatFailed() {
        OpenSuiteSurvey();
        const fs::path folder = folders_->Root() / "exports";
        fs::create_directories(folder);
        window_->Export(LineExportWork(LineExportKind::Csv, folder));
        window_->Export(WorkbookWork(folder / "survey.xlsx"));
        QVERIFY(fs::file_size(folder / "job_003.csv") > 0);
        QVERIFY(fs::file_size(folder / "survey.xlsx") > 0);
        QVERIFY(prompt_->Messages().empty());

        // CSV goes on past a line it cannot write, XYZ stops at the first.
        const fs::path missing = folders_->Root() / "no-such-folder";
        window_->Export(LineExportWork(LineExportKind::Csv, missing));
        QCOMPARE(prompt_->Messages().size(), std::size_t{3});
        QCOMPARE(prompt_->Messages()[0].text,
                 (missing / "job_001.csv").string() + "\nUnable to save file.");
        window_->Export(LineExportWork(LineExportKind::Xyz, missing));
        QCOMPARE(prompt_->Messages().size(), std::size_t{4});
        window_->Export(RtfReportWork(missing / "survey.rtf"));
        QCOMPARE(prompt_->Messages().back().text,
                 "Unable to save file\n" + (missing / "survey.rtf").string() +
                     ": cannot create a file beside " + (missing / "survey.rtf").string());
    }

    // File > Save RTF Report asks where, starting in the program's data folder, and writes there.
    void saveRtfReportAsksWhereAndWritesThere() {
        OpenSuiteSurvey();
        QString folder;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            folder = dialog->directory().absolutePath();
            dialog->selectFile("lines");              // the extension comes with the dialog
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept takes the name
        });
        Action("actSaveRTF")->trigger();
        QCOMPARE(folder, QString::fromStdString((folders_->Root() / "data").string()));
        // How many pictures and where is the report's own test; here that the window gives them.
        std::string report;
        QVERIFY(ReadWholeFile(folders_->Root() / "data" / "lines.rtf", report));
        QVERIFY(report.find("\\jpegblip") != std::string::npos);
        QVERIFY(prompt_->Messages().empty());
    }

    void nextPreviousAndIgnoreMoveThroughTheLines() {
        OpenSuiteSurvey();
        QTest::mouseClick(Control<QToolButton>("btnNext"), Qt::LeftButton);
        QTest::mouseClick(Control<QToolButton>("btnNext"), Qt::LeftButton);
        QCOMPARE(AppSettings().CurrentLine, 2);
        Control<QListWidget>("lstSelectFile")->setCurrentRow(1);  // clicking a line
        QCOMPARE(AppSettings().CurrentLine, 1);
        QTest::mouseClick(Control<QToolButton>("btnNext"), Qt::LeftButton);
        QTest::mouseClick(Control<QToolButton>("btnPrevious"), Qt::LeftButton);
        QCOMPARE(Control<QListWidget>("lstSelectFile")->currentRow(), 1);
        Action("actIgnore")->trigger();
        QCOMPARE(Lines(), QStringList({"1 - job_001.000", "2 - job_003.000"}));
        QCOMPARE(AppSettings().CurrentLine, 1);
    }

    // Saved references these lines cannot give: the checked item is the one used, and it is said.
    // Which reference replaces which is ReferenceChoiceTest's.
    void savedReferencesNotOfferedAreReplacedByTheShownOnes() {
        AppSettings().SetVelReference(2);
        AppSettings().SetBottomTrack(0);
        OpenInstrumentFiles();
        QCOMPARE(CheckedItem("rdoVelReference"), QString("ADCP Bottom Track"));
        const QString shown = window_->statusBar()->currentMessage();
        QVERIFY2(shown.contains("Velocity reference set to Bottom Track: this survey has no "
                                "navigation"),
                 qPrintable(shown));
        QVERIFY(prompt_->Messages().empty());  // no box
    }

    // Zürich in May 2024: the model gives about 3.4° east, and MagDec is 0.
    void navigationReferenceWarnsOfAFarDeclinationInTheStatusBar() {
        EnsureMagneticModelFile();
        NewWindow();  // reads the model just installed
        const std::unique_ptr<Geodesy> geodesy = std::move(Geodesy::Create("auto", 1).geodesy);
        AppDatabase().SetGeodesy(geodesy.get());
        AppSettings().SetVelReference(2);
        OpenInstrumentFiles(
            "[Navigation]\nBlocks = 104, 105\nLatitude = 47.3769\nLongitude = 8.5417\n");
        const QString shown = window_->statusBar()->currentMessage();
        QVERIFY2(shown.contains("MagDec) is 0.00° while the magnetic model gives 3."),
                 qPrintable(shown));
        QVERIFY(prompt_->Messages().empty());  // no box
        window_.reset();                       // the lines refer to the geodesy
        AppDatabase().Clear();
    }

    // Suite timing and the edited files' attitude are off, and cannot be chosen, without them.
    void instrumentFilesTurnOffTheEditedFilesOptions() {
        AppSettings().SetTime_Type(2);
        AppSettings().SetUseEdtPR(true);
        OpenSuiteSurvey();
        QVERIFY(Action("actUseChronex")->isEnabled());
        QVERIFY(Action("actUsePnR")->isEnabled() && Action("actUsePnR")->isChecked());
        OpenInstrumentFiles();
        for (const char* option : {"actUseChronex", "actUsePnR"})
            QVERIFY(!Action(option)->isEnabled() && !Action(option)->isChecked());
    }

    // VelocityRangeAll with nothing found leaves the table; with a range it spans every line.
    void autoScaleWithoutAValidRangeLeavesTheTable() {
        QVERIFY(LoadColourTable(folders_->Root() / "data" / "ADCP.hcf"));
        // Water relative to the bottom track on a survey without one: no cell has a velocity.
        OpenInstrumentFiles("[Instrument]\nBottomTrack = 0\n[Noise]\nEnabled = 1\n");
        Control<QRadioButton>("rdoVelReference_1")->click();
        for (int line = 0; line < 2; ++line) {
            QVERIFY(!AppDatabase().VelocityRange(line));
        }
        Action("actScaleColors")->trigger();
        const ColourTableProperties& table = CurrentVelocityTable()->Properties();
        QCOMPARE(table.minimum, 0.0);
        QCOMPARE(table.maximum, 5.0);
        Control<QRadioButton>("rdoVelReference_0")->click();
        Action("actScaleColors")->trigger();
        QCOMPARE(CurrentVelocityTable()->Properties().maximum,
                 AppDatabase().VelocityRangeAll()->maximum);
    }

    void floatingPanelOffTheScreenComesBack() {
        QDockWidget* panel = Panel("dockSurvey");
        panel->setFloating(true);
        panel->move(100000, 100000);
        Action("actSurvey")->trigger();
        QVERIFY(panel->isHidden());
        Action("actSurvey")->trigger();
        QVERIFY(!panel->isHidden());
        QCOMPARE(panel->pos(), QPoint(20, 20));
        QVERIFY(IsBeyondDesktop({0, 600}, QRect(0, 0, 800, 600)));
        QVERIFY(!IsBeyondDesktop({799, 599}, QRect(0, 0, 800, 600)));
    }

    void layoutOfAnotherVersionIsDeletedAndRewritten() {
        const fs::path layout = AppSettings().LayoutPath;
        fs::create_directories(layout.parent_path());
        std::ofstream(layout) << "[Fluvex]\r\nVersion=1\r\n[Layout]\r\nState=AAAA\r\n";
        window_->LoadLayout();
        QVERIFY(!fs::exists(layout));

        Action("actSurvey")->trigger();  // hidden
        window_->close();
        QCOMPARE(IniFile::Read(layout).ReadInt("Fluvex", "Version", -1), 0);
        NewWindow();
        QVERIFY(!Panel("dockSurvey")->isHidden());
        window_->LoadLayout();
        QVERIFY(fs::exists(layout));
        QVERIFY(Panel("dockSurvey")->isHidden());
        QVERIFY(!Action("actSurvey")->isChecked());

        // A damaged arrangement of the right version is passed over and the file kept.
        std::ofstream(layout) << "[Fluvex]\r\nVersion=0\r\n[Layout]\r\nState=AAAA\r\n";
        NewWindow();
        window_->LoadLayout();
        QVERIFY(fs::exists(layout));
        QVERIFY(!Panel("dockSurvey")->isHidden());
    }

    void quickChartPanelsComeBackFromTheLayout() {
        Action("actQuickChart")->trigger();
        Action("actQuickChart")->trigger();
        Panel("frmQuickChart_0")->close();  // the second chart moves to the front of the slots
        QDockWidget* chart = Panel("frmQuickChart_1");
        QVERIFY(chart->isFloating());
        QCOMPARE(chart->windowTitle(), QString("Quick Chart 2"));
        window_->close();
        QVERIFY(window_->findChild<QDockWidget*>("frmQuickChart_0") != nullptr);

        NewWindow();
        window_->LoadLayout();
        chart = Panel("frmQuickChart_0");
        QVERIFY(chart->isFloating());
        QCOMPARE(chart->windowTitle(), QString("Quick Chart 1"));
        QVERIFY(window_->findChild<QDockWidget*>("frmQuickChart_1") == nullptr);
    }

    void aSpreadsheetRowShowsItsPingInTheInformationPanel() {
        OpenSuiteSurvey();
        window_->SelectLine(1, true);
        QVERIFY(window_->ShowPanel("dockSpreadsheet"));
        auto* grid = Control<QTableView>("grid");
        const QString number = grid->model()->index(7, 0).data().toString();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(7, 2)).center());
        QCOMPARE(Control<QLabel>("lblEnsembleValue")->text(), number);
        Ensemble expected;
        QVERIFY(AppDatabase().GetEnsemble(1, 7, expected));
        QCOMPARE(number, QString::number(expected.variableLeader.EnsembleNumber()));
    }

    // The worker's messages are shown on the interface thread; after Cancel none is, and
    // questions are answered No.
    void workerMessagesAreShownOnTheInterfaceThreadUntilCanceled() {
        for (const bool cancel : {false, true}) {
            ThreadNotingPrompt prompt;
            bool answer = cancel;
            RunLongWork(window_.get(), &window_->Docks(), prompt,
                        WorkOf([&](ReadFeedback& feedback, UserPrompt& workerPrompt) {
                            if (cancel) feedback.Cancel();
                            workerPrompt.ShowError("Cannot open a.000", "Error");
                            answer = workerPrompt.AskYesNo("Continue?", "Error");
                        }));
            QCOMPARE(answer, !cancel);
            QCOMPARE(prompt.texts,
                     cancel ? QStringList() : QStringList({"Cannot open a.000", "Continue?"}));
            for (QThread* thread : prompt.threads)
                QCOMPARE(thread, QThread::currentThread());
        }
    }

    void cancelInTheProgressWindowStopsTheWork() {
        RecordingPrompt prompt;
        QTimer cancelWhenShown;
        connect(&cancelWhenShown, &QTimer::timeout, [this] {
            if (auto* dialog = window_->findChild<QProgressDialog*>();
                dialog && dialog->isVisible())
                dialog->findChild<QPushButton*>()->click();
        });
        cancelWhenShown.start(50);
        bool canceled = false;
        RunLongWork(window_.get(), &window_->Docks(), prompt,
                    WorkOf([&canceled](ReadFeedback& feedback, UserPrompt&) {
                        for (int wait = 0; wait < 100 && !feedback.IsCanceled(); ++wait)
                            QThread::msleep(50);
                        canceled = feedback.IsCanceled();
                    }));
        QVERIFY(canceled);
    }

    void workFailureReachesTheCaller() {
        RecordingPrompt prompt;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 RunLongWork(window_.get(), &window_->Docks(), prompt,
                                             WorkOf([](ReadFeedback&, UserPrompt&) {
                                                 throw std::runtime_error("disk gone");
                                             })));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("valid");
        QTest::newRow("files by the rule")
            << QStringList{"a.log",      "ab",      "\\x.000",   "-x",
                           "/srv/b.000", "./c.000", "C:\\d.000", "7.000"}
            << QStringList{"a.log", "/srv/b.000", "./c.000", "C:\\d.000"} << true;
        QTest::newRow("size not WxH")
            << QStringList{"--screenshot", "s.png", "--size", "800"} << QStringList{} << false;
        QTest::newRow("value missing") << QStringList{"--screenshot"} << QStringList{} << false;
        QTest::newRow("panel alone") << QStringList{"--panel", "Survey"} << QStringList{} << false;
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, files);
        QFETCH(bool, valid);
        QString error;
        std::vector<std::string> bytes;
        for (const QString& argument : arguments)
            bytes.push_back(argument.toStdString());
        const auto parsed = ParseDesktopCommandLine(bytes, &error);
        QCOMPARE(parsed.has_value(), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (!parsed) return;
        QStringList names;
        for (const fs::path& file : parsed->files)
            names << QString::fromStdString(file.string());
        QCOMPARE(names, files);
    }

    void commandLineKeepsFileNameBytes() {
        const std::string latin1Name = "caf\xe9.PD0";
        QString error;
        const auto parsed = ParseDesktopCommandLine({latin1Name}, &error);
        QVERIFY(parsed && parsed->files.size() == 1);
        QCOMPARE(parsed->files[0].string(), latin1Name);
    }
};

QTEST_MAIN(TfrmMainTest)
#include "TfrmMainTest.moc"
