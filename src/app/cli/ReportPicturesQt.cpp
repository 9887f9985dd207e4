#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include "app/cli/ReportPictures.h"
#include "project/Database.h"
#include "services/DebugOutput.h"
#include "settings/Settings.h"
#include "views/ProfilePicture.h"

namespace fluvex {

namespace {

// Qt's own notes (no runtime folder, font fallbacks) are for developers, not for the output.
void QtMessageToDebugOutput(QtMsgType, const QMessageLogContext&, const QString& message) {
    DebugOutput(message.toStdString());
}

// Text needs Qt's font database, which comes with a GUI application object; its platform is the
// off-screen one, as the command line draws into images only and never needs a display.
class OffscreenPictures final : public ReportPictures {
public:
    OffscreenPictures() {
        qInstallMessageHandler(QtMessageToDebugOutput);
        if (QCoreApplication::instance() == nullptr) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            application_ = std::make_unique<QGuiApplication>(argc_, argv_);
        }
    }

    std::vector<unsigned char> LineJpeg(int line, int width, int height) override {
        return pictures_.LineJpeg(line, width, height);
    }

private:
    // QGuiApplication keeps references to these for its lifetime.
    int argc_ = 1;
    char name_[11] = "fluvex-cli";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
    ProfileJpegPictures pictures_{AppDatabase(), AppSettings().ShowColorBar};
};

}  // namespace

std::unique_ptr<ReportPictures> OpenReportPictures(std::string&) {
    return std::make_unique<OffscreenPictures>();
}

}  // namespace fluvex
