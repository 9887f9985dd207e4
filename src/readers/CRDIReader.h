#pragma once

// The ensembles of one survey line, read from a PD0 file.
//
// Open scans the file for ensemble frames (the index), decoding each as it is found, and sorts
// them by time. The file stays open so that Load can run again once the navigation merge
// has supplied navigation records. Why an ensemble or a stretch of the file was refused is kept
// in Warnings(), with its file offset.
//
// The file is read in large chunks, never a system call per ensemble: a 200 MB line opens in
// a fraction of a second, and memory stays close to the size of the file.
//
// The cell blocks of the loaded ensembles live in the reader's arena (HugePageArena): the list's
// records must not outlive the reader. Copies of them (GetEnsemble, or copying from Ensembles())
// are on the heap and independent of it.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "model/Ensemble.h"
#include "model/Matrix3.h"
#include "model/QuantityOptions.h"
#include "readers/HugePageArena.h"
#include "readers/LargeBlockAllocator.h"
#include "readers/PagePopulator.h"
#include "readers/Pd0Decoder.h"

namespace fluvex {

class Geodesy;
class ReadFeedback;

// One ensemble found by the scan.
struct IndexEntry {
    std::uint64_t fileOffset = 0;  // of its 0x7F 0x7F header
    std::uint64_t length = 0;      // byte count + 2: the checksum is included

    bool operator==(const IndexEntry&) const = default;
};

enum class ReadProblem : std::uint8_t {
    SkippedBytes,       // bytes where no frame starts, passed over to the next header
    WavesRecord,        // a waves record (0x7F 0x79), skipped whole
    TruncatedEnsemble,  // the file ends inside an ensemble
    ReadFailed,         // the system refused a read, or the file shrank after the scan
    Undecodable,        // framed, but not a usable ensemble: see decodeStatus
    InvalidClock,       // the instrument clock holds an impossible date or time
};

struct ReadWarning {
    ReadProblem problem = ReadProblem::SkippedBytes;
    DecodeStatus decodeStatus = DecodeStatus::Ok;  // for Undecodable
    std::uint64_t fileOffset = 0;
    std::uint64_t length = 0;  // bytes concerned

    bool operator==(const ReadWarning&) const = default;
};

// "offset 1234, 56 bytes: ensemble refused: a profile block before the fixed leader".
std::string DescribeReadWarning(const ReadWarning& warning);

enum class OpenStatus : int {
    Ok = 0,
    CannotOpen = 1,   // missing, unreadable or not a regular file
    Canceled = 2,     // the feedback cancelled the read
    Unsupported = 3,  // a file of a kind this reader cannot decode
};

class BinaryFile;

// A line's ensembles, by value: one block of records, and their cell blocks in the reader's arena,
// the smallest memory a loaded line can take.
using EnsembleList = std::vector<Ensemble, LargeBlockAllocator<Ensemble>>;

class CRDIReader {
public:
    // `geodesy` converts embedded navigation to grid positions; null leaves positions invalid.
    // It must outlive the reader.
    explicit CRDIReader(Geodesy* geodesy = nullptr);
    virtual ~CRDIReader();
    CRDIReader(const CRDIReader&) = delete;
    CRDIReader& operator=(const CRDIReader&) = delete;

    // Opens the file (an existing regular file, read only), scans it, loads it and sorts the
    // ensembles by time. The navigation records and warnings of an earlier file are dropped.
    // Not Ok: the file could not be opened, or the feedback cancelled the read; the reader then
    // holds no ensembles.
    virtual OpenStatus Open(const std::filesystem::path& path);
    // Empties the index and the navigation records and closes the file; the ensembles stay.
    virtual void Close();
    virtual int Count() const;
    // Rebuilds the ensembles from the index, in file order, applying the navigation records
    // (record i to index entry i) and measuring distances from the first ensemble positioned by
    // the file's own navigation. False, with no ensembles, when cancelled.
    virtual bool Load();

    // Copies ensemble `index` into `ensemble` and returns its loaded flag; false, with
    // `ensemble` untouched, for an index out of range.
    bool GetEnsemble(int index, Ensemble& ensemble) const;
    // Drops ensemble `index`; later ones move down. An index out of range is ignored.
    void RemoveEnsemble(int index);
    // Ascending ensemble time in the reader's timing mode; equal times keep their order (files
    // not written by the survey acquisition hold one constant in the time tag).
    void SortByTime();
    // The clock that orders and times the ensembles (TimingMode): the time tag until set. Takes
    // effect at the next Open.
    void SetTimingMode(int mode) { timingMode_ = mode; }

    // Read-only view of the ensembles, valid until the list changes.
    std::span<const Ensemble> Ensembles() const { return ensembles_; }
    // The ensembles for line-level updates in place (distance along line); valid likewise.
    std::span<Ensemble> EditableEnsembles() { return ensembles_; }
    const std::vector<IndexEntry>& Index() const { return index_; }
    const std::vector<ReadWarning>& Warnings() const { return warnings_; }
    // Why the last Open failed, in words for the user; empty when the reader has nothing to add
    // to the caller's own message.
    const std::string& OpenError() const { return openError_; }

    // Progress and cancellation of Open and Load; may be null. Must outlive their calls.
    void SetFeedback(ReadFeedback* feedback) { feedback_ = feedback; }

    // The navigation merged from the survey's own files, one record per ensemble in the list's
    // order (a shorter list leaves the rest cleared). Each replaces the ping's navigation at once
    // and is kept by the ping's place in the file, so that a later Load gives it to the same ping
    // whatever the sort order and the pings refused before it.
    void ApplyNavigation(std::span<const NavRecord> perEnsemble);
    // One record per index entry once navigation was applied; empty before.
    const std::vector<NavRecord>& NavigationRecords() const { return navigationRecords_; }

    // Roll, pitch and yaw of the instrument's mounting, degrees, in this order.
    const std::array<double, 3>& MountingOffsets() const { return mountingOffsets_; }
    void SetMountingOffsets(const std::array<double, 3>& rollPitchYaw);
    // Applied to the velocities by processing; identity until mounting offsets are configured.
    const Matrix3& AlignmentMatrix() const { return alignmentMatrix_; }
    void SetAlignmentMatrix(const Matrix3& matrix);

protected:
    // For readers of other formats that fill the list their own way. Records moved out of it
    // keep the reader's arena and must not outlive the reader; copy them instead.
    EnsembleList& MutableEnsembles() { return ensembles_; }
    void AddWarning(const ReadWarning& warning) { warnings_.push_back(warning); }
    // For such readers: drops the ensembles, their memory and the warnings, then appends one
    // ensemble at a time, each with the place in the file (or sample number) the navigation
    // records are kept by.
    void ResetEnsembles();
    void AppendEnsemble(const Ensemble& ensemble, std::size_t sourceEntry);
    ReadFeedback* Feedback() const { return feedback_; }
    void SetOpenError(std::string message) { openError_ = std::move(message); }
    Geodesy* GeodesyService() const { return geodesy_; }
    int TimingModeInUse() const { return timingMode_; }

private:
    // An ensemble's time and its place in the list.
    struct SortKey {
        double time;
        std::size_t position;
    };

    // `keys`: the sort key of each ensemble loaded, taken while its record is in the cache.
    bool Scan(std::vector<SortKey>& keys);
    void ReserveForScan(std::size_t frameLength);
    void LoadChunk(std::span<const std::uint8_t> chunk, std::uint64_t chunkOffset,
                   std::size_t firstEntry, std::size_t endEntry);
    // False when the ensemble was refused.
    bool LoadEntry(std::span<const std::uint8_t> bytes, std::size_t entry);
    void PopulateListAhead();
    // SortByTime with the key of each ensemble given, in the list's order; uses up `keys`.
    void SortByKeys(std::vector<SortKey>& keys);
    void RefuseEntry(std::size_t entry, ReadProblem problem,
                     DecodeStatus status = DecodeStatus::Ok);
    void MeasureEmbeddedDistances();
    void ClearEnsembles();
    void FreeEnsembles();
    bool Canceled() const;
    void ReportProgress(double fraction) const;

    Geodesy* geodesy_ = nullptr;
    ReadFeedback* feedback_ = nullptr;
    std::array<double, 3> mountingOffsets_{};
    Matrix3 alignmentMatrix_ = kIdentity3;
    int timingMode_ = kTimingTimeTag;
    std::unique_ptr<BinaryFile> file_;
    std::vector<IndexEntry> index_;
    std::vector<NavRecord> navigationRecords_;
    // Declared before the list, so that it is destroyed after the records that use it.
    HugePageArena cellArena_{&pagePopulator_};
    EnsembleList ensembles_;
    // Faults the list's and the arena's fresh memory in ahead of the decoder, on another core.
    // Declared after both, so that it stops before their memory goes.
    PagePopulator pagePopulator_;
    PopulatedLead listLead_;
    // The index entry each ensemble was decoded from, in the list's order.
    std::vector<std::size_t> sourceEntries_;
    std::vector<ReadWarning> warnings_;
    std::string openError_;
};

}  // namespace fluvex
