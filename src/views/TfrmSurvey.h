#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>

#include "export/PlanDrawing.h"
#include "views/QtUserPrompt.h"
#include "views/ScreenTarget.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTimer;

namespace fluvex {

class SurveyPaintBox;

// Where the clip border's last two corners go while the pointer is at `pointer`, the first edge
// running from `a` to `b`: the edge moved across itself by the pointer's offset, in whole
// pixels (computed in single precision, as the border has always been drawn). C comes from B,
// D from A.
std::array<QPoint, 2> ClipCorners(QPoint a, QPoint b, QPoint pointer);

// The plan view of every loaded line: the clip border, the planned lines, and current arrows
// along each line coloured by speed. The picture is drawn into a cached image; long vector
// passes are cut into slices of about 100 ms that continue from the event loop, so the window
// answers meanwhile. The rubber bands of the zoom window and of the clip border are an overlay
// painted over the cached image (drawing the band again erases nothing: the next paint simply
// shows the image without it), which works on every platform where XOR drawing does not.
class TfrmSurvey final : public QWidget {
    Q_OBJECT

public:
    enum class MouseMode { Pan, ZoomWindow, ClipBorder };

    explicit TfrmSurvey(QWidget* parent = nullptr);
    ~TfrmSurvey() override;

    // Where messages go instead of message boxes; null goes back to message boxes.
    void SetPrompt(UserPrompt* prompt) { prompt_.Set(prompt); }

    // The check boxes for track lines and solid arrows follow these (main window) actions.
    void BindActions(QAction* trackLines, QAction* solidArrows);

    // The picture as last drawn (in the paint box's pixels, times the screen's ratio).
    const QImage& Picture() const { return picture_; }
    const ViewMapping& View() const { return screen_.View(); }
    QWidget* PaintBox() const;
    // Some line's vectors are still to be drawn.
    bool Drawing() const;
    int ClipStage() const { return clipStage_; }
    MouseMode Mode() const { return mode_; }
    void SetMode(MouseMode mode);

public slots:
    // Draws the whole picture now, without slicing (tests and screenshots).
    void DrawNow();
    // The view shows every positioned ping (inside the clip border) and the border.
    void ZoomExtents();
    void ZoomIn();
    void ZoomOut();
    void ClearClipBorder();
    // What the one-second timer does: draws again when the current line or a track option
    // changed, and shows the options in the side panel.
    void PollChanges();

signals:
    // The clip border was drawn or cleared: the discharge and the profile follow it.
    void BorderChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class SurveyPaintBox;

    struct Watched {
        int currentLine = -1;
        bool showTrackLines = true;
        bool solidArrows = false;
        double arrowInterval = 0.0;
        double arrowLength = 0.0;
        int midAvg = 0;
        int arrowStyle = 0;
        bool operator==(const Watched&) const = default;
    };
    static Watched Current();

    QWidget* BuildToolBar();
    QWidget* BuildSidePanel();
    void LoadSidePanel();
    void StoreEdit(QLineEdit* edit, double& value);

    void Invalidate();
    void Render();
    void ContinueVectors();
    PlanDrawing MakePlan(const PlanOptions& options) const;
    void PaintBoxPaint(QPainter& painter);
    void PaintOverlay(QPainter& painter) const;
    void MousePress(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseRelease(QMouseEvent* event);
    void Wheel(int delta);
    void ClipClick(QPoint at);
    void Pan(QPoint to);

    PromptRoute prompt_{this};
    SurveyPaintBox* paintBox_ = nullptr;
    ScreenTarget screen_;
    QImage picture_;
    bool dirty_ = true;
    int nextLine_ = 0;
    int drawnLineCount_ = -1;
    QTimer* continuation_ = nullptr;
    QTimer* timer_ = nullptr;
    Watched watched_;

    MouseMode mode_ = MouseMode::Pan;
    bool dragging_ = false;
    QPoint last_;
    QPoint pointer_;
    std::array<QPoint, 4> band_{};  // A, B, C, D
    int clipStage_ = 0;

    QLineEdit* edtArrowLength_ = nullptr;
    QLineEdit* edtInterval_ = nullptr;
    QButtonGroup* rgVectorType_ = nullptr;
    QRadioButton* rdoClosest_ = nullptr;
    QRadioButton* rdoAverage_ = nullptr;
    QCheckBox* chkTrackLines_ = nullptr;
    QCheckBox* chkSolidArrows_ = nullptr;
};

}  // namespace fluvex
