#include "project/LineLoading.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <vector>

#include "model/Units.h"
#include "project/Database.h"
#include "project/DatabaseLine.h"
#include "project/DeviceOffsets.h"
#include "project/NavigationMerge.h"
#include "project/ReferenceChoice.h"
#include "readers/YDFFReader.h"
#include "services/Archive.h"
#include "services/EditedFile.h"
#include "services/HostService.h"
#include "services/TextUtil.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// Entries longer than this are cut: the suite never writes longer names.
constexpr std::size_t kMaxEntryLength = 255;
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

// Reads the entries of a line log, each cut to kMaxEntryLength however long its line is.
std::optional<std::vector<std::string>> ReadLogEntries(const std::filesystem::path& logFile) {
    std::ifstream in(logFile, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::string> entries;
    std::string entry;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') {
            entries.push_back(std::move(entry));
            entry.clear();
        } else if (c != '\r' && entry.size() < kMaxEntryLength) {
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

std::string CannotOpenMessage(const std::filesystem::path& file) {
    std::error_code error;
    const char* why = !std::filesystem::exists(file, error)            ? "no such file"
                      : !std::filesystem::is_regular_file(file, error) ? "not a file"
                      : IsSonTekFile(file) ? "files of this instrument family cannot be read yet"
                                           : "no ADCP ensembles found in it";
    return "Cannot open " + file.string() + ": " + why;
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
        for (const std::string_view extension : {".adp", ".000", ".YDFF", ".RIVR"})
            if (auto found = listing.Find(stem + std::string(extension))) return found;
        const auto underscore = name.rfind('_');
        if (underscore == std::string::npos) return std::nullopt;
        name = name.substr(0, underscore);
    }
}

bool IsSonTekFile(const std::filesystem::path& file) {
    return HasExtension(file, ".ydff") || HasExtension(file, ".rivr") || HasExtension(file, ".riv");
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

bool Database::LoadLog(const std::filesystem::path& logFile, UserPrompt& prompt) {
    Host().Log(kProgramName, logFile.string());
    const auto entries = ReadLogEntries(logFile);
    if (!entries) return false;
    const std::filesystem::path logFolder = logFile.parent_path();
    RawFileFinder rawFiles(RawFolderOfLog(logFile));
    int loaded = 0;
    for (const std::string& entry : *entries) {
        if (Trim(entry).empty()) continue;
        if (lineCount_ == kMaxLines) {
            prompt.ShowError(kLineLimitMessage);
            break;
        }
        const std::filesystem::path lineFile = logFolder / ForwardSlashes(entry);
        const auto rawFile = rawFiles.Find(entry);
        if (rawFile && AddLine(*rawFile, lineFile, prompt)) {
            ++loaded;
            continue;
        }
        if (!prompt.AskYesNo(FailedToLoadQuestion(lineFile))) break;
    }
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
    // A file without a single ping is not a line: most likely not an instrument file at all.
    if (line->reader->Open(rawFile) != OpenStatus::Ok || line->reader->Count() == 0) return false;
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
    AppSettings().Invalidate(slot);
    return true;
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

bool Database::OpenArchive(const std::filesystem::path& archiveFile, UserPrompt& prompt) {
    std::string error;
    const auto archive = Archive::Open(archiveFile, &error);
    if (!archive) {
        prompt.ShowError("Cannot open archive " + archiveFile.string() + ": " + error);
        return false;
    }
    const std::filesystem::path scratch = Host().Folder(FolderKind::Scratch);
    const std::filesystem::path destination = Host().Folder(FolderKind::ArchiveOutput);
    std::error_code ignored;
    std::filesystem::create_directories(scratch, ignored);
    std::filesystem::create_directories(destination, ignored);
    for (std::size_t entry = 0; entry < archive->EntryCount(); ++entry) {
        const std::string entryName = archive->EntryName(entry);
        if (!HasExtension(std::filesystem::path(ForwardSlashes(entryName)), ".ydff")) continue;
        const auto copyName = ArchiveCopyName(entryName);
        if (!copyName) {
            prompt.ShowError("The archive entry " + entryName + " of " + archiveFile.string() +
                             " is not taken out: its name leads out of the archive folder.");
            continue;
        }
        if (lineCount_ == kMaxLines) {
            prompt.ShowError(kLineLimitMessage);
            break;
        }
        const std::filesystem::path extracted = scratch / ("archive-entry.ydff");
        const std::filesystem::path copy = destination / (*copyName + ".ydff");
        if (!archive->ExtractTo(entry, extracted)) {
            prompt.ShowError("Cannot take " + entryName + " out of " + archiveFile.string());
            continue;
        }
        // An earlier copy is never overwritten: it may be the only one left of another survey.
        std::filesystem::copy_file(extracted, copy, std::filesystem::copy_options::skip_existing,
                                   ignored);
        std::filesystem::remove(extracted, ignored);
        AddLine(copy, std::nullopt, prompt);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Opening a user's files

namespace {

bool LoadOneFile(Database& database, const std::filesystem::path& file, UserPrompt& prompt) {
    if (HasExtension(file, ".log")) return database.LoadLog(file, prompt);
    if (HasExtension(file, ".zip") || HasExtension(file, ".rsqmb"))
        return database.OpenArchive(file, prompt);
    if (database.LineCount() == Database::kMaxLines) {
        prompt.ShowError(kLineLimitMessage);
        return false;
    }
    if (!database.AddLine(file, std::nullopt, prompt)) {
        prompt.ShowError(CannotOpenMessage(file));
        return false;
    }
    database.BuildPlannedLineFromTrack(database.LineCount() - 1);
    return true;
}

std::vector<std::string> AlignOptionsWithLines(Database& database) {
    Settings& settings = AppSettings();
    if (database.SuiteTimingUnavailable() && settings.Time_Type() != 1) settings.SetTime_Type(1);
    if (!database.HasPosition(0)) settings.UseTime = true;
    return AlignReferences(database, settings);
}

}  // namespace

OpenFilesOutcome OpenSurveyFiles(Database& database, std::span<const std::filesystem::path> files,
                                 UserPrompt& prompt) {
    database.Clear();
    OpenFilesOutcome outcome;
    for (const std::filesystem::path& file : files)
        if (!LoadOneFile(database, file, prompt)) ++outcome.failedFiles;
    outcome.notices = AlignOptionsWithLines(database);
    return outcome;
}

}  // namespace fluvex
