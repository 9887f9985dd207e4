#pragma once

// The one collection of loaded survey lines. A line is one instrument file read by its reader,
// with its name and its planned line. Views and exports ask here for a line's pings and for
// line-level measures; a line whose processing options changed is reprocessed before any of its
// pings is handed out.
//
// Distance along line is the orthogonal projection of a ping's position onto the straight line
// from the first to the last planned point. Pings without a position take the position of the
// last positioned ping before them; pings before the first positioned one take that one's.

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/Ensemble.h"
#include "model/PlannedLine.h"
#include "processing/Discharge.h"
#include "project/ClipBorder.h"
#include "project/LineMeasures.h"

namespace fluvex {

class CRDIReader;
class Geodesy;
struct ReadWarning;
class ReadFeedback;
class UserPrompt;

class Database {
public:
    static constexpr int kMaxLines = 512;

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Converts positions embedded in instrument files; may be null. Must outlive the lines.
    void SetGeodesy(Geodesy* geodesy) { geodesy_ = geodesy; }
    Geodesy* GetGeodesy() const { return geodesy_; }
    // Progress and cancellation of the reads that follow; may be null.
    void SetFeedback(ReadFeedback* feedback) { feedback_ = feedback; }

    // --- Loading (LineLoading.cpp) ---
    // Every line of the survey suite's line log; true when at least one was loaded. Entries
    // that were not loaded are named through `prompt` and added to `notLoaded`.
    bool LoadLog(const std::filesystem::path& logFile, UserPrompt& prompt,
                 int* notLoaded = nullptr);
    // Opens an instrument file and appends it as a line, merging the navigation and the planned
    // line of the suite's line file when one is given. False when the file was not opened.
    bool AddLine(const std::filesystem::path& rawFile,
                 const std::optional<std::filesystem::path>& lineFile, UserPrompt& prompt);
    // Takes the instrument files out of an archive, each archive into a folder of its own, and
    // appends them; false when the archive could not be opened or holds no instrument file.
    // Entries that were not loaded are named through `prompt` and added to `notLoaded`.
    bool OpenArchive(const std::filesystem::path& archive, UserPrompt& prompt,
                     int* notLoaded = nullptr);

    // --- The collection ---
    void Clear();
    int LineCount() const { return lineCount_; }
    // Empty when no line is loaded; a slot not in use gives its (empty) name too.
    std::string LineName(int line) const;
    // The instrument file of a line; empty for a line not loaded.
    std::filesystem::path LinePath(int line) const;
    // The line is read by the other instrument family's reader.
    bool IsSonTekLine(int line) const;
    // Why pings or stretches of the line's file were refused.
    std::span<const ReadWarning> ReadWarnings(int line) const;
    int EnsembleCount(int line) const;
    // The line's pings after any pending reprocessing; empty for a line not loaded.
    std::span<const Ensemble> Ensembles(int line);
    // The line's pings as they are, without the pending reprocessing: for what reads only the
    // recorded blocks and the navigation (summaries, distances), which processing never changes.
    std::span<const Ensemble> RecordedEnsembles(int line) const;
    // Copies one ping; false for a line or index out of range or a ping not loaded.
    bool GetEnsemble(int line, int index, Ensemble& ensemble);
    // Drops one ping of a line (the delete commands of the views).
    void RemoveEnsemble(int line, int index);
    // Marks one cell of one ping as without a value: its four recorded beam velocities and its
    // processed velocity become the bad value, so that reprocessing keeps it deleted. A line,
    // ping or cell out of range is ignored.
    void DeleteCell(int line, int index, int cell);
    // The last ping that has a position.
    bool LastPositionedEnsemble(int line, Ensemble& ensemble);
    // The first ping whose time (in the current timing mode) is not before `time`.
    bool EnsembleAtTime(int line, double time, Ensemble& ensemble);
    // The ping whose distance along line is closest to `distance`; the earliest of equals.
    bool NearestEnsembleByDistance(int line, double distance, Ensemble& ensemble);
    // Removes a line; later lines move down. Only while two or more are loaded; a negative line
    // means the current line of the settings, which is kept within the lines left.
    void RemoveLine(int line);

    // --- Line measures (LineMeasures.h) with the current settings; nothing without a value ---
    std::optional<ValueRange> DepthRange(int line);
    std::optional<ValueRange> DistanceRange(int line);
    // In the display velocity unit, or raw for quantities shown as they are; by default the
    // settings' Velocity.
    std::optional<ValueRange> VelocityRange(int line, std::optional<int> quantity = std::nullopt);
    std::optional<ValueRange> VelocityRangeAll(std::optional<int> quantity = std::nullopt);
    std::optional<PlanRect> Extents(int line);
    std::optional<PlanRect> ExtentsAll();

    // --- Planned lines (LinePlanning.cpp) ---
    // The line's planned line, built from the track first when it has none; null when there is
    // still none (or the line is not loaded).
    const fluvex::PlannedLine* PlannedLine(int line);
    void BuildPlannedLineFromTrack(int line);
    void ReversePlannedLine(int line);
    void ComputeDistanceAlongLine(int line);

    // --- Questions ---
    bool HasPosition(int line);
    // Any ping positioned by navigation embedded in its instrument file.
    bool HasNavRecordPosition(int line);
    bool HasBottomTrack(int line);
    bool HasSonTekLine() const;
    // The last line added was read by the other instrument family's reader (true when empty).
    bool SonTekFlag() const { return sonTekFlag_; }
    // Every line added since Clear came with a line file whose planned line could be read.
    bool LineFileFlag() const { return lineFileFlag_; }
    // The suite's line files (edited files) bring the sounder depths, the navigation and the
    // attitude of every line; before anything is loaded every choice is open.
    bool LineFilesForEveryLine() const { return lineCount_ == 0 || lineFileFlag_; }
    // Some line's pings cannot be timed by the suite's time tags: it came without a line file,
    // or its time tags do not increase (files recorded by other software hold a constant there).
    bool SuiteTimingUnavailable() const { return suiteTimingUnavailable_; }
    // Why the reader of the last AddLine that failed refused its file; empty when it did not say.
    const std::string& LastOpenError() const { return lastOpenError_; }

    // --- Discharge (LineDischarge.cpp) ---
    // The discharge of a line with its edge estimates; the clipped variant counts only the pings
    // inside the clip border and has no edges.
    LineDischarge ComputeLineDischarge(int line);
    LineDischarge ComputeLineDischargeClipped(int line);

    // --- Clip border (ClipBorder.h) ---
    // The border outlives Clear: it belongs to the survey area, not to the lines.
    bool LoadBorderFile(const std::filesystem::path& file) { return border_.Load(file); }
    void ClearBorder() { border_.Clear(); }
    const std::vector<BorderPoint>& Border() const { return border_.Points(); }
    void BorderExtents(PlanRect& rect) const { border_.Extend(rect); }
    void SetBorderQuad(const std::array<BorderPoint, 4>& corners) { border_.SetQuad(corners); }
    bool InsideBorder(double x, double y) const { return border_.Inside(x, y); }

private:
    struct Line;

    bool IsLoaded(int line) const { return line >= 0 && line < lineCount_; }
    // The line's reader after any pending reprocessing; null for a line not loaded.
    CRDIReader* ProcessedReader(int line);
    Line& Slot(int line) { return *lines_[static_cast<std::size_t>(line)]; }
    void AttachLineFile(int line, const std::filesystem::path& lineFile, double headingOffset,
                        UserPrompt& prompt);
    void WarnOfPositionsOutsideGrid(const std::filesystem::path& file, UserPrompt& prompt);
    void NoteSuiteTiming(const CRDIReader& reader, bool withLineFile);

    Geodesy* geodesy_ = nullptr;
    ReadFeedback* feedback_ = nullptr;
    int lineCount_ = 0;
    std::array<std::unique_ptr<Line>, kMaxLines> lines_;
    bool sonTekFlag_ = true;
    bool lineFileFlag_ = true;
    bool suiteTimingUnavailable_ = false;
    std::string lastOpenError_;
    ClipBorder border_;
};

// The line collection of the process.
Database& AppDatabase();

// Writes each line's read warnings (refused pings and stretches) to the debug output.
void TraceReadWarnings(const Database& database);

// Loads `file` as the clip border of `database`; when it cannot be used, says so through
// `prompt`, naming the file, and returns false with no border.
bool LoadBorderFileOrSay(Database& database, const std::filesystem::path& file, UserPrompt& prompt);

}  // namespace fluvex
