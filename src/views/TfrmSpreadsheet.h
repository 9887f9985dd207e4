#pragma once

#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "model/Ensemble.h"
#include "views/LineWatch.h"
#include "views/QtUserPrompt.h"

class QListWidget;
class QPushButton;
class QTableView;
class QTimer;

namespace fluvex {

class QuantityTableModel;

// The pings of the current line as a table: one row per ping, one column per chosen quantity
// (ChartQuantities.h). The user picks and orders the columns beside the grid, saves and loads
// that layout as an INI file, exports the table as text and clicks a row to see its ping in the
// information window. Rows are written when the grid draws them, so a long line shows at once.
class TfrmSpreadsheet final : public QWidget {
    Q_OBJECT

public:
    explicit TfrmSpreadsheet(QWidget* parent = nullptr);
    ~TfrmSpreadsheet() override;

    void SetPrompt(UserPrompt* prompt) { prompt_.Set(prompt); }

    // Rebuilds the grid from the settings' layout and the current line.
    void Refresh();

    // The layout file: [Spreadsheet] NColumns, [SpreadsheetCols] Column%d and ColWidth%d. Loading
    // takes at most 20 columns and fills what the file lacks with kind 0 and width 96.
    bool SaveLayout(const std::filesystem::path& file, std::string* error = nullptr) const;
    bool LoadLayout(const std::filesystem::path& file, std::string* error = nullptr);
    // The current line as the grid shows it, under one heading line.
    bool ExportTable(const std::filesystem::path& file, std::string* error = nullptr);

signals:
    // A row was clicked: its ping.
    void EnsembleChosen(const fluvex::Ensemble& ensemble);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildColumnPanel();
    void RebuildLists();
    // The chosen list's order and widths into the settings, then the grid.
    void TakeChosenList();
    void AddColumn();
    void RemoveColumn();
    void ColumnResized(int column, int width);
    void RowClicked(int row);
    void Watch();
    void AskSaveLayout();
    void AskLoadLayout();
    void AskExport();

    PromptRoute prompt_{this};
    QuantityTableModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
    QWidget* panel_ = nullptr;
    QListWidget* available_ = nullptr;
    QListWidget* chosen_ = nullptr;
    QTimer* watch_ = nullptr;
    std::optional<LineWatch> watched_;  // none before the first look at a loaded line
    bool resizing_ = false;             // the grid's columns are being set, not dragged
};

}  // namespace fluvex
