#include "app/cli/OpenedSurvey.h"

#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "app/cli/Commands.h"
#include "processing/MagneticModel.h"
#include "processing/VelocityProcessing.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "project/SurveyDeclination.h"
#include "services/Geodesy.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// The project's geodesy for embedded positions; without one positions stay invalid, which the
// output shows, so a bad CRS is reported but does not stop the command.
std::unique_ptr<Geodesy> ProjectGeodesy(std::ostream& err) {
    GeodesyCreation created = Geodesy::FromProjectFile(Host().Folder(FolderKind::ProjectFile));
    if (!created.geodesy)
        err << "fluvex-cli: positions are not converted: " << created.error << '\n';
    return std::move(created.geodesy);
}

// Under the navigation reference a declination setting far from the survey's own moves the
// discharge: say so, and go on with the setting.
void AdviseDeclination(Database& database, std::ostream& err) {
    const Settings& settings = AppSettings();
    if (settings.VelReference() != kReferenceEditedFile) return;
    const MagneticModelLoad load = LoadMagneticModel(EnsureMagneticModelFile());
    const std::optional<std::string> warning =
        DeclinationWarning(database, load.model.get(), settings.VelReference(), settings.MagDec(),
                           "set it with --set Corrections.MagDec=DEGREES (`declination --at FILE` "
                           "prints the survey's).");
    if (warning) err << "fluvex-cli: " << *warning << '\n';
}

}  // namespace

OpenedSurvey::OpenedSurvey(const std::vector<std::string>& files, std::ostream& err)
    : geodesy_(ProjectGeodesy(err)) {
    Database& database = AppDatabase();
    database.SetGeodesy(geodesy_.get());
    const std::vector<std::filesystem::path> paths(files.begin(), files.end());
    StderrPrompt prompt;
    const OpenFilesOutcome outcome = OpenSurveyFiles(database, paths, prompt);
    failedFiles_ = outcome.failedFiles;
    for (const std::string& notice : outcome.notices)
        err << "fluvex-cli: " << notice << '\n';
    AppSettings().CurrentLine = database.LineCount() > 0 ? 0 : -1;
    TraceReadWarnings(database);
    AdviseDeclination(database, err);
}

OpenedSurvey::~OpenedSurvey() {
    AppDatabase().Clear();
    AppDatabase().SetGeodesy(nullptr);
}

int OpenedSurvey::Status() const {
    return failedFiles_ > 0 ? kExitFailure : kExitOk;
}

BatchProgress::BatchProgress(std::ostream& err, std::string what)
    : err_(err), what_(std::move(what)), enabled_(::isatty(STDERR_FILENO) == 1) {}

BatchProgress::~BatchProgress() {
    if (shown_) err_ << '\n';
}

void BatchProgress::Show(int done, int total) {
    if (!enabled_) return;
    err_ << '\r' << what_ << ' ' << done << '/' << total << std::flush;
    shown_ = true;
}

}  // namespace fluvex
