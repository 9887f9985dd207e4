#include "views/TfrmSpreadsheet.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "export/QuantityTable.h"
#include "model/Units.h"
#include "processing/ChartQuantities.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/HostService.h"
#include "services/IniFile.h"
#include "settings/Settings.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kWatchPeriodMs = 250;
constexpr int kDefaultWidth = 96;
constexpr int kKindRole = Qt::UserRole;
constexpr int kWidthRole = Qt::UserRole + 1;

// A width from a file or a drag that the grid can show.
int UsableWidth(int width) {
    return std::clamp(width, 16, 2000);
}

// Kinds a layout or settings file may hold that are none of ours go, with their widths, so that
// grid column j + 1 is layout column j.
void DropUnknownKinds(Settings& settings) {
    int kept = 0;
    const int count = std::clamp(settings.NColumns, 0, kMaxSpreadsheetColumns);
    for (int column = 0; column < count; ++column) {
        const auto from = static_cast<std::size_t>(column);
        if (!IsChartKind(settings.Column[from])) continue;
        const auto to = static_cast<std::size_t>(kept++);
        settings.Column[to] = settings.Column[from];
        settings.ColWidth[to] = settings.ColWidth[from];
    }
    settings.NColumns = kept;
}

}  // namespace

// The grid's rows, written from the line's pings when the view asks for them.
class QuantityTableModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Reset(int line, std::vector<int> kinds) {
        beginResetModel();
        line_ = line;
        kinds_ = std::move(kinds);
        // The watch resets the grid after every processing or unit change.
        options_ = CurrentProcessingOptions();
        rows_ = line < 0 ? 0 : AppDatabase().EnsembleCount(line);
        headings_.clear();
        for (const int kind : kinds_)
            headings_ << ToQString(ChartHeadingWithUnit(kind, Units()));
        endResetModel();
    }
    int Line() const { return line_; }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(kinds_.size()) + 1;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
        if (section == 0) return tr("Ensemble");
        return section <= headings_.size() ? headings_[section - 1] : QVariant();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole || line_ < 0) return {};
        // Asked afresh each time: the line's pings move when it is reprocessed.
        const auto ensembles = AppDatabase().Ensembles(line_);
        const auto row = static_cast<std::size_t>(index.row());
        if (row >= ensembles.size()) return {};
        const Ensemble& ensemble = ensembles[row];
        if (index.column() == 0) return ensemble.variableLeader.EnsembleNumber();
        const auto column = static_cast<std::size_t>(index.column() - 1);
        return column < kinds_.size()
                   ? ToQString(ChartValueText(ensemble, kinds_[column], options_))
                   : QVariant();
    }

private:
    int line_ = -1;
    int rows_ = 0;
    std::vector<int> kinds_;
    ProcessingOptions options_;
    QStringList headings_;
};

TfrmSpreadsheet::TfrmSpreadsheet(QWidget* parent) : QWidget(parent) {
    setObjectName("frmSpreadsheet");
    setWindowTitle(tr("Spreadsheet"));
    model_ = new QuantityTableModel(this);
    grid_ = new QTableView;
    grid_->setObjectName("grid");
    grid_->setModel(model_);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setWordWrap(false);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { ColumnResized(column, width); });
    connect(grid_, &QTableView::clicked, this,
            [this](const QModelIndex& index) { RowClicked(index.row()); });

    auto* showPanel = new QPushButton(tr("Show/Hide"));
    showPanel->setObjectName("btnShowPanel");
    panel_ = BuildColumnPanel();
    connect(showPanel, &QPushButton::clicked, this,
            [this] { panel_->setVisible(panel_->isHidden()); });
    auto* gridSide = new QVBoxLayout;
    gridSide->addWidget(grid_);
    gridSide->addWidget(showPanel, 0, Qt::AlignLeft);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(gridSide, 1);
    layout->addWidget(panel_);

    watch_ = new QTimer(this);
    watch_->setInterval(kWatchPeriodMs);
    connect(watch_, &QTimer::timeout, this, &TfrmSpreadsheet::Watch);
    RebuildLists();
    Refresh();
}

TfrmSpreadsheet::~TfrmSpreadsheet() = default;

QWidget* TfrmSpreadsheet::BuildColumnPanel() {
    auto* panel = new QWidget;
    panel->setObjectName("pnlColumns");
    available_ = new QListWidget;
    available_->setObjectName("lstAvailable");
    available_->setSortingEnabled(true);
    chosen_ = new QListWidget;
    chosen_->setObjectName("lstColumns");
    chosen_->setDragDropMode(QAbstractItemView::InternalMove);
    connect(chosen_->model(), &QAbstractItemModel::rowsMoved, this,
            [this] { QTimer::singleShot(0, this, &TfrmSpreadsheet::TakeChosenList); });
    connect(available_, &QListWidget::itemDoubleClicked, this, &TfrmSpreadsheet::AddColumn);
    connect(chosen_, &QListWidget::itemDoubleClicked, this, &TfrmSpreadsheet::RemoveColumn);

    auto button = [this](const char* name, const QString& text, void (TfrmSpreadsheet::*slot)()) {
        auto* made = new QPushButton(text);
        made->setObjectName(name);
        connect(made, &QPushButton::clicked, this, slot);
        return made;
    };
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Available")));
    layout->addWidget(available_);
    auto* moves = new QHBoxLayout;
    moves->addWidget(button("btnAdd", tr("Add"), &TfrmSpreadsheet::AddColumn));
    moves->addWidget(button("btnRemove", tr("Remove"), &TfrmSpreadsheet::RemoveColumn));
    layout->addLayout(moves);
    layout->addWidget(new QLabel(tr("Columns (drag to reorder)")));
    layout->addWidget(chosen_);
    layout->addWidget(
        button("btnSaveSetup", tr("Save Spreadsheet Layout"), &TfrmSpreadsheet::AskSaveLayout));
    layout->addWidget(
        button("btnLoadSetup", tr("Load Spreadsheet Layout"), &TfrmSpreadsheet::AskLoadLayout));
    layout->addWidget(button("btnExport", tr("Export"), &TfrmSpreadsheet::AskExport));
    panel->setFixedWidth(220);
    return panel;
}

// ---------------------------------------------------------------------------------------------
// Columns

void TfrmSpreadsheet::RebuildLists() {
    const Settings& settings = AppSettings();
    const QSignalBlocker quietChosen(chosen_);
    chosen_->clear();
    std::vector<bool> taken(kChartKindCount, false);
    const int count = std::clamp(settings.NColumns, 0, kMaxSpreadsheetColumns);
    for (int column = 0; column < count; ++column) {
        const int kind = settings.Column[static_cast<std::size_t>(column)];
        if (!IsChartKind(kind)) continue;  // an edited settings file's stray kind
        taken[static_cast<std::size_t>(kind)] = true;
        auto* item = new QListWidgetItem(ToQString(ChartHeading(kind)), chosen_);
        item->setData(kKindRole, kind);
        item->setData(kWidthRole, settings.ColWidth[static_cast<std::size_t>(column)]);
    }
    available_->clear();
    for (int kind = 0; kind < kChartKindCount; ++kind) {
        if (taken[static_cast<std::size_t>(kind)]) continue;
        auto* item = new QListWidgetItem(ToQString(ChartHeading(kind)), available_);
        item->setData(kKindRole, kind);
    }
}

void TfrmSpreadsheet::TakeChosenList() {
    Settings& settings = AppSettings();
    const int count = std::min(chosen_->count(), kMaxSpreadsheetColumns);
    settings.NColumns = count;
    for (int row = 0; row < count; ++row) {
        const QListWidgetItem* item = chosen_->item(row);
        settings.Column[static_cast<std::size_t>(row)] = item->data(kKindRole).toInt();
        settings.ColWidth[static_cast<std::size_t>(row)] = item->data(kWidthRole).toInt();
    }
    RebuildLists();
    Refresh();
}

void TfrmSpreadsheet::AddColumn() {
    QListWidgetItem* item = available_->currentItem();
    if (item == nullptr || chosen_->count() >= kMaxSpreadsheetColumns) return;
    auto* added = new QListWidgetItem(item->text(), chosen_);
    added->setData(kKindRole, item->data(kKindRole));
    added->setData(kWidthRole, kDefaultWidth);
    TakeChosenList();
}

void TfrmSpreadsheet::RemoveColumn() {
    const int row = chosen_->currentRow();
    if (row < 0) return;
    delete chosen_->takeItem(row);
    TakeChosenList();
}

void TfrmSpreadsheet::ColumnResized(int column, int width) {
    if (resizing_ || column < 1 || column > AppSettings().NColumns) return;
    AppSettings().ColWidth[static_cast<std::size_t>(column - 1)] = width;
    if (QListWidgetItem* item = chosen_->item(column - 1)) item->setData(kWidthRole, width);
}

// ---------------------------------------------------------------------------------------------
// Grid

void TfrmSpreadsheet::Refresh() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (AppDatabase().LineCount() > 0) watched_ = LineWatch::Now();
    Settings& settings = AppSettings();
    DropUnknownKinds(settings);
    const int current = settings.CurrentLine;
    const int line = current >= 0 && current < AppDatabase().LineCount() ? current : -1;
    // The new columns' first widths are the grid's, not the user's.
    resizing_ = true;
    model_->Reset(line, SpreadsheetKinds(settings));
    for (int column = 0; column < settings.NColumns; ++column)
        grid_->setColumnWidth(column + 1,
                              UsableWidth(settings.ColWidth[static_cast<std::size_t>(column)]));
    grid_->setColumnWidth(0, kDefaultWidth * 3 / 4);
    resizing_ = false;
    QApplication::restoreOverrideCursor();
}

void TfrmSpreadsheet::RowClicked(int row) {
    Ensemble ensemble;
    if (AppDatabase().GetEnsemble(model_->Line(), row, ensemble)) emit EnsembleChosen(ensemble);
}

void TfrmSpreadsheet::Watch() {
    if (!isVisible() || AppDatabase().LineCount() == 0) return;
    const LineWatch now = LineWatch::Now();
    if (watched_ == now) return;
    if (!watched_) RebuildLists();
    watched_ = now;
    Refresh();
}

void TfrmSpreadsheet::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    watch_->start();
}

// ---------------------------------------------------------------------------------------------
// Files

bool TfrmSpreadsheet::SaveLayout(const std::filesystem::path& file, std::string* error) const {
    const Settings& settings = AppSettings();
    IniFile layout = IniFile::Parse("");
    const int count = std::clamp(settings.NColumns, 0, kMaxSpreadsheetColumns);
    layout.WriteInt("Spreadsheet", "NColumns", count);
    for (int column = 0; column < count; ++column) {
        const auto at = static_cast<std::size_t>(column);
        layout.WriteInt("SpreadsheetCols", "Column" + std::to_string(column), settings.Column[at]);
        layout.WriteInt("SpreadsheetCols", "ColWidth" + std::to_string(column),
                        settings.ColWidth[at]);
    }
    return layout.Save(file, error);
}

bool TfrmSpreadsheet::LoadLayout(const std::filesystem::path& file, std::string* error) {
    std::error_code exists;
    if (!std::filesystem::is_regular_file(file, exists)) {
        if (error) *error = file.string() + ": no such file";
        return false;
    }
    const IniFile layout = IniFile::Read(file);
    Settings& settings = AppSettings();
    settings.NColumns =
        std::clamp(layout.ReadInt("Spreadsheet", "NColumns", 0), 0, kMaxSpreadsheetColumns);
    for (int column = 0; column < settings.NColumns; ++column) {
        const auto at = static_cast<std::size_t>(column);
        settings.Column[at] =
            layout.ReadInt("SpreadsheetCols", "Column" + std::to_string(column), 0);
        settings.ColWidth[at] =
            layout.ReadInt("SpreadsheetCols", "ColWidth" + std::to_string(column), kDefaultWidth);
    }
    RebuildLists();
    Refresh();
    return true;
}

bool TfrmSpreadsheet::ExportTable(const std::filesystem::path& file, std::string* error) {
    const int line = model_->Line();
    if (line < 0) {
        if (error) *error = "No line is loaded";
        return false;
    }
    return SaveQuantityTable(file, AppDatabase().Ensembles(line), SpreadsheetKinds(AppSettings()),
                             CurrentProcessingOptions(), error);
}

void TfrmSpreadsheet::AskSaveLayout() {
    // The dialog asks before it replaces a file.
    const QString file =
        QFileDialog::getSaveFileName(this, tr("Save Spreadsheet Layout"),
                                     ToQString(Host().Folder(FolderKind::ProgramData).string()),
                                     tr("Configuration settings (*.ini)"));
    if (file.isEmpty()) return;
    std::filesystem::path path = file.toStdString();
    if (path.extension().empty()) path += ".ini";
    std::string error;
    if (!SaveLayout(path, &error)) prompt_.Current().ShowError(error, "Error");
}

void TfrmSpreadsheet::AskLoadLayout() {
    const QString file =
        QFileDialog::getOpenFileName(this, tr("Load Spreadsheet Layout"),
                                     ToQString(Host().Folder(FolderKind::ProgramData).string()),
                                     tr("Configuration settings (*.ini)"));
    if (file.isEmpty()) return;
    std::string error;
    if (!LoadLayout(file.toStdString(), &error)) prompt_.Current().ShowError(error, "Error");
}

void TfrmSpreadsheet::AskExport() {
    QString filter = tr("Text File (*.txt)");
    const QString file = QFileDialog::getSaveFileName(
        this, tr("Export"), ToQString(Host().Folder(FolderKind::ProgramData).string()),
        filter + ";;" + tr("Comma Separated Value File (*.csv)"), &filter);
    if (file.isEmpty()) return;
    std::filesystem::path path = file.toStdString();
    if (path.extension().empty()) path += filter.contains("csv") ? ".csv" : ".txt";
    std::string error;
    if (!ExportTable(path, &error)) prompt_.Current().ShowError(error, "Error");
}

}  // namespace fluvex
