#include <QApplication>
#include <QScreen>

#include <string>

#include "processing/MagneticModel.h"
#include "settings/Settings.h"
#include "views/QtUserPrompt.h"
#include "views/TfrmMain.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Fluvex");
    QApplication::setApplicationVersion(FLUVEX_VERSION);

    fluvex::Settings& settings = fluvex::AppSettings();
    settings.Reset();
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect desktop = screen->virtualGeometry();
        settings.VirtualScreen =
            fluvex::ScreenRect{desktop.left(), desktop.top(), desktop.width(), desktop.height()};
    }
    fluvex::QtUserPrompt prompt;
    if (!settings.Load(prompt)) return 1;  // the message box has said why

    // The magnetic model the declination calculation uses; a missing one only disables it.
    fluvex::EnsureMagneticModelFile();

    fluvex::TfrmMain window;
    window.show();
    const int status = QApplication::exec();
    std::string error;
    if (!settings.Save(&error)) prompt.ShowError("Cannot save the settings: " + error, "Error");
    return status;
}
