#pragma once

#include <QDialog>

#include <filesystem>
#include <memory>
#include <optional>

#include "views/QtUserPrompt.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace fluvex {

class CodedRadioGroup;

class MagneticModel;

// The processing and report options. The controls hold a working copy: nothing reaches the
// settings until Apply, which writes every control back (processing options through their
// setters, so changed ones mark the lines for recomputation) and saves the settings file.
class TfrmViewOptions : public QDialog {
    Q_OBJECT

public:
    explicit TfrmViewOptions(QWidget* parent = nullptr);
    ~TfrmViewOptions() override;

    // Where messages go instead of message boxes; null goes back to message boxes.
    void SetPrompt(UserPrompt* prompt);

    // Rebuilds the reference lists for what is loaded now and shows the settings' values.
    void FillFromSettings();
    // Writes every control back and saves the settings. False when a number field stopped it
    // (the fields before it keep their new values, nothing is saved) or the file could not be
    // written.
    bool Apply();
    // Loads a clip-border file into the line collection and shows its name; false, with the
    // border empty and the name unchanged, when it does not load.
    bool LoadBorder(const std::filesystem::path& file);
    // Empties the name and the line collection's border at once; the setting follows on Apply.
    void ClearBorder();
    // Puts the magnetic declination at the first positioned ping of the loaded lines into the
    // declination field, or tells the user why there is none.
    void CalculateDeclination();
    // The magnetic model the calculation uses; null when its file could not be read.
    const MagneticModel* Model() const { return magneticModel_.get(); }

    // Closing keeps the dialog's place and size for the next time without applying anything.
    void reject() override;

signals:
    // The settings were written back and saved: processing choices, the profile and survey
    // views and the discharge report should follow.
    void Applied();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildGeneralPage();
    QWidget* BuildReferenceGroups();
    QWidget* BuildAveragingPage();
    QWidget* BuildFiltersPage();
    QWidget* BuildButtons();
    void RebuildReferenceItems();
    void FillAveraging();
    void FillFilters();
    bool WriteBack();
    int CheckedAveragingMode() const;
    void OnAveragingClicked();
    void OnAveragingMethodClicked();
    void OnRangeTypeChanged();
    void ChooseBorderFile();
    // The number in a required field; on failure the user is told, the field gets the focus
    // and the result is empty.
    std::optional<int> RequireInteger(QLineEdit* edit);
    std::optional<double> RequireNumber(QLineEdit* edit);
    UserPrompt& Prompt();

    std::unique_ptr<MagneticModel> magneticModel_;
    PromptRoute prompt_{this};

    // General
    QLineEdit* edtNRows_ = nullptr;
    QLineEdit* edtNCols_ = nullptr;
    QComboBox* lstReport_ = nullptr;
    QCheckBox* cbUsePR_ = nullptr;
    QCheckBox* cbChronex_ = nullptr;
    QRadioButton* cbUseADCPHead_ = nullptr;
    QRadioButton* cbUseEdtHead_ = nullptr;
    QLineEdit* edtMagDec_ = nullptr;
    CodedRadioGroup* rdoBottomTrack_ = nullptr;
    CodedRadioGroup* rdoVelReference_ = nullptr;
    QLineEdit* edtVelOffset_ = nullptr;
    QLineEdit* edtHdgOffset_ = nullptr;
    QLabel* lblOffsetUnits_ = nullptr;
    // Averaging
    CodedRadioGroup* rdoAveraging_ = nullptr;
    QGroupBox* gbAvgMeth_ = nullptr;
    QRadioButton* rdoAvgAll_ = nullptr;
    QRadioButton* rdoAvgDist_ = nullptr;
    QRadioButton* rdoAvgSamples_ = nullptr;
    QLineEdit* edtAvgDist_ = nullptr;
    QLineEdit* edtAvgSample_ = nullptr;
    // Filters
    QLineEdit* edtClipBrd_ = nullptr;
    QComboBox* cmbRangeType_ = nullptr;
    QLabel* lblDiscard_ = nullptr;
    QDoubleSpinBox* edtDiscard_ = nullptr;
    QDoubleSpinBox* edtMinAmp_ = nullptr;
};

}  // namespace fluvex
