#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <optional>
#include <vector>

#include "model/Ensemble.h"
#include "project/ProfileCursor.h"
#include "project/ProfileScales.h"
#include "views/QtUserPrompt.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QFormLayout;
class QPagedPaintDevice;
class QPainter;
class QRect;
class QRegion;
class QTimer;
class QToolButton;

namespace fluvex {

class ProfilePaintBox;
class Settings;

// The velocity section of the current line. The section is drawn once into an image and drawn
// again only when something it shows changed (the settings the one-second poll watches, a
// resize, a delete, Refresh); the cross-hair is an overlay that inverts the image under its two
// hairs. The mouse over the plot fills the status bar and points out a ping; in the delete
// cursor modes a click deletes the cell or the ping under the mouse.
class TfrmProfile final : public QWidget {
    Q_OBJECT

public:
    explicit TfrmProfile(QWidget* parent = nullptr);
    ~TfrmProfile() override;

    // Where messages go instead of message boxes; null goes back to message boxes.
    void SetPrompt(UserPrompt* prompt);

    // The geometry of the paint box's section as last laid out.
    const ProfileLayout& Layout() const { return layout_; }
    // Where the cross-hair crosses, in paint-box pixels; nothing while it is not drawn.
    std::optional<QPoint> CursorPosition() const { return cursor_; }

    // Prints every line onto `device`, then lays the screen out again. False when the device
    // cannot be painted on.
    bool PrintTo(QPagedPaintDevice& device);

public slots:
    // Asks for a printer and prints every line.
    void Print();
    // Lays out and draws the section again at once: for changes the poll does not watch (the
    // colour table, the loaded lines).
    void Refresh();
    // What the timer does every second: draws again when a watched setting changed and shows
    // the settings in the controls. Public so that a caller can check at once.
    void PollChanges();

signals:
    // The mouse moved over a ping; `cell` is the cell under it, -1 for none.
    void EnsemblePointed(const fluvex::Ensemble& ensemble, int cell);
    // A cell or ping was deleted, or the distance along the line reversed.
    void DataChanged();
    // The "Auto Scale Colors" and "Color Bar" buttons: the main window's commands.
    void AutoScaleColorsClicked();
    void ColorBarClicked();

private:
    friend class ProfilePaintBox;

    // The settings whose change needs a new layout.
    struct LayoutValues {
        int currentLine = -2;
        bool showColorBar = false;
        bool autoScaleDepth = false;
        bool autoScaleDbl = false;
        bool useTime = false;
        double minDepth = 0;
        double maxDepth = 0;
        double startDbl = 0;
        double endDbl = 0;
        bool operator==(const LayoutValues&) const = default;
    };
    // The settings whose change only needs the section drawn again.
    struct DrawingValues {
        int velocity = -1;
        int velocityUnits = -1;
        int bottomTrack = -1;
        bool autoLabel = false;
        bool labelToesCenter = false;
        bool dblLabels = false;
        double dblLabelInc = 0;
        double dblTicInc = 0;
        bool depthLabels = false;
        bool depthLines = false;
        double depthLabelInc = 0;
        double depthTicInc = 0;
        int decimalPlaces = -1;
        bool operator==(const DrawingValues&) const = default;
    };
    // A check box of the settings panel and the option it toggles.
    struct OptionCheck {
        QCheckBox* box = nullptr;
        bool Settings::*option = nullptr;
    };
    // A number edit of the settings panel and the value it stores.
    struct NumberEdit {
        QLineEdit* edit = nullptr;
        double Settings::*value = nullptr;
    };
    // A cursor-mode button and the mode it stands for.
    struct ModeButton {
        QToolButton* button = nullptr;
        int mode = 0;
    };

    static LayoutValues LayoutValuesOf(const Settings& settings);
    static DrawingValues DrawingValuesOf(const Settings& settings);

    // --- Construction ---
    QWidget* BuildTopBar();
    QWidget* BuildSettingsPanel();
    QWidget* BuildRangeControls(QWidget* parent);
    QWidget* BuildDepthLabelGroup(QWidget* parent);
    QWidget* BuildDblLabelGroup(QWidget* parent);
    QWidget* BuildStatusBar();
    QCheckBox* AddOptionCheck(const QString& text, const char* name, bool Settings::*option,
                              QWidget* parent);
    // A captioned number edit in `form`; caption and edit join `enabledGroup`.
    void AddNumberRow(QFormLayout* form, const QString& caption, const char* name,
                      double Settings::*value, std::vector<QWidget*>& enabledGroup);
    QToolButton* AddModeButton(const QString& text, const char* name, int mode, QWidget* parent);

    // --- Controls and settings ---
    void LoadControls();
    void UpdateEnabledStates();
    void UpdateReverseAction();
    void OptionClicked(const OptionCheck& check, bool checked);
    void StoreNumber(const NumberEdit& number);
    void ShowNumber(const NumberEdit& number);
    void ModeClicked(const ModeButton& clicked, bool down);
    void ReverseDbl();
    UserPrompt& Prompt();

    // --- The section ---
    int ShownLine() const;
    void Relayout();
    // The cached image at the paint box's size, white.
    void PrepareSurface();
    void RenderSection();
    void PaintBox(QPainter& painter, const QRegion& region) const;
    std::vector<QRect> HairStrips(QPoint at) const;
    void EraseCursor();
    void DrawCursor(QPoint at);
    void PointerMoved(QPoint at);
    void PointerPressed(QPoint at);
    // Deletes what a click at `at` in `mode` takes; false when it takes nothing.
    bool DeleteAt(int line, QPoint at, int mode);
    void ShowStatus(const CursorReading& reading);

    PromptRoute prompt_{this};

    ProfilePaintBox* paintBox_ = nullptr;
    QWidget* settingsPanel_ = nullptr;
    QComboBox* cmbVelocity_ = nullptr;
    QComboBox* cmbAutoScaleColors_ = nullptr;
    QAction* actReverseDBL_ = nullptr;
    std::vector<ModeButton> modeButtons_;
    std::vector<OptionCheck> optionChecks_;
    std::vector<NumberEdit> numberEdits_;
    // Enabled while the depth range, the horizontal range or the labels are set by hand.
    std::vector<QWidget*> depthRangeControls_;
    std::vector<QWidget*> dblRangeControls_;
    std::vector<QWidget*> labelControls_;
    QCheckBox* chkUseTime_ = nullptr;
    std::vector<QLabel*> statusPanels_;
    QTimer* timer_ = nullptr;

    LayoutValues watchedLayout_;
    DrawingValues watchedDrawing_;
    ProfileLayout layout_;
    QImage section_;
    std::optional<QPoint> cursor_;
    // The bed under the mouse at the last move: the bed cursor keeps it where no ping is found.
    double lastBedDepth_ = 0.0;
};

}  // namespace fluvex
