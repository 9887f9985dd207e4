#include "views/TfrmMain.h"

#include <QLabel>

#include "model/Units.h"
#include "settings/Settings.h"

namespace fluvex {

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmMain");
    setWindowTitle("Fluvex");
    const Settings& settings = AppSettings();
    auto* summary = new QLabel(this);
    summary->setObjectName("lblSummary");
    summary->setMargin(16);
    summary->setText(
        QString("Settings: %1\nDistance unit: %2\nVelocity unit: %3")
            .arg(QString::fromStdString(settings.SettingsPath.string()))
            .arg(QString::fromUtf8(Units().DistanceLabel().data(),
                                   static_cast<qsizetype>(Units().DistanceLabel().size())))
            .arg(QString::fromUtf8(Units().VelocityLabel().data(),
                                   static_cast<qsizetype>(Units().VelocityLabel().size()))));
    setCentralWidget(summary);
    resize(settings.ProfileWindow.Width, settings.ProfileWindow.Height);
}

}  // namespace fluvex
