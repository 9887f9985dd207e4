#include "views/TfrmSurvey.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

#include "model/TextUtil.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/CurrentColourTable.h"
#include "settings/Settings.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kPollIntervalMs = 1000;
constexpr int kWheelStep = 120;

}  // namespace

// The paint box: shows the cached picture with the rubber band over it and hands the mouse to
// the window.
class SurveyPaintBox final : public QWidget {
public:
    explicit SurveyPaintBox(TfrmSurvey& owner) : owner_(owner) {
        setObjectName("pbTrackView");
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setMinimumSize(120, 120);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        owner_.PaintBoxPaint(painter);
    }
    void resizeEvent(QResizeEvent*) override { owner_.Invalidate(); }
    void mousePressEvent(QMouseEvent* event) override { owner_.MousePress(event); }
    void mouseMoveEvent(QMouseEvent* event) override { owner_.MouseMove(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { owner_.MouseRelease(event); }
    void wheelEvent(QWheelEvent* event) override { owner_.Wheel(event->angleDelta().y()); }

private:
    TfrmSurvey& owner_;
};

std::array<QPoint, 2> ClipCorners(QPoint a, QPoint b, QPoint pointer) {
    const float x0 = static_cast<float>(a.x());
    const float y0 = static_cast<float>(a.y());
    const float x1 = static_cast<float>(b.x());
    const float y1 = static_cast<float>(b.y());
    const float mx = static_cast<float>(pointer.x());
    const float my = static_cast<float>(pointer.y());
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const auto whole = [](float v) { return static_cast<int>(std::trunc(v)); };
    if (dy == 0) return {QPoint(b.x(), pointer.y()), QPoint(a.x(), pointer.y())};
    if (std::abs(dx / dy) <= 2) {
        const float k = dx / dy;
        return {QPoint(pointer.x(), whole(k * (x1 - mx) + y1)),
                QPoint(whole(x0 - (x1 - mx)), whole(k * (x1 - mx) + y0))};
    }
    const float t = (dy / dx) * (y1 - my);
    return {QPoint(whole(t + x1), pointer.y()), QPoint(whole(t + x0), whole(y0 - (y1 - my)))};
}

TfrmSurvey::TfrmSurvey(QWidget* parent) : QWidget(parent) {
    setObjectName("frmSurvey");
    screen_.View().SetZoomStep(1.1);
    paintBox_ = new SurveyPaintBox(*this);
    auto* centre = new QVBoxLayout;
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(BuildToolBar());
    centre->addWidget(paintBox_, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(centre, 1);
    layout->addWidget(BuildSidePanel());

    continuation_ = new QTimer(this);
    continuation_->setInterval(0);
    connect(continuation_, &QTimer::timeout, this, &TfrmSurvey::ContinueVectors);
    timer_ = new QTimer(this);
    timer_->setInterval(kPollIntervalMs);
    connect(timer_, &QTimer::timeout, this, &TfrmSurvey::PollChanges);
    timer_->start();
    watched_ = Current();
    LoadSidePanel();
}

TfrmSurvey::~TfrmSurvey() = default;

QWidget* TfrmSurvey::PaintBox() const {
    return paintBox_;
}

bool TfrmSurvey::Drawing() const {
    return continuation_->isActive();
}

QWidget* TfrmSurvey::BuildToolBar() {
    // A tool bar folds the buttons that do not fit into its extension menu, so a narrow panel
    // never widens the main window.
    auto* bar = new QToolBar;
    bar->setObjectName("tbSurvey");
    const auto button = [&](const char* name, const QString& text, auto slot) {
        auto* b = new QToolButton;
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(text);
        connect(b, &QToolButton::clicked, this, slot);
        bar->addWidget(b);
    };
    button("btnZoomExtents", tr("Zoom Extents"), &TfrmSurvey::ZoomExtents);
    button("btnZoomIn", tr("Zoom In"), &TfrmSurvey::ZoomIn);
    button("btnZoomOut", tr("Zoom Out"), &TfrmSurvey::ZoomOut);
    button("btnPan", tr("Pan/Drag"), [this] { SetMode(MouseMode::Pan); });
    button("btnZoomWin", tr("Zoom Window"), [this] { SetMode(MouseMode::ZoomWindow); });
    button("btnDrawClip", tr("Draw Clip Border"), [this] { SetMode(MouseMode::ClipBorder); });
    button("btnClearClip", tr("Clear Clipping Border"), &TfrmSurvey::ClearClipBorder);
    return bar;
}

QWidget* TfrmSurvey::BuildSidePanel() {
    auto* panel = new QWidget;
    panel->setObjectName("pnlSurveySide");
    auto* column = new QVBoxLayout(panel);
    auto* form = new QFormLayout;
    edtArrowLength_ = new QLineEdit;
    edtArrowLength_->setObjectName("edtArrowLength");
    edtInterval_ = new QLineEdit;
    edtInterval_->setObjectName("edtInterval");
    form->addRow(tr("Arrow Length"), edtArrowLength_);
    form->addRow(tr("Interval"), edtInterval_);
    column->addLayout(form);
    // Losing the focus and Enter both end the edit.
    connect(edtArrowLength_, &QLineEdit::editingFinished, this,
            [this] { StoreEdit(edtArrowLength_, AppSettings().ArrowLength); });
    connect(edtInterval_, &QLineEdit::editingFinished, this,
            [this] { StoreEdit(edtInterval_, AppSettings().ArrowInterval); });

    auto* types = new QGroupBox(tr("Vector Type"));
    types->setObjectName("rgVectorType");
    auto* typeColumn = new QVBoxLayout(types);
    rgVectorType_ = new QButtonGroup(this);
    const QString typeNames[] = {tr("Flood Stream"), tr("Ebb Stream"), tr("Restricted Current")};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(typeNames[i]);
        rgVectorType_->addButton(radio, i);
        typeColumn->addWidget(radio);
    }
    connect(rgVectorType_, &QButtonGroup::idClicked, this,
            [](int id) { AppSettings().ArrowStyle = id; });
    column->addWidget(types);

    auto* placement = new QGroupBox(tr("2D DXF Output"));
    auto* placementColumn = new QVBoxLayout(placement);
    rdoClosest_ = new QRadioButton(tr("Closest Point"));
    rdoClosest_->setObjectName("rdoClosest");
    rdoAverage_ = new QRadioButton(tr("Average"));
    rdoAverage_->setObjectName("rdoAverage");
    placementColumn->addWidget(rdoClosest_);
    placementColumn->addWidget(rdoAverage_);
    connect(rdoClosest_, &QRadioButton::clicked, this, [] { AppSettings().Mid_Avg = 0; });
    connect(rdoAverage_, &QRadioButton::clicked, this, [] { AppSettings().Mid_Avg = 1; });
    column->addWidget(placement);

    chkTrackLines_ = new QCheckBox(tr("Draw Trackline"));
    chkTrackLines_->setObjectName("chkTrackLines");
    chkSolidArrows_ = new QCheckBox(tr("Draw Solid Arrows"));
    chkSolidArrows_->setObjectName("chkSolidArrows");
    column->addWidget(chkTrackLines_);
    column->addWidget(chkSolidArrows_);
    column->addStretch(1);
    return panel;
}

void TfrmSurvey::BindActions(QAction* trackLines, QAction* solidArrows) {
    const auto bind = [this](QCheckBox* box, QAction* action) {
        box->setChecked(action->isChecked());
        connect(box, &QCheckBox::clicked, action, &QAction::trigger);
        connect(action, &QAction::toggled, box, &QCheckBox::setChecked);
    };
    bind(chkTrackLines_, trackLines);
    bind(chkSolidArrows_, solidArrows);
}

void TfrmSurvey::StoreEdit(QLineEdit* edit, double& value) {
    const std::optional<double> typed = TypedNumber(edit->text());
    if (!typed) {
        // A modal message takes the focus: that must not end the entry a second time.
        const QSignalBlocker quiet(edit);
        prompt_.Current().ShowError("Invalid Value", "Error");
    } else {
        value = *typed;
    }
    edit->setText(QString::fromStdString(FormatShortest(value)));
    PollChanges();
}

void TfrmSurvey::LoadSidePanel() {
    const Settings& settings = AppSettings();
    edtArrowLength_->setText(QString::fromStdString(FormatShortest(settings.ArrowLength)));
    edtInterval_->setText(QString::fromStdString(FormatShortest(settings.ArrowInterval)));
    if (QAbstractButton* type = rgVectorType_->button(settings.ArrowStyle)) type->setChecked(true);
    (settings.Mid_Avg != 0 ? rdoAverage_ : rdoClosest_)->setChecked(true);
    chkTrackLines_->setChecked(settings.ShowTrackLines);
    chkSolidArrows_->setChecked(settings.SolidArrows);
}

TfrmSurvey::Watched TfrmSurvey::Current() {
    const Settings& s = AppSettings();
    return {s.CurrentLine, s.ShowTrackLines, s.SolidArrows, s.ArrowInterval,
            s.ArrowLength, s.Mid_Avg,        s.ArrowStyle};
}

void TfrmSurvey::PollChanges() {
    Watched now = Current();
    if (now == watched_) return;
    Watched onlyLine = watched_;
    onlyLine.currentLine = now.currentLine;
    Database& database = AppDatabase();
    if (onlyLine == now && now.currentLine >= 0 && now.currentLine < database.LineCount()) {
        // The other family's pings carry no cells to average over distance.
        const bool sonTek = database.HasSonTekLine();
        rdoAverage_->setEnabled(!sonTek);
        if (sonTek && AppSettings().Mid_Avg != 0) {
            AppSettings().Mid_Avg = 0;
            now = Current();
        }
    }
    watched_ = now;
    LoadSidePanel();
    Invalidate();
}

void TfrmSurvey::paintEvent(QPaintEvent* event) {
    // The main window asks for a new picture by updating this window; the side panel's own
    // repaints (a blinking text cursor) do not.
    if (!event->region().intersects(paintBox_->geometry())) return;
    dirty_ = true;
    paintBox_->update();
}

void TfrmSurvey::Invalidate() {
    dirty_ = true;
    paintBox_->update();
}

PlanDrawing TfrmSurvey::MakePlan(const PlanOptions& options) const {
    return PlanDrawing(AppDatabase(), options, CurrentQuantityOptions(), CurrentVelocityTable());
}

void TfrmSurvey::Render() {
    dirty_ = false;
    const qreal ratio = paintBox_->devicePixelRatioF();
    const QSize size = paintBox_->size();
    if (picture_.size() != size * ratio || picture_.devicePixelRatio() != ratio) {
        picture_ = QImage(size * ratio, QImage::Format_RGB32);
        picture_.setDevicePixelRatio(ratio);
    }
    picture_.fill(Qt::white);
    Database& database = AppDatabase();
    screen_.View().SetViewport({0, 0, size.width(), size.height()});
    // New lines are first shown whole.
    if (database.LineCount() != drawnLineCount_) {
        drawnLineCount_ = database.LineCount();
        const WorldRect bounds = ZoomExtentsBounds(database);
        screen_.View().SetExtents(bounds);
        screen_.View().ZoomTo(bounds);
        screen_.View().ZoomOut();
    }
    QPainter painter(&picture_);
    screen_.AttachPainter(&painter);
    screen_.BeginPicture();
    screen_.SetPen(0, 1, 0x000000);
    screen_.SetFillColour(kBorderFill);
    const PlanDrawing plan = MakePlan(PlanOptions::From(AppSettings()));
    plan.DrawBorder(screen_);
    plan.DrawPlannedLines(screen_, AppSettings().CurrentLine);
    nextLine_ = plan.DrawVectors(screen_, 0);
    screen_.AttachPainter(nullptr);
    if (nextLine_ < database.LineCount())
        continuation_->start();
    else
        continuation_->stop();
}

void TfrmSurvey::ContinueVectors() {
    if (nextLine_ >= AppDatabase().LineCount() || picture_.isNull()) {
        continuation_->stop();
        return;
    }
    QPainter painter(&picture_);
    screen_.AttachPainter(&painter);
    nextLine_ = MakePlan(PlanOptions::From(AppSettings())).DrawVectors(screen_, nextLine_);
    screen_.AttachPainter(nullptr);
    if (nextLine_ >= AppDatabase().LineCount()) continuation_->stop();
    paintBox_->update();
}

void TfrmSurvey::DrawNow() {
    Render();
    while (continuation_->isActive())
        ContinueVectors();
    paintBox_->update();
}

void TfrmSurvey::PaintBoxPaint(QPainter& painter) {
    const qreal ratio = paintBox_->devicePixelRatioF();
    if (dirty_ || picture_.size() != paintBox_->size() * ratio) Render();
    painter.drawImage(0, 0, picture_);
    PaintOverlay(painter);
}

void TfrmSurvey::PaintOverlay(QPainter& painter) const {
    // White under a dashed black line shows on the white paper and on the dark arrows alike.
    const auto draw = [&painter](auto&& shape) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        shape();
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        shape();
    };
    if (mode_ == MouseMode::ZoomWindow && dragging_) {
        const QRect band = QRect(band_[0], pointer_).normalized();
        draw([&] { painter.drawRect(band); });
    } else if (mode_ == MouseMode::ClipBorder && clipStage_ == 1) {
        draw([&] { painter.drawLine(band_[0], band_[1]); });
    } else if (mode_ == MouseMode::ClipBorder && clipStage_ == 2) {
        const QPoint corners[] = {band_[0], band_[1], band_[2], band_[3]};
        draw([&] { painter.drawPolygon(corners, 4); });
    }
}

void TfrmSurvey::SetMode(MouseMode mode) {
    mode_ = mode;
    clipStage_ = 0;
    dragging_ = false;
    paintBox_->setCursor(mode == MouseMode::Pan          ? Qt::ArrowCursor
                         : mode == MouseMode::ZoomWindow ? Qt::CrossCursor
                                                         : Qt::PointingHandCursor);
    paintBox_->update();
}

void TfrmSurvey::ZoomExtents() {
    const WorldRect bounds = ZoomExtentsBounds(AppDatabase());
    ViewMapping& view = screen_.View();
    view.SetViewport({0, 0, paintBox_->width(), paintBox_->height()});
    view.SetExtents(bounds);
    view.ZoomTo(bounds);
    view.ZoomOut();
    drawnLineCount_ = AppDatabase().LineCount();
    Invalidate();
}

void TfrmSurvey::ZoomIn() {
    screen_.View().ZoomIn();
    Invalidate();
}

void TfrmSurvey::ZoomOut() {
    screen_.View().ZoomOut();
    Invalidate();
}

void TfrmSurvey::ClearClipBorder() {
    AppDatabase().ClearBorder();
    AppSettings().BorderFile.clear();
    Invalidate();
    emit BorderChanged();
}

void TfrmSurvey::Wheel(int delta) {
    const int steps = std::abs(delta) / kWheelStep;
    for (int i = 0; i < steps; ++i) {
        if (delta < 0)
            screen_.View().ZoomOut();
        else
            screen_.View().ZoomIn();
    }
    if (steps > 0) Invalidate();
}

void TfrmSurvey::MousePress(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        clipStage_ = 0;
        dragging_ = false;
        paintBox_->update();
        return;
    }
    last_ = pointer_ = at;
    dragging_ = true;
    if (mode_ == MouseMode::ZoomWindow) band_[0] = at;
    if (mode_ == MouseMode::ClipBorder) ClipClick(at);
}

void TfrmSurvey::ClipClick(QPoint at) {
    switch (clipStage_) {
        case 0:
            band_[0] = band_[1] = at;
            clipStage_ = 1;
            break;
        case 1:
            // Until the rubber line has left the first corner there is no edge to draw on.
            if (band_[1] == band_[0]) return;
            band_[1] = at;
            band_[2] = band_[1];
            band_[3] = band_[0];
            clipStage_ = 2;
            break;
        default: {
            std::array<BorderPoint, 4> corners;
            for (std::size_t i = 0; i < 4; ++i) {
                const WorldPoint world = screen_.View().PixelToWorld(
                    {static_cast<double>(band_[i].x()), static_cast<double>(band_[i].y())});
                corners[i] = {world.x, world.y};
            }
            AppDatabase().SetBorderQuad(corners);
            clipStage_ = 0;
            Invalidate();
            emit BorderChanged();
            return;
        }
    }
    paintBox_->update();
}

void TfrmSurvey::MouseMove(QMouseEvent* event) {
    pointer_ = event->position().toPoint();
    const bool held = event->buttons() != Qt::NoButton;
    if (mode_ == MouseMode::Pan) {
        if (held && dragging_) Pan(pointer_);
        return;
    }
    if (mode_ == MouseMode::ClipBorder && clipStage_ == 1) band_[1] = pointer_;
    if (mode_ == MouseMode::ClipBorder && clipStage_ == 2) {
        const std::array<QPoint, 2> corners = ClipCorners(band_[0], band_[1], pointer_);
        band_[2] = corners[0];
        band_[3] = corners[1];
    }
    paintBox_->update();
}

void TfrmSurvey::Pan(QPoint to) {
    ViewMapping& view = screen_.View();
    const double scale = view.Scale();
    if (scale <= 0) return;
    const QPoint moved = to - last_;
    WorldRect shown = view.GetView();
    // The world moves with the pointer: the view the other way.
    const double dx = -moved.x() / scale;
    const double dy = moved.y() / scale;
    shown = {shown.minX + dx, shown.minY + dy, shown.maxX + dx, shown.maxY + dy};
    view.SetView(shown);
    last_ = to;
    Invalidate();
}

void TfrmSurvey::MouseRelease(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (mode_ == MouseMode::ZoomWindow && dragging_ && at != band_[0]) {
        const ViewMapping& view = screen_.View();
        const WorldPoint a = view.PixelToWorld({double(band_[0].x()), double(band_[0].y())});
        const WorldPoint b = view.PixelToWorld({double(at.x()), double(at.y())});
        screen_.View().ZoomTo(
            {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
        Invalidate();
    }
    dragging_ = false;
    paintBox_->update();
}

}  // namespace fluvex
