#include "views/TfrmViewOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <vector>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/MagneticModel.h"
#include "project/Database.h"
#include "project/SurveyDeclination.h"
#include "services/HostService.h"
#include "services/TextService.h"
#include "settings/Settings.h"
#include "views/CodedRadioGroup.h"
#include "views/ReferenceChoices.h"
#include "views/ViewText.h"

namespace fluvex {

namespace {

constexpr int kDefaultAvgSamples = 10;
constexpr int kProfileRangeCells = 2;
constexpr int kProfileRangePercent = 3;
constexpr int kVerticalAveraging = 1;

std::optional<int> IntegerIn(const QString& text) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    int value = QLocale().toInt(trimmed, &ok);
    if (!ok) value = QLocale::c().toInt(trimmed, &ok);
    if (!ok) return std::nullopt;
    return value;
}

int RoundToInt(double value) {
    return static_cast<int>(
        std::lround(std::clamp(value, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX))));
}

QLineEdit* NewEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

template <typename Button>
Button* NewButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new Button(text, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

TfrmViewOptions::TfrmViewOptions(QWidget* parent)
    : QDialog(parent),
      magneticModel_(
          LoadMagneticModel(Host().Folder(FolderKind::SettingsFolder) / kMagneticModelFileName)
              .model) {
    setObjectName("frmViewOptions");
    setWindowTitle("View Options");
    auto* pages = new QTabWidget(this);
    pages->setObjectName("pgcOptions");
    pages->addTab(BuildGeneralPage(), "General");
    pages->addTab(BuildAveragingPage(), "Averaging");
    pages->addTab(BuildFiltersPage(), "Filters");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addWidget(BuildButtons());
}

TfrmViewOptions::~TfrmViewOptions() = default;

void TfrmViewOptions::SetPrompt(UserPrompt* prompt) {
    prompt_.Set(prompt);
}

UserPrompt& TfrmViewOptions::Prompt() {
    return prompt_.Current();
}

// --- Building the pages ---

QWidget* TfrmViewOptions::BuildGeneralPage() {
    auto* page = new QWidget(this);
    auto* print = new QGroupBox("Print Options", page);
    auto* printLayout = new QFormLayout(print);
    edtNRows_ = NewEdit("edtNRows", print);
    edtNCols_ = NewEdit("edtNCols", print);
    printLayout->addRow("Rows", edtNRows_);
    printLayout->addRow("Columns", edtNCols_);

    lstReport_ = new QComboBox(page);
    lstReport_->setObjectName("lstReport");
    lstReport_->addItems({"Individual", "Cumulative"});
    lstReport_->hide();

    cbUsePR_ = NewButton<QCheckBox>("Use Edited File Pitch && Roll", "cbUsePR", page);
    cbChronex_ =
        NewButton<QCheckBox>("Use ORVANE Timing (Reload may be Necessary)", "cbChronex", page);
    auto* heading = new QGroupBox(page);
    auto* headingLayout = new QVBoxLayout(heading);
    cbUseADCPHead_ = NewButton<QRadioButton>("Use ADCP Heading", "cbUseADCPHead", heading);
    cbUseEdtHead_ = NewButton<QRadioButton>("Use Edited File Heading", "cbUseEdtHead", heading);
    headingLayout->addWidget(cbUseADCPHead_);
    headingLayout->addWidget(cbUseEdtHead_);

    auto* declination = new QHBoxLayout;
    edtMagDec_ = NewEdit("edtMagDec", page);
    auto* btnMagDec = NewButton<QPushButton>("Calculate", "btnMagDec", page);
    btnMagDec->setToolTip("Uses first postion to determine Mag Dec for project");
    btnMagDec->setEnabled(magneticModel_ != nullptr);
    connect(btnMagDec, &QPushButton::clicked, this, &TfrmViewOptions::CalculateDeclination);
    declination->addWidget(new QLabel("Magnetic Declination", page));
    declination->addWidget(edtMagDec_);
    declination->addWidget(btnMagDec);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(print);
    layout->addWidget(cbUsePR_);
    layout->addWidget(cbChronex_);
    layout->addWidget(heading);
    layout->addLayout(declination);
    layout->addWidget(BuildReferenceGroups());
    layout->addStretch();
    return page;
}

QWidget* TfrmViewOptions::BuildReferenceGroups() {
    auto* row = new QWidget(this);
    rdoBottomTrack_ = new CodedRadioGroup("rdoBottomTrack", "Depth Reference", row);
    rdoVelReference_ = new CodedRadioGroup("rdoVelReference", "Velocity Reference", row);
    auto* offsets = new QGroupBox("Bottom Track Offset", row);
    auto* offsetLayout = new QFormLayout(offsets);
    edtVelOffset_ = NewEdit("edtVelOffset", offsets);
    edtHdgOffset_ = NewEdit("edtHdgOffset", offsets);
    lblOffsetUnits_ = new QLabel(offsets);
    lblOffsetUnits_->setObjectName("lblOffsetUnits");
    auto* velocity = new QHBoxLayout;
    velocity->addWidget(edtVelOffset_);
    velocity->addWidget(lblOffsetUnits_);
    offsetLayout->addRow("Velocity", velocity);
    offsetLayout->addRow("Heading", edtHdgOffset_);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(rdoBottomTrack_);
    layout->addWidget(rdoVelReference_);
    layout->addWidget(offsets);
    return row;
}

QWidget* TfrmViewOptions::BuildAveragingPage() {
    auto* page = new QWidget(this);
    rdoAveraging_ = new CodedRadioGroup("rdoAveraging", "Averaging", page);
    rdoAveraging_->SetItems({{"None", 0}, {"Vertical", kVerticalAveraging}});
    connect(rdoAveraging_, &CodedRadioGroup::CodeChosen, this,
            &TfrmViewOptions::OnAveragingClicked);

    gbAvgMeth_ = new QGroupBox(page);
    gbAvgMeth_->setObjectName("gbAvgMeth");
    rdoAvgAll_ = NewButton<QRadioButton>("Average All", "rdoAvgAll", gbAvgMeth_);
    rdoAvgDist_ = NewButton<QRadioButton>("By Distance", "rdoAvgDist", gbAvgMeth_);
    rdoAvgSamples_ = NewButton<QRadioButton>("By Samples", "rdoAvgSamples", gbAvgMeth_);
    edtAvgDist_ = NewEdit("edtAvgDist", gbAvgMeth_);
    edtAvgSample_ = NewEdit("edtAvgSample", gbAvgMeth_);
    auto* methods = new QGridLayout(gbAvgMeth_);
    methods->addWidget(rdoAvgAll_, 0, 0);
    methods->addWidget(rdoAvgDist_, 1, 0);
    methods->addWidget(edtAvgDist_, 1, 1);
    methods->addWidget(rdoAvgSamples_, 2, 0);
    methods->addWidget(edtAvgSample_, 2, 1);
    for (QRadioButton* method : {rdoAvgAll_, rdoAvgDist_, rdoAvgSamples_})
        connect(method, &QRadioButton::toggled, this, &TfrmViewOptions::OnAveragingMethodClicked);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(rdoAveraging_);
    layout->addWidget(gbAvgMeth_);
    layout->addStretch();
    return page;
}

QWidget* TfrmViewOptions::BuildFiltersPage() {
    auto* page = new QWidget(this);
    auto* border = new QGroupBox("Clip to Border ", page);
    auto* borderLayout = new QHBoxLayout(border);
    edtClipBrd_ = NewEdit("edtClipBrd", border);
    edtClipBrd_->setReadOnly(true);  // a name is only taken with the border it loads
    auto* btnLoadBrd = NewButton<QPushButton>("...", "btnLoadBrd", border);
    auto* btnClearBrd = NewButton<QPushButton>("X", "btnClearBrd", border);
    connect(btnLoadBrd, &QPushButton::clicked, this, &TfrmViewOptions::ChooseBorderFile);
    connect(btnClearBrd, &QPushButton::clicked, this, &TfrmViewOptions::ClearBorder);
    borderLayout->addWidget(edtClipBrd_);
    borderLayout->addWidget(btnLoadBrd);
    borderLayout->addWidget(btnClearBrd);

    auto* range = new QGroupBox("Profile Range", page);
    auto* rangeLayout = new QFormLayout(range);
    cmbRangeType_ = new QComboBox(range);
    cmbRangeType_->setObjectName("cmbRangeType");
    cmbRangeType_->addItem(Text(12535, "All Cells"), 0);
    cmbRangeType_->addItem(Text(12536, "To Last Good Cell"), 1);
    cmbRangeType_->addItem(Text(1290, "cells"), kProfileRangeCells);
    cmbRangeType_->addItem(Text(12534, "% of profile"), kProfileRangePercent);
    connect(cmbRangeType_, &QComboBox::currentIndexChanged, this,
            &TfrmViewOptions::OnRangeTypeChanged);
    lblDiscard_ = new QLabel("Discard last", range);
    lblDiscard_->setObjectName("lblDiscard");
    edtDiscard_ = new QDoubleSpinBox(range);
    edtDiscard_->setObjectName("edtDiscard");
    rangeLayout->addRow(cmbRangeType_);
    rangeLayout->addRow(lblDiscard_, edtDiscard_);

    edtMinAmp_ = new QDoubleSpinBox(page);
    edtMinAmp_->setObjectName("edtMinAmp");
    edtMinAmp_->setDecimals(1);
    edtMinAmp_->setRange(0, 255);  // echo-intensity counts
    auto* amplitude = new QFormLayout;
    amplitude->addRow("Min Amplitude", edtMinAmp_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(border);
    layout->addWidget(range);
    layout->addLayout(amplitude);
    layout->addStretch();
    return page;
}

QWidget* TfrmViewOptions::BuildButtons() {
    auto* panel = new QWidget(this);
    auto* btnApply = NewButton<QPushButton>("Apply", "btnApply", panel);
    auto* btnClose = NewButton<QPushButton>("Close", "btnClose", panel);
    connect(btnApply, &QPushButton::clicked, this, &TfrmViewOptions::Apply);
    connect(btnClose, &QPushButton::clicked, this, &TfrmViewOptions::reject);
    auto* layout = new QHBoxLayout(panel);
    layout->addStretch();
    layout->addWidget(btnApply);
    layout->addWidget(btnClose);
    return panel;
}

// --- Filling from the settings ---

void TfrmViewOptions::showEvent(QShowEvent* event) {
    // A window coming back from being minimised keeps what the user typed.
    if (!event->spontaneous()) {
        FillFromSettings();
        const WindowRecord& place = AppSettings().OptionsWindow;
        move(place.Left, place.Top);
        if (place.Width > 0 && place.Height > 0) resize(place.Width, place.Height);
    }
    QDialog::showEvent(event);
}

void TfrmViewOptions::RebuildReferenceItems() {
    rdoBottomTrack_->SetItems(DepthReferenceItems());
    rdoVelReference_->SetItems(VelocityReferenceItems());
}

void TfrmViewOptions::FillFromSettings() {
    const Settings& settings = AppSettings();
    const QLocale locale;
    RebuildReferenceItems();
    edtNRows_->setText(QString::number(settings.NRows));
    edtNCols_->setText(QString::number(settings.NCols));
    lstReport_->setCurrentIndex(settings.Cumulative ? 1 : 0);
    rdoVelReference_->SelectCode(settings.VelReference());
    rdoBottomTrack_->SelectCode(settings.BottomTrack());
    FillAveraging();
    edtVelOffset_->setText(locale.toString(Units().MmsToDisplay(settings.VelOffset()), 'f', 1));
    edtHdgOffset_->setText(QString::number(settings.HdgOffset()));
    lblOffsetUnits_->setText(ToQString(Units().VelocityLabel()));
    cbChronex_->setChecked(settings.Time_Type() != kTimingInstrumentClock);
    cbUsePR_->setChecked(settings.UseEdtPR());
    cbUseEdtHead_->setChecked(settings.UseEdtHead());
    cbUseADCPHead_->setChecked(!settings.UseEdtHead());
    edtMagDec_->setText(locale.toString(settings.MagDec(), 'f', 3));
    FillFilters();
}

void TfrmViewOptions::FillAveraging() {
    const Settings& settings = AppSettings();
    rdoAveraging_->SelectCode(settings.VelAveraging());
    const std::array methods{rdoAvgAll_, rdoAvgDist_, rdoAvgSamples_};
    const int mode = settings.VelAvgMode();
    if (mode >= 0 && mode < static_cast<int>(methods.size()))
        methods[static_cast<std::size_t>(mode)]->setChecked(true);
    edtAvgDist_->setText(
        QLocale().toString(settings.VelAvgDist(), 'g', QLocale::FloatingPointShortest));
    edtAvgSample_->setText(QString::number(settings.VelAvgSamples()));
    OnAveragingClicked();
    OnAveragingMethodClicked();
}

void TfrmViewOptions::FillFilters() {
    Settings& settings = AppSettings();
    edtClipBrd_->setText(QString::fromStdString(settings.BorderFile));
    edtMinAmp_->setValue(settings.SNRFilterVal());
    if (settings.bottomClipping < 0) settings.bottomClipping = 1;
    const int item = cmbRangeType_->findData(settings.bottomClipping);
    cmbRangeType_->setCurrentIndex(std::max(item, 0));
    OnRangeTypeChanged();
    edtDiscard_->setValue(settings.bottomClipVal);
}

// --- Reactions of the controls ---

void TfrmViewOptions::OnAveragingClicked() {
    const bool vertical = rdoAveraging_->SelectedCode() == kVerticalAveraging;
    gbAvgMeth_->setVisible(vertical);
    if (vertical) gbAvgMeth_->setTitle(Text(12537, "Vertical Averaging"));
}

void TfrmViewOptions::OnAveragingMethodClicked() {
    edtAvgDist_->setEnabled(rdoAvgDist_->isChecked());
    edtAvgSample_->setEnabled(rdoAvgSamples_->isChecked());
}

void TfrmViewOptions::OnRangeTypeChanged() {
    const int rule = cmbRangeType_->currentData().toInt();
    const bool discards = rule == kProfileRangeCells || rule == kProfileRangePercent;
    lblDiscard_->setVisible(discards);
    edtDiscard_->setVisible(discards);
    if (rule == kProfileRangeCells) {
        edtDiscard_->setDecimals(0);
        edtDiscard_->setRange(0, 255);  // a ping holds at most 255 cells
        edtDiscard_->setSuffix(" cells");
    } else if (rule == kProfileRangePercent) {
        edtDiscard_->setDecimals(1);
        edtDiscard_->setRange(0, 100);
        edtDiscard_->setSuffix(" %");
    } else {
        // Kept unchanged while the rule does not use it.
        edtDiscard_->setDecimals(2);
        edtDiscard_->setRange(0, 1e6);
        edtDiscard_->setSuffix("");
    }
}

// --- Apply and Close ---

int TfrmViewOptions::CheckedAveragingMode() const {
    if (rdoAvgAll_->isChecked()) return 0;
    if (rdoAvgDist_->isChecked()) return 1;
    if (rdoAvgSamples_->isChecked()) return 2;
    return 0;
}

std::optional<int> TfrmViewOptions::RequireInteger(QLineEdit* edit) {
    const auto value = IntegerIn(edit->text());
    if (!value) {
        Prompt().ShowError(
            QString("'%1' is not a valid integer value.").arg(edit->text()).toStdString(), "Error");
        edit->setFocus();
    }
    return value;
}

std::optional<double> TfrmViewOptions::RequireNumber(QLineEdit* edit) {
    const auto value = TypedNumber(edit->text());
    if (!value) {
        Prompt().ShowError(
            QString("'%1' is not a valid floating point value.").arg(edit->text()).toStdString(),
            "Error");
        edit->setFocus();
    }
    return value;
}

bool TfrmViewOptions::WriteBack() {
    Settings& settings = AppSettings();
    const auto rows = RequireInteger(edtNRows_);
    if (!rows) return false;
    settings.NRows = *rows;
    const auto columns = RequireInteger(edtNCols_);
    if (!columns) return false;
    settings.NCols = *columns;
    settings.Cumulative = lstReport_->currentIndex() != 0;
    settings.SetVelReference(rdoVelReference_->SelectedCode().value_or(0));
    settings.SetBottomTrack(rdoBottomTrack_->SelectedCode().value_or(0));
    settings.SetVelAveraging(rdoAveraging_->SelectedCode().value_or(0));
    settings.SetVelAvgMode(CheckedAveragingMode());
    const auto averagingDistance = RequireNumber(edtAvgDist_);
    if (!averagingDistance) return false;
    settings.SetVelAvgDist(*averagingDistance);
    settings.SetVelAvgSamples(IntegerIn(edtAvgSample_->text()).value_or(kDefaultAvgSamples));
    settings.SetTime_Type(cbChronex_->isChecked() ? kTimingSuite : kTimingInstrumentClock);
    settings.SetUseEdtPR(cbUsePR_->isChecked());
    settings.SetUseEdtHead(cbUseEdtHead_->isChecked());
    settings.SetMagDec(TypedNumber(edtMagDec_->text()).value_or(0));
    const auto velocityOffset = RequireNumber(edtVelOffset_);
    if (!velocityOffset) return false;
    settings.SetVelOffset(RoundToInt(Units().DisplayToMms(*velocityOffset)));
    const auto headingOffset = RequireNumber(edtHdgOffset_);
    if (!headingOffset) return false;
    settings.SetHdgOffset(RoundToInt(*headingOffset));
    settings.BorderFile = edtClipBrd_->text().toStdString();
    settings.SetSNRFilterVal(edtMinAmp_->value());
    settings.bottomClipping = cmbRangeType_->currentData().toInt();
    settings.bottomClipVal = edtDiscard_->value();
    return true;
}

bool TfrmViewOptions::Apply() {
    if (!WriteBack()) return false;
    std::string error;
    if (!AppSettings().Save(&error)) {
        Prompt().ShowError("Cannot save the settings: " + error, "Error");
        return false;
    }
    emit Applied();
    return true;
}

void TfrmViewOptions::reject() {
    WindowRecord& place = AppSettings().OptionsWindow;
    place.Top = y();
    place.Left = x();
    place.Height = height();
    place.Width = width();
    QDialog::reject();
}

// --- Border and declination ---

void TfrmViewOptions::ChooseBorderFile() {
    QFileDialog dialog(this, "Open Border File",
                       QString::fromStdString(Host().Folder(FolderKind::SurveyData).string()),
                       "Border Files (*.brd)");
    dialog.setObjectName("dlgOpenBrd");
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        LoadBorder(dialog.selectedFiles().front().toStdString());
}

bool TfrmViewOptions::LoadBorder(const std::filesystem::path& file) {
    if (!LoadBorderFileOrSay(AppDatabase(), file, Prompt())) return false;
    edtClipBrd_->setText(QString::fromStdString(file.string()));
    return true;
}

void TfrmViewOptions::ClearBorder() {
    edtClipBrd_->clear();
    AppDatabase().ClearBorder();
}

void TfrmViewOptions::CalculateDeclination() {
    const DeclinationCalculation result =
        CalculateSurveyDeclination(AppDatabase(), magneticModel_.get());
    if (result.message != DeclinationMessage::None) {
        Prompt().ShowError(TextService::LoadText(static_cast<int>(result.message)),
                           TextService::LoadText(kDeclinationMessageCaption));
        return;
    }
    QString text = QString::fromStdString(FormatDeclination(result.degrees));
    edtMagDec_->setText(text.replace('.', QLocale().decimalPoint()));
}

}  // namespace fluvex
