#include "views/TdlgContours.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMutexLocker>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <system_error>

#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/CurrentColourTable.h"
#include "services/HostService.h"
#include "settings/Settings.h"
#include "views/QtUserPrompt.h"
#include "views/ViewText.h"

namespace fluvex {

namespace fs = std::filesystem;

TContourThread::TContourThread(ContourPlan plan, fs::path workFolder, QObject* parent)
    : QThread(parent), plan_(std::move(plan)), workFolder_(std::move(workFolder)) {}

TContourThread::~TContourThread() {
    Terminate();
    wait();
}

QString TContourThread::Status() const {
    const QMutexLocker lock(&statusLock_);
    return status_;
}

void TContourThread::run() {
    const ContourProgress progress{[this](const std::string& text) {
                                       const QMutexLocker lock(&statusLock_);
                                       status_ = QString::fromStdString(text);
                                   },
                                   [this] { return terminated_.load(); }};
    std::vector<std::string> noData;
    result_ = RunContourPlan(plan_, workFolder_, progress, nullptr, &noData);
    {
        const QMutexLocker lock(&statusLock_);
        noData_ = std::move(noData);
    }
    finished_ = true;
}

QStringList TContourThread::NoData() const {
    const QMutexLocker lock(&statusLock_);
    QStringList said;
    for (const std::string& text : noData_)
        said << QString::fromStdString(text);
    return said;
}

double ContourSpacingOf(const QString& text) {
    const std::optional<double> value = TypedNumber(text);
    return value && *value > 0 ? *value : 0.25;
}

TdlgContours::TdlgContours(QWidget* parent)
    : QDialog(parent),
      ownPrompt_(std::make_unique<QtUserPrompt>(this)),
      prompt_(ownPrompt_.get()),
      openFolder_(
          [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }) {
    setObjectName("dlgContours");
    setWindowTitle(tr("Create Contours"));
    auto* style = new QGroupBox(tr("Contour Style"), this);
    style->setObjectName("rdoStyle");
    rdoHorizontal_ = new QRadioButton(tr("Horizontal Slices"), style);
    rdoVertical_ = new QRadioButton(tr("Vertical Profiles"), style);
    auto* styleLayout = new QVBoxLayout(style);
    styleLayout->addWidget(rdoHorizontal_);
    styleLayout->addWidget(rdoVertical_);

    edtSliceHeight_ = new QSpinBox(this);
    edtSliceHeight_->setObjectName("edtSliceHeight");
    edtSliceHeight_->setRange(1, 100);
    cmbContourSpacing_ = new QComboBox(this);
    cmbContourSpacing_->setObjectName("cmbContourSpacing");
    cmbContourSpacing_->setEditable(true);
    cmbContourSpacing_->addItems({"0.1", "0.25", "0.5", "1", "2.5", "5", "10", "25", "50"});
    edtMaxLeg_ = new QSpinBox(this);
    edtMaxLeg_->setObjectName("edtMaxLeg");
    edtMaxLeg_->setRange(0, 99999);
    edtMaxLeg_->setSpecialValueText(tr("none"));
    edtSmoothing_ = new QSpinBox(this);
    edtSmoothing_->setObjectName("edtSmoothing");
    edtSmoothing_->setRange(0, kMaxSmoothing);
    edtSmoothing_->setSpecialValueText(tr("none"));
    edtSmoothing_->setSuffix(tr(" pings each side"));
    lstVelocities_ = new QListWidget(this);
    lstVelocities_->setObjectName("lstVelocities");
    lstVelocities_->addItems(VelocityQuantityNames());
    auto* form = new QFormLayout;
    form->addRow(tr("Slice Height"), edtSliceHeight_);
    form->addRow(tr("Contour Spacing"), cmbContourSpacing_);
    form->addRow(tr("TIN Max Leg"), edtMaxLeg_);
    form->addRow(tr("Smoothing"), edtSmoothing_);
    form->addRow(tr("Velocity"), lstVelocities_);

    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName("lblStatus");
    btnRun_ = new QPushButton(tr("Run"), this);
    btnRun_->setObjectName("btnRun");
    auto* close = new QPushButton(tr("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnRun_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(style);
    layout->addLayout(form);
    layout->addWidget(lblStatus_);
    layout->addLayout(buttons);

    timer_ = new QTimer(this);
    timer_->setInterval(200);
    connect(timer_, &QTimer::timeout, this, &TdlgContours::Poll);
    connect(btnRun_, &QPushButton::clicked, this, &TdlgContours::btnRunClick);
    connect(close, &QPushButton::clicked, this, &TdlgContours::reject);
    Load();
}

TdlgContours::~TdlgContours() {
    if (thread_) QApplication::restoreOverrideCursor();
}

void TdlgContours::Load() {
    const Settings& settings = AppSettings();
    (settings.ContMode == 1 ? rdoVertical_ : rdoHorizontal_)->setChecked(true);
    edtSliceHeight_->setValue(static_cast<int>(std::lround(settings.ContHorzSliceInterval)));
    cmbContourSpacing_->setEditText(
        QString::number(settings.ContVelocityInterval > 0 ? settings.ContVelocityInterval : 0.25));
    edtMaxLeg_->setValue(static_cast<int>(std::clamp(settings.ContMaxLeg, 0.0, 99999.0)));
    edtSmoothing_->setValue(std::clamp(settings.ContSmoothing, 0, kMaxSmoothing));
    lstVelocities_->setCurrentRow(std::clamp(settings.Velocity(), 0, lstVelocities_->count() - 1));
}

void TdlgContours::StoreSettings() {
    Settings& settings = AppSettings();
    settings.ContMode = rdoVertical_->isChecked() ? 1 : 0;
    settings.ContHorzSliceInterval = edtSliceHeight_->value();
    settings.ContVelocityInterval = ContourSpacingOf(cmbContourSpacing_->currentText());
    settings.ContMaxLeg = edtMaxLeg_->value();
    settings.ContSmoothing = edtSmoothing_->value();
}

void TdlgContours::btnRunClick() {
    if (thread_) return;
    StoreSettings();
    std::error_code error;
    outFolder_ = Host().Folder(FolderKind::ProgramData) / "ADCP";
    fs::create_directories(outFolder_, error);
    const fs::path work = Host().Folder(FolderKind::Scratch);
    fs::create_directories(work, error);
    if (!fs::is_directory(outFolder_, error)) {
        prompt_->ShowError("Cannot create the folder " + outFolder_.string(), "Done");
        return;
    }
    ContourOptions options =
        ContourOptionsFrom(AppSettings(), rdoVertical_->isChecked(), -1, CurrentVelocityTable());
    options.component = std::max(0, lstVelocities_->currentRow());
    QString said;
    const ContourProgress progress{
        [&said](const std::string& text) { said = QString::fromStdString(text); }, {}};
    std::optional<ContourPlan> plan =
        PlanContours(AppDatabase(), options, CurrentQuantityOptions(), outFolder_, progress);
    if (!plan) {
        lblStatus_->setText(said);
        prompt_->ShowError("Error Creating Contours", "Done");
        return;
    }
    thread_ = std::make_unique<TContourThread>(std::move(*plan), work);
    btnRun_->setEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    thread_->start();
    timer_->start();
}

void TdlgContours::Poll() {
    if (!thread_) return;
    lblStatus_->setText(thread_->Status());
    if (thread_->Finished()) Finish(true);
}

void TdlgContours::Finish(bool tell) {
    timer_->stop();
    thread_->wait();
    const int result = thread_->Result();
    // The last status would hide the slices or lines that gave no drawing.
    const QStringList noData = thread_->NoData();
    if (!noData.isEmpty()) lblStatus_->setText(thread_->Status() + " (" + noData.join("; ") + ")");
    thread_.reset();
    QApplication::restoreOverrideCursor();
    btnRun_->setEnabled(true);
    if (!tell) return;
    if (result != 0) {
        prompt_->ShowError("Error Creating Contours", "Done");
        return;
    }
    if (prompt_->AskYesNo(
            "Files output to " + outFolder_.string() + "\n Would you like to view folder?", "Done"))
        openFolder_(QString::fromStdString(outFolder_.string()));
}

void TdlgContours::reject() {
    // Closing stops the run after the drawing in hand; nothing is left half-written.
    if (thread_) {
        thread_->Terminate();
        Finish(false);
    }
    QDialog::reject();
}

}  // namespace fluvex
