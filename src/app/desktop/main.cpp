#include <QApplication>

#include "services/HostService.h"
#include "settings/Settings.h"
#include "views/QtUserPrompt.h"
#include "views/TfrmMain.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Fluvex");
    QApplication::setApplicationVersion(FLUVEX_VERSION);

    fluvex::Settings& settings = fluvex::AppSettings();
    settings.Reset();
    fluvex::QtUserPrompt prompt;
    if (!settings.Load(prompt)) return 1;  // the message box has said why

    fluvex::TfrmMain window;
    window.show();
    const int status = QApplication::exec();
    settings.Save();
    return status;
}
