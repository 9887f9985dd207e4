#pragma once

#include <QMainWindow>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "project/LineLoading.h"
#include "views/QtUserPrompt.h"

class QAction;
class QDockWidget;
class QTimer;

namespace fluvex {

class DockSite;
class Settings;
class SidePanel;
class TfrmDischarge;
class TfrmHelp;
class TfrmInfo;
class TfrmSurvey;
class TfrmProfile;
class TdlgContours;
class TdlgSpeed;
class TfrmSpreadsheet;
class TfrmViewOptions;
struct LongWork;

// The program's one top-level window: the side panel with the line list and the processing
// choices, the menus and commands, and the dock site holding every view. It computes nothing
// itself: choices go into the settings, loading and line questions to the line collection, and
// the views are told to refresh.
class TfrmMain final : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Where messages and questions go instead of message boxes (the screenshot run, tests);
    // null goes back to message boxes. Passed on to the windows this one owns.
    void SetPrompt(UserPrompt* prompt);

    // Restores the panel arrangement of the last run (a layout of another version is deleted);
    // closing the window saves it.
    void LoadLayout();

    // Clears the line collection, loads the files in order, brings the processing choices in line
    // with what was loaded and makes the first line current. The reading runs on a worker thread
    // behind a progress window; this returns when it is done.
    OpenFilesOutcome OpenFiles(std::span<const std::filesystem::path> files);
    // Makes a line current; with `refresh` every view follows at once. Lines not loaded are
    // ignored.
    void SelectLine(int index, bool refresh);
    // Hides a shown panel or shows a hidden one; the action's check follows.
    void ToggleDockWindow(QDockWidget* panel, QAction* action);
    // Brings the panel with that object name or title to the front; false when there is none.
    bool ShowPanel(const QString& name);

    // Runs an export's work (ExportMenu.h) behind a progress window, when lines are loaded.
    void Export(const LongWork& work);

    DockSite& Docks() { return *dockSite_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // --- Construction ---
    void CreateActions();
    void CreateMenus();
    QWidget* BuildSidePanel();
    void CreateViews();
    void ConnectProfile();
    void AddViewPanel(const char* panelName, const QString& title, QWidget* view, QAction* action);

    // --- Bringing the controls in line ---
    void UpdateStep();
    void UpdateActions();
    void UpdateAttitudeAction(QAction* action, bool (Settings::*get)() const,
                              void (Settings::*set)(bool));
    void UpdateTimingAction();
    void UpdateLineNavigation();
    void PollSettings();
    void RebuildLineList();
    void RebuildReferenceGroups();
    // Says when the navigation reference meets a declination setting far from the survey's.
    void AdviseDeclination();
    void AddStatusNote(const std::string& note);

    void SaveLayout();

    // --- Views ---
    void RefreshViews();
    void RepaintViews();
    void RebuildDischargeReport();
    void RunWork(const LongWork& work);

    // --- Commands ---
    void Open();
    void SaveReport();
    void ShowViewOptions();
    void EditColourTable();
    void AutoScaleColours();
    void ToggleColourBar();
    void NextLine();
    void PreviousLine();
    void IgnoreLine();
    void LineClicked(int row);
    void ShowHelp();
    void ShowAbout();
    UserPrompt& Prompt();

    PromptRoute prompt_{this};
    // The settings' recompute generation at the last poll: any processing option that changed.
    std::uint64_t polledGeneration_ = 0;
    QTimer* pollTimer_ = nullptr;
    // Long work runs in a local event loop; nothing may start more of it meanwhile.
    bool working_ = false;
    bool declinationAdvised_ = false;  // since the last load

    DockSite* dockSite_ = nullptr;
    TfrmProfile* profile_ = nullptr;
    TfrmInfo* info_ = nullptr;
    TfrmSurvey* survey_ = nullptr;
    TfrmDischarge* discharge_ = nullptr;
    TfrmSpreadsheet* spreadsheet_ = nullptr;
    TdlgSpeed* speed_ = nullptr;
    TfrmViewOptions* viewOptions_ = nullptr;
    TdlgContours* contours_ = nullptr;
    TfrmHelp* help_ = nullptr;

    SidePanel* side_ = nullptr;

    QAction* actSaveReport_ = nullptr;
    std::vector<QAction*> lineActions_;  // enabled when a line is loaded
    QAction* actScaleColors_ = nullptr;
    QAction* actColors_ = nullptr;
    QAction* actColorbar_ = nullptr;
    QAction* mnuShowColorBar_ = nullptr;
    QAction* actUsePnR_ = nullptr;
    QAction* actUseHdg_ = nullptr;
    QAction* actUseChronex_ = nullptr;
    QAction* actIgnore_ = nullptr;
    QAction* actTrackline_ = nullptr;
    QAction* actSolidArrows_ = nullptr;
    // The six window commands with their panels.
    std::vector<std::pair<QDockWidget*, QAction*>> windowActions_;
    QAction* actSurvey_ = nullptr;
    QAction* actProfile_ = nullptr;
    QAction* actSpreadsheet_ = nullptr;
    QAction* actDischarge_ = nullptr;
    QAction* actInformation_ = nullptr;
    QAction* actSpeed_ = nullptr;
    QAction* actQuickChart_ = nullptr;
    QAction* actContour_ = nullptr;
};

}  // namespace fluvex
