#include "views/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <exception>

#include "model/Units.h"
#include "project/Database.h"
#include "project/DischargeReport.h"
#include "project/ReferenceChoice.h"
#include "project/SurveyDeclination.h"
#include "readers/ReadFeedback.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/DebugOutput.h"
#include "services/HostService.h"
#include "services/TextService.h"
#include "settings/Settings.h"
#include "views/BackgroundWork.h"
#include "views/CodedRadioGroup.h"
#include "views/DockSite.h"
#include "views/ExportMenu.h"
#include "views/ReferenceChoices.h"
#include "views/SidePanel.h"
#include "views/TdlgColourEditor.h"
#include "views/TdlgContours.h"
#include "views/TdlgSpeed.h"
#include "views/TfrmDischarge.h"
#include "views/TfrmHelp.h"
#include "views/TfrmInfo.h"
#include "views/TfrmProfile.h"
#include "views/TfrmQuickChart.h"
#include "views/TfrmSpreadsheet.h"
#include "views/TfrmSurvey.h"
#include "views/TfrmViewOptions.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kPollPeriodMs = 1000;
QString FileNameOf(const std::filesystem::path& file) {
    return QString::fromStdString(file.filename().string());
}

// Logs and archives hold several instrument files, each read in turn.
bool HoldsSeveralFiles(const std::filesystem::path& file) {
    const QString name = FileNameOf(file);
    return name.endsWith(".log", Qt::CaseInsensitive) ||
           name.endsWith(".zip", Qt::CaseInsensitive) ||
           name.endsWith(".rsqmb", Qt::CaseInsensitive);
}

// Names what is being read at a step of opening `files` (a new step begins with each
// instrument file read).
QString ReadingLabel(const std::vector<std::filesystem::path>& files, int step) {
    if (files.empty()) return {};
    const auto index = static_cast<std::size_t>(step);
    if (std::ranges::none_of(files, HoldsSeveralFiles) && index < files.size())
        return QObject::tr("Reading %1").arg(FileNameOf(files[index]));
    return QObject::tr("Reading %1: line %2").arg(FileNameOf(files.front())).arg(step + 1);
}

template <typename Handler>
QAction* MakeAction(TfrmMain* owner, const char* objectName, const QString& text, Handler handler) {
    auto* action = new QAction(text, owner);
    action->setObjectName(objectName);
    QObject::connect(action, &QAction::triggered, owner, handler);
    return action;
}

// The collection reports the reads' progress while this lives.
class FeedbackInstalled {
public:
    FeedbackInstalled(Database& database, ReadFeedback& feedback) : database_(database) {
        database_.SetFeedback(&feedback);
    }
    ~FeedbackInstalled() { database_.SetFeedback(nullptr); }
    FeedbackInstalled(const FeedbackInstalled&) = delete;
    FeedbackInstalled& operator=(const FeedbackInstalled&) = delete;

private:
    Database& database_;
};

// What a load brought, in the status bar rather than a box to click per file: the readers write
// the same per file to the program log.
QString LoadedSummary() {
    const Database& database = AppDatabase();
    int ensembles = 0;
    for (int line = 0; line < database.LineCount(); ++line)
        ensembles += database.EnsembleCount(line);
    if (database.LineCount() == 1)
        return QString("Loaded %1 with %2 ensembles")
            .arg(QString::fromStdString(database.LinePath(0).string()))
            .arg(ensembles);
    return QString("Loaded %1 lines with %2 ensembles").arg(database.LineCount()).arg(ensembles);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmMain");
    setWindowTitle("Fluvex");
    CreateActions();
    CreateMenus();

    dockSite_ = new DockSite;
    CreateViews();
    auto* client = new QWidget;
    auto* layout = new QHBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildSidePanel());
    layout->addWidget(dockSite_, 1);
    setCentralWidget(client);

    viewOptions_ = new TfrmViewOptions(this);
    contours_ = new TdlgContours(this);
    connect(viewOptions_, &TfrmViewOptions::Applied, this, [this] {
        UpdateStep();
        UpdateActions();
        RepaintViews();
        RebuildDischargeReport();
    });
    help_ = new TfrmHelp(this);

    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName("tmrPoll");
    pollTimer_->setInterval(kPollPeriodMs);
    connect(pollTimer_, &QTimer::timeout, this, &TfrmMain::PollSettings);
    pollTimer_->start();

    RebuildReferenceGroups();
    UpdateStep();
    UpdateLineNavigation();
    UpdateActions();

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize available = screen != nullptr ? screen->availableSize() : QSize(1280, 800);
    resize(std::min(1280, available.width()), std::min(800, available.height()));
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::CreateActions() {
    actSaveReport_ = MakeAction(this, "actSaveReport", tr("Save Report"), &TfrmMain::SaveReport);
    lineActions_.push_back(actSaveReport_);
    lineActions_.push_back(MakeAction(this, "actSave2DDXF", tr("Save 2D DXF"), [this] {
        if (const auto file = ChooseDxfFile(this)) Export(PlanDxfWork(*file));
    }));
    lineActions_.push_back(MakeAction(this, "actSave3DDXF", tr("Save 3D DXF"), [this] {
        if (const auto file = ChooseDxfFile(this)) Export(VectorDxfWork(*file));
    }));
    lineActions_.push_back(MakeAction(this, "actSaveRTF", tr("Save RTF Report"), [this] {
        if (const auto file = ChooseRtfFile(this)) {
            Export(RtfReportWork(*file));
            // Colours scaled to each line for its picture go back to the line on the screen.
            RepaintViews();
        }
    }));
    const auto exportToFolder = [this](LineExportKind kind) {
        return [this, kind] {
            if (const auto folder = ChooseExportFolder(this)) Export(LineExportWork(kind, *folder));
        };
    };
    lineActions_.push_back(
        MakeAction(this, "actSaveCSV", tr("Save to CSV"), exportToFolder(LineExportKind::Csv)));
    lineActions_.push_back(MakeAction(this, "actSaveExcel", tr("Save to Excel"), [this] {
        if (const auto file = ChooseWorkbookFile(this)) Export(WorkbookWork(*file));
    }));
    lineActions_.push_back(
        MakeAction(this, "actSaveXYZ", tr("Save to XYZ"), exportToFolder(LineExportKind::Xyz)));
    lineActions_.push_back(MakeAction(this, "mnuXYZICurrent", tr("Save Current Line"), [this] {
        if (const auto file = ChooseXyziFile(this)) Export(CurrentXyziWork(*file));
    }));
    lineActions_.push_back(
        MakeAction(this, "mnuXYZIAll", tr("Save All Lines"), exportToFolder(LineExportKind::Xyzi)));

    actScaleColors_ =
        MakeAction(this, "actScaleColors", tr("Auto Scale Colors"), &TfrmMain::AutoScaleColours);
    actScaleColors_->setIcon(ColourScaleIcon("A"));
    actColors_ = MakeAction(this, "actColors", tr("Velolcity Colors"), &TfrmMain::EditColourTable);
    actColors_->setIcon(ColourScaleIcon({}));
    actColorbar_ = MakeAction(this, "actColorbar", tr("Color Bar"), &TfrmMain::ToggleColourBar);
    mnuShowColorBar_ =
        MakeAction(this, "mnuShowColorBar", tr("Show Color Bar"), &TfrmMain::ToggleColourBar);
    actUsePnR_ = MakeAction(this, "actUsePnR", tr("Use Edited File Pitch & Roll"),
                            [] { AppSettings().SetUseEdtPR(!AppSettings().UseEdtPR()); });
    actUseHdg_ = MakeAction(this, "actUseHdg", tr("Use Edited File Heading"),
                            [] { AppSettings().SetUseEdtHead(!AppSettings().UseEdtHead()); });
    actUseChronex_ =
        MakeAction(this, "actUseChronex", tr("Use ORVANE Timing (Reload may be Necessary)"), [] {
            Settings& settings = AppSettings();
            settings.SetTime_Type(settings.Time_Type() == kTimingSuite ? kTimingInstrumentClock
                                                                       : kTimingSuite);
        });
    actIgnore_ = MakeAction(this, "actIgnore", tr("Ignore Current File"), &TfrmMain::IgnoreLine);
    actIgnore_->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
    actTrackline_ = MakeAction(this, "actTrackline", tr("Draw Trackline"), [this] {
        AppSettings().ShowTrackLines = !AppSettings().ShowTrackLines;
        survey_->update();
    });
    actSolidArrows_ = MakeAction(this, "actSolidArrows", tr("Draw Solid Arrows"), [this] {
        AppSettings().SolidArrows = !AppSettings().SolidArrows;
        survey_->update();
    });
    for (QAction* toggle : {actColorbar_, mnuShowColorBar_, actUsePnR_, actUseHdg_, actUseChronex_,
                            actTrackline_, actSolidArrows_})
        toggle->setCheckable(true);
    actUsePnR_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    actUseHdg_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    actUseChronex_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));

    // The window actions are bound to their panels when the views are placed.
    actSurvey_ = new QAction(tr("Survey"), this);
    actProfile_ = new QAction(tr("Profile"), this);
    actSpreadsheet_ = new QAction(tr("Spreadsheet"), this);
    actDischarge_ = new QAction(tr("Discharge"), this);
    actInformation_ = new QAction(tr("Information"), this);
    actSpeed_ = new QAction(tr("Boat v Water Speed"), this);
    actInformation_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    // The chart says itself when no slot is free.
    actQuickChart_ = MakeAction(this, "actQuickChart", tr("Quick Chart"),
                                [this] { dockSite_->OpenQuickChart(); });
    actQuickChart_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actContour_ = MakeAction(this, "actContour", tr("Contour"), [this] {
        if (!contours_->Running()) contours_->Load();
        contours_->show();
        contours_->raise();
    });
}

void TfrmMain::CreateMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName("mnuFile");
    file->addAction(MakeAction(this, "mnuOpen", tr("Open"), &TfrmMain::Open));
    // The line actions in menu order, the last two being the beam-intensity exports.
    const auto intensityExports = lineActions_.end() - 2;
    for (auto action = lineActions_.begin(); action != intensityExports; ++action)
        file->addAction(*action);
    QMenu* intensity = file->addMenu(tr("Beam Intensity to XYZI"));
    intensity->setObjectName("mnuBeamIntensity");
    intensity->addActions({*intensityExports, lineActions_.back()});
    file->addSeparator();
    file->addAction(MakeAction(this, "mnuPrint", tr("Print"), [this] {
        ShowPanel("dockProfile");
        profile_->Print();
    }));
    file->addSeparator();
    file->addAction(MakeAction(this, "mnuExit", tr("Exit"), &TfrmMain::close));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName("mnuView");
    QMenu* windows = view->addMenu(tr("Windows"));
    windows->setObjectName("mnuWindows");
    windows->addActions(
        {actSurvey_, actProfile_, actSpreadsheet_, actDischarge_, actInformation_, actSpeed_});
    view->addAction(actQuickChart_);
    view->addSeparator();
    // Also in the side panel's context menu, where few would look for them.
    view->addActions({actUsePnR_, actUseHdg_, actUseChronex_});
    view->addSeparator();
    view->addAction(mnuShowColorBar_);
    QAction* options = MakeAction(this, "mnuOptions", tr("Options"), &TfrmMain::ShowViewOptions);
    options->setShortcut(QKeySequence(Qt::Key_F9));
    view->addAction(options);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName("mnuHelp");
    help->addAction(MakeAction(this, "mnuHelpContents", tr("Help"), &TfrmMain::ShowHelp));
    help->addAction(MakeAction(this, "mnuAbout", tr("About"), &TfrmMain::ShowAbout));
}

QWidget* TfrmMain::BuildSidePanel() {
    SidePanel::Commands commands;
    commands.colours = actColors_;
    commands.autoScale = actScaleColors_;
    commands.ignore = actIgnore_;
    commands.windows = {{"btnSurvey", actSurvey_},           {"btnProfile", actProfile_},
                        {"btnSpreadsheet", actSpreadsheet_}, {"btnDischarge", actDischarge_},
                        {"btnBoatVWater", actSpeed_},        {"btnContour", actContour_}};
    commands.contextMenu = {actUsePnR_, actUseHdg_, actUseChronex_};
    side_ = new SidePanel(commands);
    connect(side_, &SidePanel::OpenClicked, this, &TfrmMain::Open);
    connect(side_, &SidePanel::ViewOptionsClicked, this, &TfrmMain::ShowViewOptions);
    connect(side_, &SidePanel::FileInformationClicked, this, &TfrmMain::ShowHelp);
    connect(side_, &SidePanel::PreviousClicked, this, &TfrmMain::PreviousLine);
    connect(side_, &SidePanel::NextClicked, this, &TfrmMain::NextLine);
    connect(side_->LineList(), &QListWidget::currentRowChanged, this, &TfrmMain::LineClicked);
    return side_;
}

void TfrmMain::CreateViews() {
    profile_ = new TfrmProfile;
    info_ = new TfrmInfo;
    survey_ = new TfrmSurvey;
    survey_->BindActions(actTrackline_, actSolidArrows_);
    // The discharge and the profile count only the pings inside the clip border.
    connect(survey_, &TfrmSurvey::BorderChanged, this, [this] {
        profile_->Refresh();
        RebuildDischargeReport();
    });
    discharge_ = new TfrmDischarge;
    spreadsheet_ = new TfrmSpreadsheet;
    speed_ = new TdlgSpeed;
    AddViewPanel("dockProfile", tr("Profile"), profile_, actProfile_);
    AddViewPanel("dockSurvey", tr("Survey"), survey_, actSurvey_);
    AddViewPanel("dockInformation", tr("Information"), info_, actInformation_);
    AddViewPanel("dockSpreadsheet", tr("Spreadsheet"), spreadsheet_, actSpreadsheet_);
    AddViewPanel("dockDischarge", tr("Discharge"), discharge_, actDischarge_);
    AddViewPanel("dockSpeed", tr("Boat vs Water Speed"), speed_, actSpeed_);
    dockSite_->FindPanel("dockInformation")->hide();
    dockSite_->ShowPanel(dockSite_->FindPanel("dockProfile"));

    ConnectProfile();

    // Showing the discharge panel brings its report up to date; later, outside any event that
    // is being handled, as the report may take long work.
    connect(
        dockSite_->FindPanel("dockDischarge"), &QDockWidget::visibilityChanged, this,
        [this](bool visible) {
            if (visible) RebuildDischargeReport();
        },
        Qt::QueuedConnection);
}

void TfrmMain::ConnectProfile() {
    // The information window follows the mouse only while it is shown.
    QDockWidget* information = dockSite_->FindPanel("dockInformation");
    connect(profile_, &TfrmProfile::EnsemblePointed, this,
            [this, information](const Ensemble& ensemble, int cell) {
                if (information->isVisible()) info_->ShowEnsemble(ensemble, cell);
            });
    // The profile has already drawn its own change.
    connect(profile_, &TfrmProfile::DataChanged, this, [this] {
        survey_->update();
        RebuildDischargeReport();
    });
    connect(profile_, &TfrmProfile::AutoScaleColorsClicked, this, &TfrmMain::AutoScaleColours);
    // A ping chosen in a table or a chart is shown whole, without a cell.
    connect(spreadsheet_, &TfrmSpreadsheet::EnsembleChosen, this,
            [this](const Ensemble& ensemble) { info_->ShowEnsemble(ensemble, -1); });
    dockSite_->SetQuickChartFactory([this](QDockWidget& panel) -> QWidget* {
        TfrmQuickChart* chart = TfrmQuickChart::CreateInPanel(panel, Prompt());
        if (chart != nullptr)
            connect(chart, &TfrmQuickChart::EnsembleChosen, this,
                    [this](const Ensemble& ensemble) { info_->ShowEnsemble(ensemble, 0); });
        return chart;
    });
    connect(profile_, &TfrmProfile::ColorBarClicked, this, &TfrmMain::ToggleColourBar);
}

void TfrmMain::AddViewPanel(const char* panelName, const QString& title, QWidget* view,
                            QAction* action) {
    QDockWidget* panel = dockSite_->AddPanel(panelName, title, view);
    action->setObjectName(QString(panelName).replace("dock", "act"));
    action->setCheckable(true);
    action->setChecked(true);
    connect(action, &QAction::triggered, this,
            [this, panel, action] { ToggleDockWindow(panel, action); });
    connect(panel->toggleViewAction(), &QAction::toggled, action, &QAction::setChecked);
    windowActions_.emplace_back(panel, action);
}

// ---------------------------------------------------------------------------------------------
// Bringing the controls in line with the settings and the lines

void TfrmMain::UpdateStep() {
    const Settings& settings = AppSettings();
    mnuShowColorBar_->setChecked(settings.ShowColorBar);
    actColors_->setEnabled(!IsAngleQuantity(AppSettings().Velocity()));
    side_->VelocityReference()->SelectCode(settings.VelReference());
    side_->DepthReference()->SelectCode(settings.BottomTrack());
    const QSignalBlocker quiet(side_->VelocityUnits());
    side_->VelocityUnits()->setCurrentIndex(settings.VelocityUnits);
}

void TfrmMain::UpdateActions() {
    const Database& database = AppDatabase();
    const Settings& settings = AppSettings();
    for (QAction* action : lineActions_)
        action->setEnabled(database.LineCount() > 0);
    actIgnore_->setEnabled(database.LineCount() > 1);
    actColors_->setEnabled(!IsAngleQuantity(AppSettings().Velocity()));
    actColorbar_->setChecked(settings.ShowColorBar);
    mnuShowColorBar_->setChecked(settings.ShowColorBar);
    actTrackline_->setChecked(settings.ShowTrackLines);
    actSolidArrows_->setChecked(settings.SolidArrows);
    UpdateAttitudeAction(actUsePnR_, &Settings::UseEdtPR, &Settings::SetUseEdtPR);
    UpdateAttitudeAction(actUseHdg_, &Settings::UseEdtHead, &Settings::SetUseEdtHead);
    UpdateTimingAction();
    // A panel hidden before the window was first shown (at start, by a layout) tells no one.
    for (const auto& [panel, action] : windowActions_)
        action->setChecked(!panel->isHidden());
}

// Without edited-file attitude the option cannot apply, and a set one is cleared.
void TfrmMain::UpdateAttitudeAction(QAction* action, bool (Settings::*get)() const,
                                    void (Settings::*set)(bool)) {
    Settings& settings = AppSettings();
    const bool attitudeAvailable = AppDatabase().LineFilesForEveryLine();
    action->setEnabled(attitudeAvailable);
    if (!attitudeAvailable && (settings.*get)()) (settings.*set)(false);
    action->setChecked((settings.*get)());
}

// Lines that the suite's clock cannot time are timed by the instrument's clock.
void TfrmMain::UpdateTimingAction() {
    Settings& settings = AppSettings();
    const bool suiteTimingUnavailable = AppDatabase().SuiteTimingUnavailable();
    actUseChronex_->setEnabled(!suiteTimingUnavailable);
    if (suiteTimingUnavailable && settings.Time_Type() != kTimingInstrumentClock)
        settings.SetTime_Type(kTimingInstrumentClock);
    actUseChronex_->setChecked(settings.Time_Type() == kTimingSuite);
}

void TfrmMain::UpdateLineNavigation() {
    const int lines = AppDatabase().LineCount();
    const int current = AppSettings().CurrentLine;
    side_->LineList()->setEnabled(lines > 0);
    side_->PreviousButton()->setEnabled(lines > 0 && current != 0);
    side_->NextButton()->setEnabled(lines > 0 && current != lines - 1);
}

void TfrmMain::PollSettings() {
    UpdateActions();
    const std::uint64_t now = AppSettings().Generation();
    if (now == polledGeneration_) return;
    polledGeneration_ = now;
    UpdateStep();
    RepaintViews();
    AdviseDeclination();
}

void TfrmMain::RebuildLineList() {
    const QSignalBlocker quiet(side_->LineList());
    side_->LineList()->clear();
    const Database& database = AppDatabase();
    for (int line = 0; line < database.LineCount(); ++line)
        side_->LineList()->addItem(
            QString("%1 - %2").arg(line + 1).arg(QString::fromStdString(database.LineName(line))));
}

// The offered references depend on what was loaded. A chosen code that the lines cannot give
// is replaced first, so that the checked item is always the one the lines are computed with.
void TfrmMain::RebuildReferenceGroups() {
    for (const std::string& notice : AlignReferences(AppDatabase(), AppSettings()))
        AddStatusNote(notice);
    side_->DepthReference()->SetItems(DepthReferenceItems());
    side_->VelocityReference()->SetItems(VelocityReferenceItems());
    UpdateStep();
}

// Notes of one load are shown side by side and logged; not in a box, as the user can go on.
void TfrmMain::AddStatusNote(const std::string& note) {
    Host().Log(kProgramName, note);
    const QString shown = statusBar()->currentMessage();
    const QString text = QString::fromStdString(note);
    statusBar()->showMessage(shown.isEmpty() ? text : shown + "  " + text);
}

// ---------------------------------------------------------------------------------------------
// Views

void TfrmMain::RefreshViews() {
    profile_->Refresh();
    spreadsheet_->Refresh();
    survey_->update();
    RebuildDischargeReport();
    speed_->Refresh();
    TfrmQuickChart::RefreshAll();
}

void TfrmMain::RepaintViews() {
    survey_->update();
    profile_->Refresh();
}

void TfrmMain::RebuildDischargeReport() {
    if (working_) return;  // the work under way ends with a refresh of its own
    if (AppDatabase().LineCount() == 0) {
        discharge_->RebuildReport();
        return;
    }
    std::vector<std::string> report;
    RunWork({tr("Discharge"), [](int) { return tr("Computing the discharge of every line"); },
             [&report](ReadFeedback& feedback, UserPrompt&) {
                 report = BuildDischargeReport(AppDatabase(), [&feedback](int done, int total) {
                     feedback.SetProgress(static_cast<double>(done) / std::max(total, 1));
                 });
             }});
    discharge_->ShowReport(report);
}

void TfrmMain::Export(const LongWork& work) {
    if (!working_ && AppDatabase().LineCount() > 0) RunWork(work);
}

void TfrmMain::RunWork(const LongWork& work) {
    // The poll reads the collection, which the work is changing.
    working_ = true;
    pollTimer_->stop();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto done = qScopeGuard([this] {
        QApplication::restoreOverrideCursor();
        pollTimer_->start();
        working_ = false;
    });
    try {
        RunLongWork(this, dockSite_, Prompt(), work);
    } catch (const std::exception& failure) {
        Prompt().ShowError(failure.what(), "Error");
    }
}

// ---------------------------------------------------------------------------------------------
// Lines

OpenFilesOutcome TfrmMain::OpenFiles(std::span<const std::filesystem::path> files) {
    const std::vector<std::filesystem::path> list(files.begin(), files.end());
    OpenFilesOutcome outcome;
    RunWork({tr("Opening"), [&list](int step) { return ReadingLabel(list, step); },
             [&list, &outcome](ReadFeedback& feedback, UserPrompt& prompt) {
                 const FeedbackInstalled installed(AppDatabase(), feedback);
                 outcome = OpenSurveyFiles(AppDatabase(), list, prompt);
             }});
    TraceReadWarnings(AppDatabase());
    declinationAdvised_ = false;
    statusBar()->showMessage(LoadedSummary());
    for (const std::string& notice : outcome.notices)
        AddStatusNote(notice);
    RebuildLineList();
    if (AppDatabase().LineCount() > 0) {
        SelectLine(0, true);
    } else {
        AppSettings().CurrentLine = -1;
        UpdateLineNavigation();
    }
    RebuildReferenceGroups();
    UpdateActions();
    AdviseDeclination();
    return outcome;
}

// Once per load, in the status bar and the log, not in a box: the user may well know better.
void TfrmMain::AdviseDeclination() {
    if (declinationAdvised_) return;
    const Settings& settings = AppSettings();
    const std::optional<std::string> warning =
        DeclinationWarning(AppDatabase(), viewOptions_->Model(), settings.VelReference(),
                           settings.MagDec(), "set it in View Options, Calculate.");
    if (!warning) return;
    declinationAdvised_ = true;
    AddStatusNote(*warning);
}

void TfrmMain::SelectLine(int index, bool refresh) {
    if (index < 0 || index >= AppDatabase().LineCount()) return;
    {
        const QSignalBlocker quiet(side_->LineList());
        side_->LineList()->setCurrentRow(index);
    }
    AppSettings().CurrentLine = index;
    UpdateLineNavigation();
    if (refresh) RefreshViews();
}

void TfrmMain::LineClicked(int row) {
    SelectLine(row, false);
    survey_->update();
}

void TfrmMain::NextLine() {
    SelectLine(AppSettings().CurrentLine + 1, false);
}

void TfrmMain::PreviousLine() {
    if (AppSettings().CurrentLine > 0) SelectLine(AppSettings().CurrentLine - 1, false);
}

void TfrmMain::IgnoreLine() {
    Database& database = AppDatabase();
    if (database.LineCount() < 2) return;
    database.RemoveLine(-1);
    RebuildLineList();
    RebuildReferenceGroups();
    SelectLine(AppSettings().CurrentLine, true);
    UpdateActions();
}

// ---------------------------------------------------------------------------------------------
// Panels and layout

void TfrmMain::ToggleDockWindow(QDockWidget* panel, QAction* action) {
    dockSite_->Toggle(panel, action);
}

bool TfrmMain::ShowPanel(const QString& name) {
    QDockWidget* panel = dockSite_->FindPanel(name);
    if (panel == nullptr) return false;
    dockSite_->ShowPanel(panel);
    return true;
}

void TfrmMain::LoadLayout() {
    dockSite_->LoadLayout(AppSettings().LayoutPath);
    UpdateActions();
}

void TfrmMain::SaveLayout() {
    // The settings file keeps the charts' slots compacted; the panels are named to match.
    TfrmQuickChart::CompactSlots();
    std::string error;
    if (!dockSite_->SaveLayout(AppSettings().LayoutPath, &error))
        DebugOutput("The panel layout was not saved: " + error);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Commands

void TfrmMain::Open() {
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, tr("Open Log File"),
        QString::fromStdString(Host().Folder(FolderKind::SurveyData).string()),
        tr("Log File (*.log);;PD0 Files (*.pd0 *.000 *.adp);;All Files (*)"));
    if (chosen.isEmpty()) return;
    std::vector<std::filesystem::path> files;
    for (const QString& file : chosen)
        files.emplace_back(file.toStdString());
    OpenFiles(files);
}

void TfrmMain::SaveReport() {
    const std::filesystem::path proposed = Host().Folder(FolderKind::SurveyData) / "report.txt";
    const QString file = QFileDialog::getSaveFileName(this, tr("Save Report"),
                                                      QString::fromStdString(proposed.string()),
                                                      tr("Text Files (*.txt)"));
    if (file.isEmpty()) return;
    RebuildDischargeReport();
    QString error;
    if (!discharge_->SaveReport(file, &error)) Prompt().ShowError(error.toStdString(), "Error");
}

void TfrmMain::ShowViewOptions() {
    viewOptions_->show();
    viewOptions_->raise();
    viewOptions_->activateWindow();
}

void TfrmMain::EditColourTable() {
    const ColourLookup* table = CurrentVelocityTable();
    if (table == nullptr) return;
    const auto edited = TdlgColourEditor::Edit(this, table->FileName());
    if (!edited) return;
    std::string error;
    if (!LoadColourTable(*edited, &error)) {
        Prompt().ShowError(error, "Error");
        return;
    }
    AppSettings().ColorTablePath = *edited;
    profile_->Refresh();
}

// The colour scale spans the shown quantity over every line; a survey without a single valid
// value leaves it as it is.
void TfrmMain::AutoScaleColours() {
    if (CurrentVelocityTable() == nullptr || AppDatabase().LineCount() == 0) return;
    std::optional<ValueRange> range;
    RunWork({tr("Colours"), [](int) { return tr("Finding the velocity range of every line"); },
             [&](ReadFeedback&, UserPrompt&) { range = AppDatabase().VelocityRangeAll(); }});
    if (range && range->maximum > range->minimum)
        RescaleVelocityTable(range->minimum, range->maximum);
    RepaintViews();
}

void TfrmMain::ToggleColourBar() {
    Settings& settings = AppSettings();
    settings.ShowColorBar = !settings.ShowColorBar;
    UpdateActions();
    RepaintViews();
}

void TfrmMain::ShowHelp() {
    help_->ShowContents();
}

void TfrmMain::ShowAbout() {
    QMessageBox::about(this, tr("About Fluvex"),
                       tr("<h3>Fluvex %1</h3><p>A viewer and post-processor for moving-boat ADCP "
                          "surveys: velocity sections, tracks, discharge and exports.</p>")
                           .arg(FLUVEX_VERSION));
}

void TfrmMain::SetPrompt(UserPrompt* prompt) {
    prompt_.Set(prompt);
    discharge_->SetPrompt(prompt);
    spreadsheet_->SetPrompt(prompt);
    viewOptions_->SetPrompt(prompt);
    profile_->SetPrompt(prompt);
    survey_->SetPrompt(prompt);
}

UserPrompt& TfrmMain::Prompt() {
    return prompt_.Current();
}

}  // namespace fluvex
