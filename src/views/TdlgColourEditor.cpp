#include "views/TdlgColourEditor.h"

#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "services/ColourTable.h"
#include "views/ViewColour.h"

namespace fluvex {

namespace {

constexpr double kLargestRangeValue = 1e6;
constexpr int kRangeDecimals = 4;
constexpr int kSwatchSize = 16;
constexpr int kPreviewHeight = 28;

ColourRef FromQColor(const QColor& colour) {
    return MakeColour(colour.red(), colour.green(), colour.blue());
}

QIcon Swatch(ColourRef colour) {
    QPixmap pixmap(kSwatchSize, kSwatchSize);
    pixmap.fill(ToQColor(colour));
    return QIcon(pixmap);
}

ColourRef Midway(ColourRef a, ColourRef b) {
    return MakeColour((RedOf(a) + RedOf(b)) / 2, (GreenOf(a) + GreenOf(b)) / 2,
                      (BlueOf(a) + BlueOf(b)) / 2);
}

// The colour bar as the views will draw it: the range from left to right, with a strip of the
// below- and above-range colours at the ends.
class ColourBarPreview final : public QWidget {
public:
    ColourBarPreview(ColourTable& table, QWidget* parent) : QWidget(parent), table_(table) {
        setObjectName("pbxPreview");
        setMinimumHeight(kPreviewHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int strip = height() / 2;
        const int barLeft = strip;
        const int barWidth = width() - 2 * strip;
        painter.fillRect(0, 0, strip, height(), ToQColor(table_.BelowColour()));
        painter.fillRect(width() - strip, 0, strip, height(), ToQColor(table_.AboveColour()));
        const ColourTableProperties& range = table_.Properties();
        for (int x = 0; x < barWidth; ++x) {
            const double fraction = barWidth > 1 ? x / static_cast<double>(barWidth - 1) : 0;
            const double value = range.minimum + fraction * (range.maximum - range.minimum);
            painter.fillRect(barLeft + x, 0, 1, height(), ToQColor(table_.Colour(value)));
        }
    }

private:
    ColourTable& table_;
};

QDoubleSpinBox* NewRangeEdit(const char* name, QWidget* parent) {
    auto* edit = new QDoubleSpinBox(parent);
    edit->setObjectName(name);
    edit->setDecimals(kRangeDecimals);
    edit->setRange(-kLargestRangeValue, kLargestRangeValue);
    return edit;
}

QPushButton* NewButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

std::optional<std::filesystem::path> TdlgColourEditor::Edit(
    QWidget* parent, const std::filesystem::path& currentFile) {
    std::string error;
    auto table = ColourTable::Read(currentFile, error);
    if (!table) {
        QtUserPrompt(parent).ShowError(error, "Error");
        return std::nullopt;
    }
    TdlgColourEditor dialog(std::move(table), parent);
    dialog.exec();
    return dialog.SavedFile();
}

TdlgColourEditor::TdlgColourEditor(std::unique_ptr<ColourTable> table, QWidget* parent)
    : QDialog(parent), table_(std::move(table)) {
    setObjectName("dlgColourEditor");
    setWindowTitle("Velocity Colors");
    pbxPreview_ = new ColourBarPreview(*table_, this);
    auto* editors = new QHBoxLayout;
    editors->addWidget(BuildStopsPanel());
    editors->addWidget(BuildRangePanel());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(editors);
    layout->addWidget(pbxPreview_);
    layout->addWidget(BuildFilePanel());
    ShowTable();
    lstStops_->setCurrentRow(0);
}

TdlgColourEditor::~TdlgColourEditor() = default;

void TdlgColourEditor::SetPrompt(UserPrompt* prompt) {
    prompt_.Set(prompt);
}

UserPrompt& TdlgColourEditor::Prompt() {
    return prompt_.Current();
}

QWidget* TdlgColourEditor::BuildStopsPanel() {
    auto* panel = new QWidget(this);
    lstStops_ = new QListWidget(panel);
    lstStops_->setObjectName("lstStops");
    connect(lstStops_, &QListWidget::itemDoubleClicked, this, &TdlgColourEditor::EditSelectedStop);
    auto* btnAddStop = NewButton("Add", "btnAddStop", panel);
    btnRemoveStop_ = NewButton("Remove", "btnRemoveStop", panel);
    auto* btnStopColour = NewButton("Colour...", "btnStopColour", panel);
    connect(btnAddStop, &QPushButton::clicked, this, &TdlgColourEditor::AddStop);
    connect(btnRemoveStop_, &QPushButton::clicked, this, &TdlgColourEditor::RemoveStop);
    connect(btnStopColour, &QPushButton::clicked, this, &TdlgColourEditor::EditSelectedStop);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnAddStop);
    buttons->addWidget(btnRemoveStop_);
    buttons->addWidget(btnStopColour);
    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(lstStops_);
    layout->addLayout(buttons);
    return panel;
}

QWidget* TdlgColourEditor::BuildRangePanel() {
    auto* panel = new QWidget(this);
    edtMinimum_ = NewRangeEdit("edtMinimum", panel);
    edtMaximum_ = NewRangeEdit("edtMaximum", panel);
    edtStep_ = NewRangeEdit("edtStep", panel);
    edtStep_->setMinimum(0);
    for (QDoubleSpinBox* edit : {edtMinimum_, edtMaximum_, edtStep_})
        connect(edit, &QDoubleSpinBox::valueChanged, this, &TdlgColourEditor::OnRangeEdited);
    btnBelowColour_ = NewButton("Below range", "btnBelowColour", panel);
    btnAboveColour_ = NewButton("Above range", "btnAboveColour", panel);
    connect(btnBelowColour_, &QPushButton::clicked, this, [this] {
        ChooseColour(table_->BelowColour(), [this](ColourRef colour) {
            table_->SetOutOfRangeColours(colour, table_->AboveColour());
        });
    });
    connect(btnAboveColour_, &QPushButton::clicked, this, [this] {
        ChooseColour(table_->AboveColour(), [this](ColourRef colour) {
            table_->SetOutOfRangeColours(table_->BelowColour(), colour);
        });
    });
    auto* layout = new QFormLayout(panel);
    layout->addRow("Minimum", edtMinimum_);
    layout->addRow("Maximum", edtMaximum_);
    layout->addRow("Step", edtStep_);
    layout->addRow(btnBelowColour_);
    layout->addRow(btnAboveColour_);
    return panel;
}

QWidget* TdlgColourEditor::BuildFilePanel() {
    auto* panel = new QWidget(this);
    edtFileName_ = new QLineEdit(QString::fromStdString(table_->FileName().string()), panel);
    edtFileName_->setObjectName("edtFileName");
    auto* btnBrowse = NewButton("...", "btnBrowse", panel);
    auto* btnSave = NewButton("Save", "btnSave", panel);
    auto* btnCancel = NewButton("Cancel", "btnCancel", panel);
    btnSave->setDefault(true);
    connect(btnBrowse, &QPushButton::clicked, this, &TdlgColourEditor::ChooseFile);
    connect(btnSave, &QPushButton::clicked, this, &TdlgColourEditor::Save);
    connect(btnCancel, &QPushButton::clicked, this, &TdlgColourEditor::reject);
    auto* layout = new QHBoxLayout(panel);
    layout->addWidget(edtFileName_, 1);
    layout->addWidget(btnBrowse);
    layout->addWidget(btnSave);
    layout->addWidget(btnCancel);
    return panel;
}

// --- Showing the table ---

void TdlgColourEditor::ShowTable() {
    const int row = lstStops_->currentRow();
    lstStops_->clear();
    for (const ColourRef stop : table_->Stops()) {
        const QColor colour = ToQColor(stop);
        lstStops_->addItem(new QListWidgetItem(
            Swatch(stop),
            QString("%1, %2, %3").arg(colour.red()).arg(colour.green()).arg(colour.blue())));
    }
    lstStops_->setCurrentRow(std::min(row, lstStops_->count() - 1));
    btnRemoveStop_->setEnabled(table_->Stops().size() > 2);

    const ColourTableProperties& properties = table_->Properties();
    for (auto [edit, value] : {std::pair{edtMinimum_, properties.minimum},
                               {edtMaximum_, properties.maximum},
                               {edtStep_, properties.step}}) {
        const QSignalBlocker quiet(edit);
        edit->setValue(value);
    }
    btnBelowColour_->setIcon(Swatch(table_->BelowColour()));
    btnAboveColour_->setIcon(Swatch(table_->AboveColour()));
    pbxPreview_->update();
}

// --- Editing ---

void TdlgColourEditor::OnRangeEdited() {
    table_->Properties().step = edtStep_->value();
    table_->SetRange(edtMinimum_->value(), edtMaximum_->value());
    pbxPreview_->update();
}

void TdlgColourEditor::SetStop(int index, ColourRef colour) {
    std::vector<ColourRef> stops = table_->Stops();
    if (index < 0 || index >= static_cast<int>(stops.size())) return;
    stops[static_cast<std::size_t>(index)] = colour;
    table_->SetStops(std::move(stops));
}

// A new stop goes after the selected one, halfway to the next colour, so the bar barely moves.
void TdlgColourEditor::AddStop() {
    std::vector<ColourRef> stops = table_->Stops();
    const auto selected = static_cast<std::size_t>(std::max(lstStops_->currentRow(), 0));
    const std::size_t next = std::min(selected + 1, stops.size() - 1);
    stops.insert(stops.begin() + static_cast<std::ptrdiff_t>(selected + 1),
                 Midway(stops[selected], stops[next]));
    table_->SetStops(std::move(stops));
    lstStops_->setCurrentRow(static_cast<int>(selected + 1));
    ShowTable();
}

void TdlgColourEditor::RemoveStop() {
    std::vector<ColourRef> stops = table_->Stops();
    const int selected = lstStops_->currentRow();
    if (stops.size() <= 2 || selected < 0) return;
    stops.erase(stops.begin() + selected);
    table_->SetStops(std::move(stops));
    ShowTable();
}

void TdlgColourEditor::EditSelectedStop() {
    const int selected = lstStops_->currentRow();
    if (selected < 0) return;
    ChooseColour(table_->Stops()[static_cast<std::size_t>(selected)],
                 [this, selected](ColourRef colour) { SetStop(selected, colour); });
}

void TdlgColourEditor::ChooseColour(ColourRef initial, std::function<void(ColourRef)> apply) {
    auto* chooser = new QColorDialog(ToQColor(initial), this);
    chooser->setObjectName("dlgColour");
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QColorDialog::colorSelected, this,
            [this, apply = std::move(apply)](const QColor& colour) {
                apply(FromQColor(colour));
                ShowTable();
            });
    chooser->open();
}

// --- Saving ---

void TdlgColourEditor::ChooseFile() {
    QFileDialog dialog(this, "Save Colour File", edtFileName_->text(), "Colour Files (*.hcf)");
    dialog.setObjectName("dlgSaveColours");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("hcf");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        edtFileName_->setText(dialog.selectedFiles().front());
}

bool TdlgColourEditor::Save() {
    const ColourTableProperties& range = table_->Properties();
    if (!(range.maximum > range.minimum)) {
        Prompt().ShowError("The maximum must be above the minimum.", "Error");
        return false;
    }
    const QString name = edtFileName_->text().trimmed();
    if (name.isEmpty()) {
        Prompt().ShowError("Name the colour file to save.", "Error");
        return false;
    }
    const std::filesystem::path file = name.toStdString();
    std::string error;
    if (!table_->Write(file, &error)) {
        Prompt().ShowError("Cannot save the colours: " + error, "Error");
        return false;
    }
    savedFile_ = file;
    accept();
    return true;
}

}  // namespace fluvex
