#include "views/TfrmProfile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

#include "project/Database.h"
#include "settings/Settings.h"
#include "views/ProfilePainter.h"
#include "views/ProfilePrinter.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kPollIntervalMs = 1000;
// Status panels: at least these widths, and wide enough for the longest text each one shows.
constexpr std::array kStatusPanelWidths{100, 100, 100, 100, 50};
constexpr std::array kStatusPanelSamples{"Time: 00:00:00.0", "Depth: 0000.00 m",
                                         "Easting: 0000000.00", "Northing: 00000000.00", ""};
constexpr int kStatusPanelMargin = 8;
constexpr std::array kColourScalingItems{"No Scaling", "Scale Current File", "Scale All Files"};

std::string ErrorCaption() {
    return Text(1703, "Error").toStdString();
}

constexpr auto kReverseDbl = "Reverse DBL";

// Where the section is drawn before it is shown: white where nothing is drawn. It has the
// screen's own pixels, so that text and lines stay sharp on a high-density screen; drawing on it
// is in the paint box's pixels.
QImage BlankSurface(QSize size, qreal ratio) {
    if (size.isEmpty()) return {};
    QImage surface(size * ratio, QImage::Format_RGB32);
    surface.setDevicePixelRatio(ratio);
    surface.fill(Qt::white);
    return surface;
}

// A rectangle of paint-box pixels in the surface's own pixels.
QRect SurfacePixels(const QRect& rect, qreal ratio) {
    return QRectF(QPointF(rect.topLeft()) * ratio, QSizeF(rect.size()) * ratio).toAlignedRect();
}

// One pixel wide, rows `from` to `to`; empty when there are none.
QRect Column(int x, int from, int to) {
    return from <= to ? QRect(QPoint(x, from), QPoint(x, to)) : QRect();
}

QToolButton* NewToolButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    return button;
}

template <std::size_t N>
QComboBox* NewList(const char* name, const std::array<const char*, N>& items, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    for (const char* item : items)
        list->addItem(item);
    return list;
}

// Selects `index`, or nothing when the list has no such item.
void SelectIndex(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

}  // namespace

// The surface the section is shown on; what happens on it is the window's business.
class ProfilePaintBox final : public QWidget {
public:
    explicit ProfilePaintBox(TfrmProfile& owner) : QWidget(&owner), owner_(owner) {
        setObjectName("pbProfile");
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        owner_.PaintBox(painter, event->region());
    }
    void resizeEvent(QResizeEvent* /*event*/) override { owner_.Relayout(); }
    void mouseMoveEvent(QMouseEvent* event) override {
        owner_.PointerMoved(event->position().toPoint());
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) owner_.PointerPressed(event->position().toPoint());
    }

private:
    TfrmProfile& owner_;
};

TfrmProfile::TfrmProfile(QWidget* parent) : QWidget(parent) {
    setObjectName("frmProfile");
    setWindowTitle("Profile");
    paintBox_ = new ProfilePaintBox(*this);
    settingsPanel_ = BuildSettingsPanel();
    auto* middle = new QHBoxLayout;
    middle->addWidget(settingsPanel_);
    middle->addWidget(paintBox_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(BuildTopBar());
    layout->addLayout(middle, 1);
    layout->addWidget(BuildStatusBar());
    LoadControls();

    timer_ = new QTimer(this);
    timer_->setInterval(kPollIntervalMs);
    connect(timer_, &QTimer::timeout, this, &TfrmProfile::PollChanges);
    timer_->start();
}

TfrmProfile::~TfrmProfile() = default;

void TfrmProfile::SetPrompt(UserPrompt* prompt) {
    prompt_.Set(prompt);
}

UserPrompt& TfrmProfile::Prompt() {
    return prompt_.Current();
}

// ---------------------------------------------------------------------------------------------
// Construction

QWidget* TfrmProfile::BuildTopBar() {
    // A tool bar, so that in a narrow panel the buttons that do not fit move to its overflow
    // menu instead of widening the whole main window.
    auto* bar = new QToolBar(this);
    cmbVelocity_ = new QComboBox(bar);
    cmbVelocity_->setObjectName("cmbVelocity");
    cmbVelocity_->addItems(VelocityQuantityNames());
    // Under a scaling mode another component brings its own range (the line's).
    connect(cmbVelocity_, &QComboBox::activated, this, [this](int index) {
        AppSettings().SetVelocity(index);
        if (AppSettings().AutoScaleColors != 0 && ShownLine() >= 0)
            ScaleColoursForChoice(AppDatabase(), ShownLine(), 1);
        PollChanges();
    });
    cmbAutoScaleColors_ = NewList("cmbAutoScaleColors", kColourScalingItems, bar);
    // The poll does not watch this one: the choice applies its range, and the layout step
    // rescales the colours to the line under "Scale Current File".
    connect(cmbAutoScaleColors_, &QComboBox::activated, this, [this](int index) {
        AppSettings().AutoScaleColors = index;
        if (ShownLine() >= 0) ScaleColoursForChoice(AppDatabase(), ShownLine(), index);
        Relayout();
    });

    actReverseDBL_ = new QAction(kReverseDbl, this);
    actReverseDBL_->setObjectName("actReverseDBL");
    connect(actReverseDBL_, &QAction::triggered, this, &TfrmProfile::ReverseDbl);
    auto* reverse = new QToolButton(bar);
    reverse->setObjectName("btnReverseDBL");
    reverse->setDefaultAction(actReverseDBL_);

    auto* showHide = NewToolButton("Show/Hide", "btnShowHide", bar);
    connect(showHide, &QToolButton::clicked, this,
            [this] { settingsPanel_->setHidden(!settingsPanel_->isHidden()); });
    auto* autoScale = NewToolButton("Auto Scale Colors", "btnAutoScaleColors", bar);
    connect(autoScale, &QToolButton::clicked, this, &TfrmProfile::AutoScaleColorsClicked);
    auto* colourBar = NewToolButton("Color Bar", "btnColorBar", bar);
    connect(colourBar, &QToolButton::clicked, this, &TfrmProfile::ColorBarClicked);
    auto* print = NewToolButton("Print", "btnPrint", bar);
    connect(print, &QToolButton::clicked, this, &TfrmProfile::Print);

    const std::array<QWidget*, 10> controls{
        showHide,
        cmbVelocity_,
        cmbAutoScaleColors_,
        reverse,
        AddModeButton("Toggle Cursor Mode", "btnCursorMode", kBedCursor, bar),
        AddModeButton("Delete Cell", "btnDeleteCell", kDeleteCellCursor, bar),
        AddModeButton("Delete Ensemble", "btnDeleteEnsemble", kDeleteEnsembleCursor, bar),
        autoScale,
        colourBar,
        print};
    for (QWidget* control : controls)
        bar->addWidget(control);
    return bar;
}

QToolButton* TfrmProfile::AddModeButton(const QString& text, const char* name, int mode,
                                        QWidget* parent) {
    QToolButton* button = NewToolButton(text, name, parent);
    button->setCheckable(true);
    const ModeButton entry{button, mode};
    modeButtons_.push_back(entry);
    connect(button, &QToolButton::clicked, this,
            [this, entry](bool down) { ModeClicked(entry, down); });
    return button;
}

QWidget* TfrmProfile::BuildSettingsPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("pnlSettings");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(
        AddOptionCheck("Autoscale Depth", "chkAutoScaleDepth", &Settings::AutoScaleDepth, panel));
    layout->addWidget(
        AddOptionCheck("Autoscale DBL", "chkAutoScaleDBL", &Settings::AutoScaleDBL, panel));
    chkUseTime_ = AddOptionCheck("Use Time as X Axis", "chkUseTime", &Settings::UseTime, panel);
    layout->addWidget(chkUseTime_);
    layout->addWidget(AddOptionCheck("Auto Label", "chkAutoLabel", &Settings::AutoLabel, panel));
    layout->addWidget(BuildRangeControls(panel));
    layout->addWidget(BuildDepthLabelGroup(panel));
    layout->addWidget(BuildDblLabelGroup(panel));
    layout->addStretch(1);
    return panel;
}

QWidget* TfrmProfile::BuildRangeControls(QWidget* parent) {
    auto* ranges = new QWidget(parent);
    auto* form = new QFormLayout(ranges);
    form->setContentsMargins(0, 0, 0, 0);
    AddNumberRow(form, "Min Depth", "edtMinDepth", &Settings::MinDepth, depthRangeControls_);
    AddNumberRow(form, "Max Depth", "edtMaxDepth", &Settings::MaxDepth, depthRangeControls_);
    AddNumberRow(form, "Min DBL", "edtMinDBL", &Settings::StartDBL, dblRangeControls_);
    AddNumberRow(form, "Max DBL", "edtMaxDBL", &Settings::EndDBL, dblRangeControls_);
    return ranges;
}

QWidget* TfrmProfile::BuildDepthLabelGroup(QWidget* parent) {
    auto* group = new QGroupBox("Depth Labels", parent);
    group->setObjectName("gbDepthLabels");
    auto* form = new QFormLayout(group);
    for (QCheckBox* check :
         {AddOptionCheck("Depth Labels", "chkDepthLabels", &Settings::DepthLabels, group),
          AddOptionCheck("Depth Lines", "chkDepthLines", &Settings::DepthLines, group)}) {
        form->addRow(check);
        labelControls_.push_back(check);
    }
    AddNumberRow(form, "Label Increment", "edtDepthLabelInc", &Settings::DepthLabelInc,
                 labelControls_);
    AddNumberRow(form, "Tic Increment", "edtDepthTicInc", &Settings::DepthTicInc, labelControls_);
    return group;
}

QWidget* TfrmProfile::BuildDblLabelGroup(QWidget* parent) {
    auto* group = new QGroupBox("DBL Labels", parent);
    group->setObjectName("gbDBLLabels");
    auto* form = new QFormLayout(group);
    for (QCheckBox* check :
         {AddOptionCheck("DBL Labels", "chkDBLLabels", &Settings::DBLLabels, group),
          AddOptionCheck("Label Toes && Center", "chkLabelToesCenter", &Settings::LabelToesCenter,
                         group)}) {
        form->addRow(check);
        labelControls_.push_back(check);
    }
    AddNumberRow(form, "Label Increment", "edtDBLLabelInc", &Settings::DBLLabelInc, labelControls_);
    AddNumberRow(form, "Tic Increment", "edtDBLTicInc", &Settings::DBLTicInc, labelControls_);
    return group;
}

QCheckBox* TfrmProfile::AddOptionCheck(const QString& text, const char* name,
                                       bool Settings::*option, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    const OptionCheck check{box, option};
    optionChecks_.push_back(check);
    connect(box, &QCheckBox::clicked, this,
            [this, check](bool checked) { OptionClicked(check, checked); });
    return box;
}

void TfrmProfile::AddNumberRow(QFormLayout* form, const QString& caption, const char* name,
                               double Settings::*value, std::vector<QWidget*>& enabledGroup) {
    auto* parent = form->parentWidget();
    auto* label = new QLabel(caption, parent);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    label->setBuddy(edit);
    form->addRow(label, edit);
    const NumberEdit number{edit, value};
    numberEdits_.push_back(number);
    // Enter and leaving the edit both end an entry.
    connect(edit, &QLineEdit::editingFinished, this, [this, number] { StoreNumber(number); });
    enabledGroup.push_back(label);
    enabledGroup.push_back(edit);
}

QWidget* TfrmProfile::BuildStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setObjectName("sbProfile");
    bar->setSizeGripEnabled(false);
    for (std::size_t panel = 0; panel < kStatusPanelWidths.size(); ++panel) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString("lblStatus%1").arg(panel));
        const int width =
            std::max(kStatusPanelWidths[panel],
                     label->fontMetrics().horizontalAdvance(kStatusPanelSamples[panel]) +
                         kStatusPanelMargin);
        // The last panel takes what is left; the others keep still while their texts change.
        const bool last = panel + 1 == kStatusPanelWidths.size();
        if (last) {
            label->setMinimumWidth(width);
        } else {
            label->setFixedWidth(width);
        }
        bar->addWidget(label, last ? 1 : 0);
        statusPanels_.push_back(label);
    }
    return bar;
}

// ---------------------------------------------------------------------------------------------
// Controls and settings

TfrmProfile::LayoutValues TfrmProfile::LayoutValuesOf(const Settings& settings) {
    return {settings.CurrentLine,  settings.ShowColorBar, settings.AutoScaleDepth,
            settings.AutoScaleDBL, settings.UseTime,      settings.MinDepth,
            settings.MaxDepth,     settings.StartDBL,     settings.EndDBL};
}

TfrmProfile::DrawingValues TfrmProfile::DrawingValuesOf(const Settings& settings) {
    return {settings.Velocity(),   settings.VelocityUnits,   settings.BottomTrack(),
            settings.AutoLabel,    settings.LabelToesCenter, settings.DBLLabels,
            settings.DBLLabelInc,  settings.DBLTicInc,       settings.DepthLabels,
            settings.DepthLines,   settings.DepthLabelInc,   settings.DepthTicInc,
            settings.DecimalPlaces};
}

void TfrmProfile::PollChanges() {
    const Settings& settings = AppSettings();
    if (AppDatabase().LineCount() < 1 || settings.CurrentLine < 0) return;
    const bool layoutChanged = LayoutValuesOf(settings) != watchedLayout_;
    if (!layoutChanged && DrawingValuesOf(settings) == watchedDrawing_) return;
    if (layoutChanged) {
        Relayout();
    } else {
        RenderSection();
    }
    // Drawing with automatic labels writes the increments back: they are part of what is shown.
    watchedLayout_ = LayoutValuesOf(settings);
    watchedDrawing_ = DrawingValuesOf(settings);
    LoadControls();
}

void TfrmProfile::LoadControls() {
    const Settings& settings = AppSettings();
    for (const OptionCheck& check : optionChecks_)
        check.box->setChecked(settings.*check.option);
    for (const NumberEdit& number : numberEdits_)
        ShowNumber(number);
    SelectIndex(cmbVelocity_, settings.Velocity());
    SelectIndex(cmbAutoScaleColors_, settings.AutoScaleColors);
    for (const ModeButton& mode : modeButtons_)
        mode.button->setChecked(settings.Cursor == mode.mode);
    UpdateEnabledStates();
}

void TfrmProfile::UpdateEnabledStates() {
    const Settings& settings = AppSettings();
    for (const auto& [controls, byHand] :
         {std::pair{&depthRangeControls_, !settings.AutoScaleDepth},
          std::pair{&dblRangeControls_, !settings.AutoScaleDBL},
          std::pair{&labelControls_, !settings.AutoLabel}})
        for (QWidget* control : *controls)
            control->setEnabled(byHand);
    UpdateReverseAction();
}

// Reversing the distance along line means nothing on a time axis; the hint says why it is off.
void TfrmProfile::UpdateReverseAction() {
    const bool useTime = AppSettings().UseTime;
    actReverseDBL_->setEnabled(!useTime);
    const QString hint = kReverseDbl;
    actReverseDBL_->setToolTip(
        useTime ? hint + " Disabled while \"" + chkUseTime_->text() + "\" is Enabled" : hint);
}

void TfrmProfile::OptionClicked(const OptionCheck& check, bool checked) {
    AppSettings().*check.option = checked;
    UpdateEnabledStates();
    PollChanges();
}

void TfrmProfile::StoreNumber(const NumberEdit& number) {
    const auto value = TypedNumber(number.edit->text());
    if (!value) {
        // A modal message takes the focus: that must not end the entry a second time.
        const QSignalBlocker quiet(number.edit);
        Prompt().ShowError("Invalid Value", ErrorCaption());
        ShowNumber(number);
        return;
    }
    AppSettings().*number.value = *value;
    PollChanges();
}

void TfrmProfile::ShowNumber(const NumberEdit& number) {
    number.edit->setText(
        QLocale().toString(AppSettings().*number.value, 'g', QLocale::FloatingPointShortest));
}

// At most one mode button is down; none down is the normal cursor.
void TfrmProfile::ModeClicked(const ModeButton& clicked, bool down) {
    for (const ModeButton& other : modeButtons_)
        if (other.button != clicked.button) other.button->setChecked(false);
    AppSettings().Cursor = down ? clicked.mode : kNormalCursor;
    EraseCursor();
}

void TfrmProfile::ReverseDbl() {
    const int line = ShownLine();
    if (line < 0 || AppSettings().UseTime) return;
    AppDatabase().ReversePlannedLine(line);
    Relayout();
    emit DataChanged();
}

void TfrmProfile::Print() {
    if (AppDatabase().LineCount() == 0) return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!PrintTo(printer))
        Prompt().ShowError("Printing failed: the printer could not be started.", ErrorCaption());
}

bool TfrmProfile::PrintTo(QPagedPaintDevice& device) {
    const bool printed = PrintProfiles(device, AppDatabase());
    // Printing lays the lines out for the page.
    Relayout();
    return printed;
}

void TfrmProfile::Refresh() {
    Relayout();
}

// ---------------------------------------------------------------------------------------------
// The section

int TfrmProfile::ShownLine() const {
    const int line = AppSettings().CurrentLine;
    return line >= 0 && line < AppDatabase().LineCount() ? line : -1;
}

void TfrmProfile::Relayout() {
    PrepareSurface();
    const int line = ShownLine();
    if (line < 0 || section_.isNull()) {
        layout_ = {};
    } else {
        const QFontMetrics metrics(paintBox_->font(), &section_);
        layout_ = ComputeProfileLayout(AppDatabase(), line,
                                       PixelRect{0, 0, paintBox_->width(), paintBox_->height()},
                                       false, MeasureText(metrics));
    }
    RenderSection();
}

void TfrmProfile::PrepareSurface() {
    const qreal ratio = paintBox_->devicePixelRatioF();
    if (section_.deviceIndependentSize() != QSizeF(paintBox_->size()) ||
        section_.devicePixelRatio() != ratio) {
        section_ = BlankSurface(paintBox_->size(), ratio);
    } else {
        section_.fill(Qt::white);
    }
}

void TfrmProfile::RenderSection() {
    PrepareSurface();
    const int line = ShownLine();
    if (line >= 0 && !section_.isNull()) {
        QPainter painter(&section_);
        painter.setFont(paintBox_->font());
        PaintProfile(painter, AppDatabase(), line, layout_, AppSettings().ShowColorBar);
    }
    // A new picture has no cross-hair on it.
    cursor_.reset();
    paintBox_->update();
}

void TfrmProfile::PaintBox(QPainter& painter, const QRegion& region) const {
    if (section_.isNull()) {
        painter.fillRect(region.boundingRect(), Qt::white);
        return;
    }
    const qreal ratio = section_.devicePixelRatio();
    for (const QRect& rect : region)
        painter.drawImage(QRectF(rect), section_, QRectF(SurfacePixels(rect, ratio)));
    if (!cursor_) return;
    for (const QRect& strip : HairStrips(*cursor_)) {
        QImage inverted = section_.copy(SurfacePixels(strip, ratio));
        inverted.invertPixels();
        painter.drawImage(QRectF(strip), inverted);
    }
}

// The pixels the cross-hair inverts: the horizontal hair across the plot and the vertical one
// down it. Drawn by exclusive-or one after the other, the two invert their crossing twice, so it
// keeps its colour.
std::vector<QRect> TfrmProfile::HairStrips(QPoint at) const {
    const PixelRect& plot = layout_.plot;
    const QRect bounds(QPoint(0, 0), section_.deviceIndependentSize().toSize());
    std::vector<QRect> strips;
    for (const QRect& strip :
         {QRect(QPoint(plot.left, at.y()), QPoint(plot.right, at.y())),
          Column(at.x(), plot.top, at.y() - 1), Column(at.x(), at.y() + 1, plot.bottom)}) {
        const QRect visible = strip.intersected(bounds);
        if (!visible.isEmpty()) strips.push_back(visible);
    }
    return strips;
}

void TfrmProfile::EraseCursor() {
    if (!cursor_) return;
    for (const QRect& strip : HairStrips(*cursor_))
        paintBox_->update(strip);
    cursor_.reset();
}

void TfrmProfile::DrawCursor(QPoint at) {
    cursor_ = at;
    for (const QRect& strip : HairStrips(at))
        paintBox_->update(strip);
}

void TfrmProfile::ShowStatus(const CursorReading& reading) {
    for (std::size_t panel = 0; panel < reading.panels.size(); ++panel)
        if (reading.panels[panel])
            statusPanels_[panel]->setText(QString::fromStdString(*reading.panels[panel]));
}

void TfrmProfile::PointerMoved(QPoint at) {
    const int line = ShownLine();
    if (line < 0) return;
    EraseCursor();
    if (!layout_.plot.Contains(at.x(), at.y())) return;
    const Settings& settings = AppSettings();
    const auto pings = AppDatabase().Ensembles(line);
    const CursorReading reading =
        ReadCursor(pings, layout_.ValueAtX(at.x()), layout_.DepthAtY(at.y()), settings.UseTime,
                   settings.Cursor, lastBedDepth_);
    lastBedDepth_ = reading.bedDepth;
    ShowStatus(reading);
    QPoint crossing = at;
    if (settings.Cursor == kBedCursor) crossing.setY(layout_.MapY(lastBedDepth_));
    DrawCursor(crossing);
    if (reading.ping)
        emit EnsemblePointed(pings[static_cast<std::size_t>(*reading.ping)], reading.cell);
}

void TfrmProfile::PointerPressed(QPoint at) {
    const int line = ShownLine();
    const int mode = AppSettings().Cursor;
    if (line < 0 || (mode != kDeleteCellCursor && mode != kDeleteEnsembleCursor)) return;
    EraseCursor();
    if (!layout_.plot.Contains(at.x(), at.y()) || !DeleteAt(line, at, mode)) return;
    Relayout();
    emit DataChanged();
}

bool TfrmProfile::DeleteAt(int line, QPoint at, int mode) {
    Database& database = AppDatabase();
    const bool useTime = AppSettings().UseTime;
    const double value = layout_.ValueAtX(at.x());
    const auto pings = database.Ensembles(line);
    const std::optional<int> found = NearestPing(pings, value, useTime);
    if (!found) return false;
    if (mode == kDeleteEnsembleCursor) {
        database.RemoveEnsemble(line, PingToDelete(pings, *found, value, useTime));
        return true;
    }
    const auto cell =
        CellToDelete(pings[static_cast<std::size_t>(*found)], layout_.DepthAtY(at.y()));
    if (!cell) return false;
    database.DeleteCell(line, *found, *cell);
    return true;
}

}  // namespace fluvex
