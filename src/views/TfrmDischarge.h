#pragma once

#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

#include "views/QtUserPrompt.h"

class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTimer;

namespace fluvex {

// The discharge of every loaded line as a fixed-pitch table, with the shore (edge) options
// below it. Edits take effect when a control loses the focus, on Enter, or when a shape is
// clicked; a one-second timer rebuilds the table when the current line, a processing option,
// the velocity unit or the label decimals change elsewhere.
class TfrmDischarge : public QWidget {
    Q_OBJECT

public:
    explicit TfrmDischarge(QWidget* parent = nullptr);

    // Where messages go instead of message boxes; null goes back to message boxes.
    void SetPrompt(UserPrompt* prompt);

    // Computes every line's discharge and shows the report.
    void RebuildReport();
    // Shows report lines computed elsewhere (on a worker thread, for instance).
    void ShowReport(const std::vector<std::string>& lines);
    QString ReportText() const;
    // Writes the report as shown, lines ended by CR LF; false with `error` set when the file
    // cannot be written.
    bool SaveReport(const QString& file, QString* error);

    // The shore options of the settings into the controls.
    void LoadControls();
    // The controls into the shore options of the settings; false, with the user told and the
    // settings unchanged, when the shore pings are not a whole number from 1 to 120.
    bool StoreControls();

    // What the timer does every second; public so that a caller can check at once.
    void PollChanges();

private:
    // The controls of one edge (start or end).
    struct EdgeControls {
        QRadioButton* triangular = nullptr;
        QRadioButton* rectangular = nullptr;
        QRadioButton* coefficient = nullptr;
        QDoubleSpinBox* coefficientValue = nullptr;
        QDoubleSpinBox* width = nullptr;
    };
    // What the report depends on that other windows change: every processing option through
    // the recompute generation, and the shown line, unit and decimals.
    struct WatchedValues {
        int currentLine = -1;
        std::uint64_t generation = 0;
        int velocityUnits = -1;
        int decimalPlaces = 0;
        bool operator==(const WatchedValues&) const = default;
    };

    QWidget* BuildShoreControls();
    QWidget* BuildEdgeGroup(const QString& title, const char* prefix, EdgeControls& edge);
    void StoreAndRebuild();
    UserPrompt& Prompt();

    PromptRoute prompt_{this};
    QPlainTextEdit* memReport_ = nullptr;
    QLineEdit* edtShorePings_ = nullptr;
    EdgeControls start_;
    EdgeControls end_;
    QTimer* timer_ = nullptr;
    WatchedValues watched_;
};

}  // namespace fluvex
