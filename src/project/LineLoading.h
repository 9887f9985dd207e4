#pragma once

// How lines enter the collection: line logs of the survey suite, instrument files and archives.
// The collection's own loaders are Database::LoadLog, AddLine and OpenArchive; these are the
// rules they follow, and the opening of a user's list of files.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fluvex {

class Database;
class UserPrompt;

// The raw folder of a line log: "raw" beside the log's folder (the log lies in a four-letter
// folder of the project, the instrument files in the project's raw folder).
std::filesystem::path RawFolderOfLog(const std::filesystem::path& logFile);

// Finds the instrument file recorded for a log entry: the entry's name in the raw folder with
// the extensions adp, 000, YDFF, RIVR and mat, then cut at its last underscore and tried again,
// until no underscore is left. Names match without regard to case. A folder is listed once, however
// many entries are looked up in it.
class RawFileFinder {
public:
    explicit RawFileFinder(std::filesystem::path rawFolder);
    ~RawFileFinder();
    RawFileFinder(const RawFileFinder&) = delete;
    RawFileFinder& operator=(const RawFileFinder&) = delete;

    // Nothing when no candidate exists.
    std::optional<std::filesystem::path> Find(std::string_view entry);

private:
    class FolderListing;
    const FolderListing& Listing(const std::filesystem::path& folder);

    std::filesystem::path rawFolder_;
    std::map<std::filesystem::path, std::unique_ptr<FolderListing>> listings_;
};

// The instrument files of the other family (.ydff, .rivr, .riv, and the MATLAB exports of its
// transects, .mat; any case).
bool IsSonTekFile(const std::filesystem::path& file);

// The name an archive entry is copied under (without extension): the folder it lies in, or its
// own name when it lies at the top. Nothing for names that are absolute or climb out with "..".
std::optional<std::string> ArchiveCopyName(std::string_view entry);

// What opening a user's files did.
struct OpenFilesOutcome {
    // Files asked for and not loaded: a file that added no line, or a line of a log or archive
    // that could not be read. Each was named through the prompt.
    int failedFiles = 0;
    // What was changed in the options because the lines cannot give it, one sentence each.
    std::vector<std::string> notices;
};

// The files a user opened, in order, as the main window opens them: the collection cleared,
// ".log" files loaded as line logs, ".zip" and ".rsqmb" as archives, every other file as one
// instrument file (its planned line built from its track); then the options brought in line with
// what was loaded: the instrument clock when the suite's timing cannot be used, time rather than
// distance without positions, references that no line can give replaced (AlignReferences).
// Failures are said through `prompt`.
OpenFilesOutcome OpenSurveyFiles(Database& database, std::span<const std::filesystem::path> files,
                                 UserPrompt& prompt);

}  // namespace fluvex
