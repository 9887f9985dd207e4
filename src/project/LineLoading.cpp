#include "project/LineLoading.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <vector>

#include "model/TextUtil.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/DatabaseLine.h"
#include "project/DeviceOffsets.h"
#include "project/NavigationMerge.h"
#include "project/ReferenceChoice.h"
#include "readers/YDFFReader.h"
#include "services/Archive.h"
#include "services/EditedFile.h"
#include "services/Geodesy.h"
#include "services/HostService.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// The suite never writes longer entries; a longer line is not a file name (a log that is not
// a log, say) and is refused with its start rather than read without end.
constexpr std::size_t kMaxEntryLength = 4096;
constexpr std::string_view kLineLimitMessage =
    "Line limit of 512 reached; the remaining files are not loaded.";

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::ranges::transform(lowered, lowered.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

std::string ForwardSlashes(std::string_view text) {
    std::string path(text);
    std::ranges::replace(path, '\\', '/');
    return path;
}

bool HasExtension(const std::filesystem::path& file, std::string_view lowerExtension) {
    return Lowered(file.extension().string()) == lowerExtension;
}

// Reads the entries of a line log; an entry longer than kMaxEntryLength keeps only its start.
std::optional<std::vector<std::string>> ReadLogEntries(const std::filesystem::path& logFile) {
    std::ifstream in(logFile, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::string> entries;
    std::string entry;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') {
            entries.push_back(std::move(entry));
            entry.clear();
        } else if (c != '\r' && entry.size() <= kMaxEntryLength) {
            entry.push_back(static_cast<char>(c));
        }
    }
    if (!entry.empty()) entries.push_back(std::move(entry));
    return entries;
}

std::string FailedToLoadQuestion(const std::filesystem::path& lineFile) {
    return "Failed to load ADCP file matching :" + lineFile.string() +
           " in RAW folder.\nContinue loading files?";
}

std::unique_ptr<CRDIReader> ReaderFor(const std::filesystem::path& rawFile, Geodesy* geodesy) {
    if (IsSonTekFile(rawFile)) return std::make_unique<YDFFReader>(geodesy);
    return std::make_unique<CRDIReader>(geodesy);
}

bool IsEditedFile(const std::filesystem::path& lineFile) {
    return Lowered(lineFile.string()).find(".kq2") != std::string::npos;
}

// `kind`: what the file was taken for; an instrument file unless said. A file of the other
// instrument family says why its reader refused it.
std::string CannotOpenMessage(const std::filesystem::path& file, const Database& database,
                              std::string_view kind = {}) {
    if (kind.empty() && IsSonTekFile(file) && !database.LastOpenError().empty())
        return database.LastOpenError();
    std::error_code error;
    const char* why = !std::filesystem::exists(file, error)            ? "no such file"
                      : !std::filesystem::is_regular_file(file, error) ? "not a file"
                      : !kind.empty()                                  ? "cannot be read"
                                      : "no ADCP ensembles found in it";
    const std::string what = kind.empty() ? "" : std::string(kind) + " ";
    return "Cannot open " + what + file.string() + ": " + why;
}

// The folder an archive's files are taken out to: its own, named after it and keyed by its full
// path, size and time, so that two archives never share a copy (a survey must never be shown
// another survey's data because both had a "Line 4" folder).
std::filesystem::path ArchiveFolderOf(const std::filesystem::path& archiveFile) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(archiveFile, error).lexically_normal();
    const auto size = std::filesystem::file_size(archiveFile, error);
    const auto time = std::filesystem::last_write_time(archiveFile, error);
    const std::string key = absolute.string() + '\n' + std::to_string(size) + '\n' +
                            std::to_string(time.time_since_epoch().count());
    std::uint64_t hash = 14695981039346656037ULL;  // 64-bit FNV-1a
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    constexpr std::string_view digits = "0123456789abcdef";
    std::string name = archiveFile.stem().string() + '-';
    for (int shift = 60; shift >= 0; shift -= 4)
        name += digits[(hash >> static_cast<unsigned>(shift)) & 0xFU];
    return Host().Folder(FolderKind::ArchiveOutput) / name;
}

// `name`, or name_2, name_3 ... when an earlier entry of the archive took it.
std::string UnusedName(const std::string& name, std::set<std::string>& used) {
    std::string candidate = name;
    for (int n = 2; !used.insert(Lowered(candidate)).second; ++n)
        candidate = name + "_" + std::to_string(n);
    return candidate;
}

}  // namespace

// The names in a folder by their lower-case form, so that files recorded on systems that ignore
// case are found whatever case the log uses.
class RawFileFinder::FolderListing {
public:
    explicit FolderListing(const std::filesystem::path& folder) {
        std::error_code error;
        for (const auto& item : std::filesystem::directory_iterator(folder, error))
            names_.emplace(Lowered(item.path().filename().string()), item.path());
    }

    std::optional<std::filesystem::path> Find(std::string_view name) const {
        const auto found = names_.find(Lowered(name));
        if (found == names_.end()) return std::nullopt;
        return found->second;
    }

private:
    std::map<std::string, std::filesystem::path> names_;
};

// ---------------------------------------------------------------------------------------------
// Rules

std::filesystem::path RawFolderOfLog(const std::filesystem::path& logFile) {
    const std::filesystem::path project = logFile.parent_path().parent_path();
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(project, error))
        if (Lowered(item.path().filename().string()) == "raw") return item.path();
    return project / "raw";
}

RawFileFinder::RawFileFinder(std::filesystem::path rawFolder) : rawFolder_(std::move(rawFolder)) {}

RawFileFinder::~RawFileFinder() = default;

const RawFileFinder::FolderListing& RawFileFinder::Listing(const std::filesystem::path& folder) {
    auto& listing = listings_[folder];
    if (!listing) listing = std::make_unique<FolderListing>(rawFolder_ / folder);
    return *listing;
}

std::optional<std::filesystem::path> RawFileFinder::Find(std::string_view entry) {
    const std::filesystem::path relative(ForwardSlashes(entry));
    const FolderListing& listing = Listing(relative.parent_path());
    // Only the file name is cut: underscores in folder names are not part of the line's name.
    std::string name = relative.filename().string();
    for (;;) {
        const std::string stem = name.substr(0, name.rfind('.'));
        for (const std::string_view extension : {".adp", ".000", ".YDFF", ".RIVR", ".mat"})
            if (auto found = listing.Find(stem + std::string(extension))) return found;
        const auto underscore = name.rfind('_');
        if (underscore == std::string::npos) return std::nullopt;
        name = name.substr(0, underscore);
    }
}

bool IsSonTekFile(const std::filesystem::path& file) {
    return HasExtension(file, ".ydff") || HasExtension(file, ".rivr") ||
           HasExtension(file, ".riv") || HasExtension(file, ".mat");
}

std::optional<std::string> ArchiveCopyName(std::string_view entry) {
    const std::filesystem::path path(ForwardSlashes(entry));
    const bool absolute = path.is_absolute() ||
                          (entry.size() >= 2 &&
                           std::isalpha(static_cast<unsigned char>(entry[0])) && entry[1] == ':');
    const bool climbs = std::ranges::any_of(path, [](const auto& part) { return part == ".."; });
    if (absolute || climbs) return std::nullopt;
    const std::filesystem::path folder = path.parent_path();
    std::string name = folder.empty() ? path.stem().string() : folder.filename().string();
    if (name.empty() || name == ".") return std::nullopt;
    return name;
}

// ---------------------------------------------------------------------------------------------
// The collection's loaders

bool Database::LoadLog(const std::filesystem::path& logFile, UserPrompt& prompt, int* notLoaded) {
    Host().Log(kProgramName, logFile.string());
    const auto entries = ReadLogEntries(logFile);
    if (!entries) {
        prompt.ShowError(CannotOpenMessage(logFile, *this, "line log"));
        return false;
    }
    // The raw folder is found from the log's own folder: from "demo.log" or "./demo.log" too.
    std::error_code error;
    const std::filesystem::path logPath =
        std::filesystem::absolute(logFile, error).lexically_normal();
    const std::filesystem::path logFolder = logFile.parent_path();
    RawFileFinder rawFiles(RawFolderOfLog(logPath));
    int loaded = 0;
    int missed = 0;
    for (auto entry = entries->begin(); entry != entries->end(); ++entry) {
        if (Trim(*entry).empty()) continue;
        if (lineCount_ == kMaxLines) {
            prompt.ShowError(kLineLimitMessage);
            missed += static_cast<int>(std::count_if(
                entry, entries->end(), [](const auto& e) { return !Trim(e).empty(); }));
            break;
        }
        const std::filesystem::path lineFile = logFolder / ForwardSlashes(*entry);
        const auto rawFile = entry->size() > kMaxEntryLength ? std::nullopt : rawFiles.Find(*entry);
        if (rawFile && AddLine(*rawFile, lineFile, prompt)) {
            ++loaded;
            continue;
        }
        if (rawFile && IsSonTekFile(*rawFile) && !lastOpenError_.empty())
            prompt.ShowError(lastOpenError_);
        ++missed;
        if (!prompt.AskYesNo(FailedToLoadQuestion(lineFile))) break;
    }
    if (loaded + missed == 0)
        prompt.ShowError("The line log " + logFile.string() + " lists no lines.");
    if (notLoaded != nullptr) *notLoaded += missed;
    return loaded > 0;
}

bool Database::AddLine(const std::filesystem::path& rawFile,
                       const std::optional<std::filesystem::path>& lineFile, UserPrompt& prompt) {
    if (lineCount_ == kMaxLines) return false;
    Host().Log(kProgramName, rawFile.string());
    auto line = std::make_unique<Line>();
    line->reader = ReaderFor(rawFile, geodesy_);
    line->sonTek = IsSonTekFile(rawFile);
    sonTekFlag_ = line->sonTek;
    const DeviceOffsets offsets = ReadInstalledDeviceOffsets();
    line->reader->SetMountingOffsets(
        {offsets.rollDegrees, offsets.pitchDegrees, offsets.headingDegrees});
    line->reader->SetAlignmentMatrix(offsets.mounting);
    line->reader->SetFeedback(feedback_);
    line->reader->SetTimingMode(AppSettings().Time_Type());
    if (geodesy_ != nullptr) geodesy_->TakePositionOutsideArea();
    // A file without a single ping is not a line: most likely not an instrument file at all.
    lastOpenError_.clear();
    if (line->reader->Open(rawFile) != OpenStatus::Ok || line->reader->Count() == 0) {
        lastOpenError_ = line->reader->OpenError();
        return false;
    }
    line->path = rawFile;
    line->name = FileNameOfPath(rawFile.string());

    const int slot = lineCount_;
    lines_[static_cast<std::size_t>(slot)] = std::move(line);
    ++lineCount_;
    if (lineFile)
        AttachLineFile(slot, *lineFile, offsets.headingDegrees, prompt);
    else
        lineFileFlag_ = false;
    NoteSuiteTiming(*Slot(slot).reader, lineFile.has_value());
    AppSettings().NoteLinesChanged();
    WarnOfPositionsOutsideGrid(rawFile, prompt);
    return true;
}

// Said once per file: every position of it is then suspect, and the fix is the project's CRS.
void Database::WarnOfPositionsOutsideGrid(const std::filesystem::path& file, UserPrompt& prompt) {
    if (geodesy_ == nullptr) return;
    const auto outside = geodesy_->TakePositionOutsideArea();
    if (!outside) return;
    prompt.ShowError("The positions of " + file.string() + " (first at latitude " +
                         FormatFixed(outside->latitude, 5) + ", longitude " +
                         FormatFixed(outside->longitude, 5) + ") lie outside the area of use of " +
                         geodesy_->CrsName() +
                         ": their grid coordinates and distances are distorted. The CRS that "
                         "fits them is " +
                         Geodesy::UtmCrsOf(outside->latitude, outside->longitude) +
                         " (CRS in the project file's [Geodesy] section).",
                     "Warning");
}

void Database::AttachLineFile(int line, const std::filesystem::path& lineFile, double headingOffset,
                              UserPrompt& prompt) {
    Line& slot = Slot(line);
    bool plannedRead = false;
    if (IsEditedFile(lineFile)) {
        EditedFile file;
        file.Open(lineFile);
        MergeEditedFileNavigation(*slot.reader, file, lineFile, headingOffset, prompt);
        slot.planned = PlannedLineFromEditedFile(file);
        plannedRead = !slot.planned.Empty();
    } else {
        MergeRawLineFileNavigation(*slot.reader, lineFile, headingOffset, prompt);
        auto planned = PlannedLineFromRawLineFile(lineFile);
        plannedRead = planned.has_value();
        slot.planned = std::move(planned).value_or(fluvex::PlannedLine{});
    }
    lineFileFlag_ = lineFileFlag_ && plannedRead;
    if (slot.planned.points.size() > 1) ComputeDistanceAlongLine(line);
}

// The suite stamps each ping's time tag from its own clock as it logs it; other software leaves
// a constant there, and a line without the suite's file has nothing to match it to.
void Database::NoteSuiteTiming(const CRDIReader& reader, bool withLineFile) {
    const auto pings = reader.Ensembles();
    const bool tagsIncrease = pings.size() < 2 || pings.back().fixedLeader.TimeTagMs() >
                                                      pings.front().fixedLeader.TimeTagMs();
    if (!withLineFile || !tagsIncrease) suiteTimingUnavailable_ = true;
}

namespace {

// Takes one instrument entry out into the archive's folder: its copy, or nothing when it was
// refused or failed (said through `prompt`).
std::optional<std::filesystem::path> TakeOut(const Archive& archive, std::size_t entry,
                                             const std::filesystem::path& archiveFile,
                                             const std::filesystem::path& folder,
                                             std::set<std::string>& usedNames, UserPrompt& prompt) {
    const std::string entryName = archive.EntryName(entry);
    const std::string where = "The archive entry " + entryName + " of " + archiveFile.string();
    const auto copyName = ArchiveCopyName(entryName);
    if (!copyName) {
        prompt.ShowError(where + " is not taken out: its name leads out of the archive folder.");
        return std::nullopt;
    }
    if (const auto refusal = archive.Refusal(entry)) {
        prompt.ShowError(where + " is not taken out: " + *refusal + ".");
        return std::nullopt;
    }
    const std::filesystem::path copy = folder / (UnusedName(*copyName, usedNames) + ".ydff");
    // Written beside and renamed over: a reader of the last copy keeps its own bytes, and a
    // failed extraction leaves nothing.
    std::filesystem::path part = copy;
    part += ".part";
    std::error_code renameError;
    const bool extracted = archive.ExtractTo(entry, part);
    if (extracted) std::filesystem::rename(part, copy, renameError);
    if (!extracted || renameError) {
        std::filesystem::remove(part, renameError);
        prompt.ShowError("Cannot take " + entryName + " out of " + archiveFile.string());
        return std::nullopt;
    }
    return copy;
}

}  // namespace

bool Database::OpenArchive(const std::filesystem::path& archiveFile, UserPrompt& prompt,
                           int* notLoaded) {
    std::string error;
    const auto archive = Archive::Open(archiveFile, &error);
    if (!archive) {
        prompt.ShowError("Cannot open archive " + archiveFile.string() + ": " + error);
        return false;
    }
    const std::filesystem::path folder = ArchiveFolderOf(archiveFile);
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::set<std::string> usedNames;
    int found = 0;
    int missed = 0;
    for (std::size_t entry = 0; entry < archive->EntryCount(); ++entry) {
        const std::string entryName = archive->EntryName(entry);
        if (!HasExtension(std::filesystem::path(ForwardSlashes(entryName)), ".ydff")) continue;
        ++found;
        if (lineCount_ == kMaxLines) {
            prompt.ShowError(kLineLimitMessage);
            ++missed;
            break;
        }
        const auto copy = TakeOut(*archive, entry, archiveFile, folder, usedNames, prompt);
        if (copy && AddLine(*copy, std::nullopt, prompt)) continue;
        if (copy)
            prompt.ShowError(CannotOpenMessage(*copy, *this) + " (" + entryName + " of " +
                             archiveFile.string() + ")");
        ++missed;
    }
    if (notLoaded != nullptr) *notLoaded += missed;
    if (found == 0) {
        std::filesystem::remove(folder, ignored);  // only when empty
        prompt.ShowError("The archive " + archiveFile.string() + " holds no instrument files.");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Opening a user's files

namespace {

// The number of files asked for (the file itself, or the lines of a log or archive) that were
// not loaded; each has been named through `prompt`.
int LoadOneFile(Database& database, const std::filesystem::path& file, UserPrompt& prompt) {
    int notLoaded = 0;
    if (HasExtension(file, ".log"))
        return database.LoadLog(file, prompt, &notLoaded) ? notLoaded : std::max(notLoaded, 1);
    if (HasExtension(file, ".zip") || HasExtension(file, ".rsqmb"))
        return database.OpenArchive(file, prompt, &notLoaded) ? notLoaded : notLoaded + 1;
    if (database.LineCount() == Database::kMaxLines) {
        prompt.ShowError(kLineLimitMessage);
        return 1;
    }
    if (!database.AddLine(file, std::nullopt, prompt)) {
        prompt.ShowError(CannotOpenMessage(file, database));
        return 1;
    }
    database.BuildPlannedLineFromTrack(database.LineCount() - 1);
    return 0;
}

std::vector<std::string> AlignOptionsWithLines(Database& database) {
    Settings& settings = AppSettings();
    if (database.SuiteTimingUnavailable() && settings.Time_Type() != kTimingInstrumentClock)
        settings.SetTime_Type(kTimingInstrumentClock);
    if (!database.HasPosition(0)) settings.UseTime = true;
    return AlignReferences(database, settings);
}

}  // namespace

OpenFilesOutcome OpenSurveyFiles(Database& database, std::span<const std::filesystem::path> files,
                                 UserPrompt& prompt) {
    database.Clear();
    OpenFilesOutcome outcome;
    for (const std::filesystem::path& file : files)
        outcome.failedFiles += LoadOneFile(database, file, prompt);
    outcome.notices = AlignOptionsWithLines(database);
    return outcome;
}

}  // namespace fluvex
