#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fluvex {

// What the desktop program was asked to do:
//   fluvex [--screenshot FILE.png [--size WxH] [--panel NAME]] FILES...
// Files are the arguments of three or more characters that begin with a letter, '/' or '.';
// others (switches of other programs, a stray "-x") are passed over.
struct DesktopCommandLine {
    std::vector<std::filesystem::path> files;
    // Render the main window to this PNG after opening the files, then end.
    std::optional<std::filesystem::path> screenshot;
    QSize size;     // of the window for the screenshot; empty: the window's own size
    QString panel;  // panel brought to the front for the screenshot (object name or title)
};

// The arguments without the program name, as the system gave them (file names need not be
// UTF-8). Nothing, with `error` set, when an option lacks its
// value, --size is not WxH, or --size or --panel come without --screenshot.
std::optional<DesktopCommandLine> ParseDesktopCommandLine(const std::vector<std::string>& arguments,
                                                          QString* error);

}  // namespace fluvex
