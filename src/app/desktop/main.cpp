// The desktop program: the main window on the surveys named on the command line, or, with
// --screenshot, a picture of that window written to a PNG without anyone looking.

#include <QApplication>
#include <QDockWidget>
#include <QIcon>
#include <QPixmap>
#include <QScopeGuard>
#include <QScreen>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "processing/MagneticModel.h"
#include "project/Database.h"
#include "services/Geodesy.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "views/DesktopCommandLine.h"
#include "views/DockSite.h"
#include "views/QtUserPrompt.h"
#include "views/TfrmMain.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// The one description of the command line: --help prints it and the manual page is made from it
// (cmake/HelpToManPage.py describes the layout it follows).
constexpr const char* kUsage =
    R"(Usage: fluvex [--screenshot FILE.png [--size WIDTHxHEIGHT] [--panel NAME]] [FILE...]

The Fluvex desktop program: the main window on the surveys named on the command line, opened as
File > Open opens them (a file manager's "Open With" passes the chosen files this way).

Options:
  --screenshot FILE.png      open the files, draw the main window to this PNG picture and end,
                             with no one at the screen: messages go to stderr and questions are
                             answered Yes
  --size WIDTHxHEIGHT        the window's size in pixels for --screenshot (e.g. 1280x800)
  --panel NAME               the panel brought to the front for --screenshot, by its title or
                             object name (e.g. Profile); "Quick Chart" pictures a new quick
                             chart (the choices of the first free QuickChart slot) instead
  --help                     show this help
  --version                  show the version

FILE: instrument files (.000, .pd0 ...), line logs of the survey suite (.log) and archives
(.zip, .rsqmb). Arguments shorter than three characters, or that do not begin with a letter, '/'
or '.', are passed over.

Exit status: 0 success, 1 a file could not be opened or the picture not written, 2 wrong usage.
)";

// --help and --version answer before the window system is reached, so they work without a display.
std::optional<int> AnswerInfoRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return EXIT_SUCCESS;
        }
        if (argument == "--version") {
            std::cout << "fluvex " << FLUVEX_VERSION << '\n';
            return EXIT_SUCCESS;
        }
    }
    return std::nullopt;
}

void RememberScreen(fluvex::Settings& settings) {
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect desktop = screen->virtualGeometry();
        settings.VirtualScreen =
            fluvex::ScreenRect{desktop.left(), desktop.top(), desktop.width(), desktop.height()};
    }
}

// Positions recorded by the instrument itself need the project's grid; without it they stay
// unconverted, which the user is told once.
std::unique_ptr<fluvex::Geodesy> ProjectGeodesy(fluvex::UserPrompt& prompt) {
    fluvex::GeodesyCreation created =
        fluvex::Geodesy::FromProjectFile(fluvex::Host().Folder(fluvex::FolderKind::ProjectFile));
    if (!created.geodesy)
        prompt.ShowError("Positions in instrument files are not converted: " + created.error,
                         "Error");
    return std::move(created.geodesy);
}

int TakeScreenshot(fluvex::TfrmMain& window, const fluvex::DesktopCommandLine& commandLine,
                   fluvex::UserPrompt& prompt) {
    window.SetPrompt(&prompt);
    const bool quickChart = commandLine.panel == "Quick Chart";
    if (!commandLine.panel.isEmpty() && !quickChart &&
        window.Docks().FindPanel(commandLine.panel) == nullptr) {
        std::cerr << "fluvex: there is no panel named " << commandLine.panel.toStdString()
                  << "; panels:";
        for (const QDockWidget* panel : window.Docks().findChildren<QDockWidget*>())
            std::cerr << " \"" << panel->windowTitle().toStdString() << '"';
        std::cerr << '\n';
        return kExitUsage;
    }
    if (!commandLine.size.isEmpty()) window.resize(commandLine.size);
    window.show();
    int failedFiles = 0;
    if (!commandLine.files.empty()) failedFiles = window.OpenFiles(commandLine.files).failedFiles;
    QWidget* pictured = &window;
    if (quickChart)
        pictured = window.Docks().OpenQuickChart();  // a floating window of its own
    else if (!commandLine.panel.isEmpty())
        window.ShowPanel(commandLine.panel);
    if (pictured == nullptr) return kExitFailure;  // no free slot: the prompt has said so
    // Let the layout settle and the queued refreshes run before the picture is taken.
    QApplication::processEvents();
    QApplication::processEvents();

    const std::filesystem::path& file = *commandLine.screenshot;
    if (!pictured->grab().save(QString::fromStdString(file.string()), "PNG")) {
        std::cerr << "fluvex: cannot write the screenshot " << file.string() << '\n';
        return kExitFailure;
    }
    std::cout << "Screenshot written to " << file.string() << '\n';
    return failedFiles > 0 ? kExitFailure : EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = AnswerInfoRequest(argc, argv)) return *status;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Fluvex");
    QApplication::setApplicationVersion(FLUVEX_VERSION);
    // Ties the windows to the installed fluvex.desktop and its icon (task bars, Wayland).
    QGuiApplication::setDesktopFileName("fluvex");
    QApplication::setWindowIcon(QIcon::fromTheme("fluvex"));

    // From argv, which QApplication has cleared of its own options: QApplication::arguments()
    // would have turned bytes that are not UTF-8 in file names into replacement characters.
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    QString error;
    const auto commandLine = fluvex::ParseDesktopCommandLine(arguments, &error);
    if (!commandLine) {
        std::cerr << "fluvex: " << error.toStdString() << "\nTry 'fluvex --help'.\n";
        return kExitUsage;
    }
    // A screenshot is taken without anyone at the screen: messages go to stderr and questions
    // are answered Yes, as on the command line.
    const bool unattended = commandLine->screenshot.has_value();
    fluvex::QtUserPrompt messageBoxes;
    fluvex::StderrPrompt stderrPrompt;
    fluvex::UserPrompt& prompt =
        unattended ? static_cast<fluvex::UserPrompt&>(stderrPrompt) : messageBoxes;

    fluvex::Settings& settings = fluvex::AppSettings();
    settings.Reset();
    RememberScreen(settings);
    // The saved clip border is loaded with the settings; the hook dies with the prompt.
    settings.LoadBorderFile = [&prompt](const std::filesystem::path& file) {
        return fluvex::LoadBorderFileOrSay(fluvex::AppDatabase(), file, prompt);
    };
    const auto forgetBorderHook = qScopeGuard([&settings] { settings.LoadBorderFile = nullptr; });
    if (!settings.Load(prompt)) return kExitFailure;  // the prompt has said why
    // The magnetic model the declination calculation uses; a missing one only disables it.
    fluvex::EnsureMagneticModelFile();
    const std::unique_ptr<fluvex::Geodesy> geodesy = ProjectGeodesy(prompt);
    fluvex::AppDatabase().SetGeodesy(geodesy.get());

    int status = EXIT_SUCCESS;
    {
        fluvex::TfrmMain window;
        if (unattended) {
            status = TakeScreenshot(window, *commandLine, stderrPrompt);
        } else {
            window.LoadLayout();
            window.show();
            if (!commandLine->files.empty()) window.OpenFiles(commandLine->files);
            status = QApplication::exec();
            std::string saveError;
            if (!settings.Save(&saveError))
                prompt.ShowError("Cannot save the settings: " + saveError, "Error");
        }
    }
    // The lines refer to the geodesy, which ends here.
    fluvex::AppDatabase().Clear();
    fluvex::AppDatabase().SetGeodesy(nullptr);
    return status;
}
