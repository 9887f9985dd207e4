#pragma once

#include <QDialog>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "model/ColourLookup.h"
#include "views/QtUserPrompt.h"

class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace fluvex {

class ColourTable;

// Edits a velocity colour file: its colour stops, range, step and the colours below and above
// the range, with a preview of the resulting bar. Save writes the file; Cancel leaves it alone.
class TdlgColourEditor : public QDialog {
    Q_OBJECT

public:
    // The file the user saved the edited table to; nothing when cancelled (or when the current
    // file cannot be read, which the user is told).
    static std::optional<std::filesystem::path> Edit(QWidget* parent,
                                                     const std::filesystem::path& currentFile);

    // Edits `table`; Save writes to the file named in the dialog, at first the table's own.
    explicit TdlgColourEditor(std::unique_ptr<ColourTable> table, QWidget* parent = nullptr);
    ~TdlgColourEditor() override;

    // Where messages go instead of message boxes; null goes back to message boxes.
    void SetPrompt(UserPrompt* prompt);

    const ColourTable& Table() const { return *table_; }
    // Set once Save has written the file.
    const std::optional<std::filesystem::path>& SavedFile() const { return savedFile_; }
    // Writes the table to the named file and closes the dialog; false, with the user told and
    // the dialog open, when the range is empty, no file is named or it cannot be written.
    bool Save();

private:
    QWidget* BuildStopsPanel();
    QWidget* BuildRangePanel();
    QWidget* BuildFilePanel();
    void AddStop();
    void RemoveStop();
    void EditSelectedStop();
    // Opens a colour chooser; `apply` gets the colour the user accepts.
    void ChooseColour(ColourRef initial, std::function<void(ColourRef)> apply);
    void ChooseFile();
    void SetStop(int index, ColourRef colour);
    void OnRangeEdited();
    void ShowTable();
    UserPrompt& Prompt();

    std::unique_ptr<ColourTable> table_;
    std::optional<std::filesystem::path> savedFile_;
    PromptRoute prompt_{this};
    QListWidget* lstStops_ = nullptr;
    QPushButton* btnRemoveStop_ = nullptr;
    QDoubleSpinBox* edtMinimum_ = nullptr;
    QDoubleSpinBox* edtMaximum_ = nullptr;
    QDoubleSpinBox* edtStep_ = nullptr;
    QPushButton* btnBelowColour_ = nullptr;
    QPushButton* btnAboveColour_ = nullptr;
    QWidget* pbxPreview_ = nullptr;
    QLineEdit* edtFileName_ = nullptr;
};

}  // namespace fluvex
