#include "readers/CRDIReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>

#include "model/EnsembleQuantities.h"
#include "readers/ReadFeedback.h"

namespace fluvex {

namespace {

// Large enough that system calls cost nothing next to decoding, small enough that a chunk just
// copied in by the kernel is still in the processor's cache when it is decoded.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;
static_assert(kChunkSize >= kMaxFrameLength, "a whole frame must fit in one chunk");

// Growing the list moves its records: never by copying them (a copy's cells go to the heap).
static_assert(std::is_nothrow_move_constructible_v<Ensemble>);

}  // namespace

// ---------------------------------------------------------------------------------------------
// The open file: positioned reads, so that no read depends on a shared file position.

class BinaryFile {
public:
    static std::unique_ptr<BinaryFile> Open(const std::filesystem::path& path) {
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) return nullptr;
        struct stat status {};
        if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(descriptor);
            return nullptr;
        }
        ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
        return std::make_unique<BinaryFile>(descriptor, static_cast<std::uint64_t>(status.st_size));
    }

    // Takes ownership of an open descriptor.
    BinaryFile(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}

    ~BinaryFile() { ::close(descriptor_); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    std::uint64_t Size() const { return size_; }

    // Fills `buffer` from `offset`; fewer bytes only where the file ends. Nothing on a read error.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t got = ::pread(descriptor_, buffer.data() + done, buffer.size() - done,
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return std::nullopt;
            if (got == 0) break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    int descriptor_;
    std::uint64_t size_;
};

namespace {

// The sum of the bytes modulo 65536, eight at a time: the byte pairs of a 64-bit word are added
// as four 16-bit lanes, which cannot carry into each other for 128 words.
std::uint16_t SumModulo65536(std::span<const std::uint8_t> bytes) {
    constexpr std::uint64_t evenBytes = 0x00FF00FF00FF00FFULL;
    constexpr std::size_t wordsPerRound = 128;
    std::uint32_t sum = 0;
    std::size_t at = 0;
    while (bytes.size() - at >= sizeof(std::uint64_t)) {
        std::uint64_t lanes = 0;
        for (std::size_t word = 0;
             word < wordsPerRound && bytes.size() - at >= sizeof(std::uint64_t); ++word) {
            std::uint64_t w = 0;
            std::memcpy(&w, bytes.data() + at, sizeof w);
            lanes += (w & evenBytes) + ((w >> 8U) & evenBytes);
            at += sizeof w;
        }
        for (int lane = 0; lane < 4; ++lane)
            sum += static_cast<std::uint32_t>((lanes >> (16 * lane)) & 0xFFFFU);
    }
    for (; at < bytes.size(); ++at)
        sum += bytes[at];
    return static_cast<std::uint16_t>(sum);
}

// Reads one block of the file at a time on a thread of its own, while the caller works on the
// block before: the copy out of the page cache, as long as a plain read of the whole file, leaves
// the decoding thread.
class ReadAhead {
public:
    // Without a thread (the system refused one), each read is made when it is started.
    explicit ReadAhead(const BinaryFile& file) : file_(file) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
        }
    }

    ~ReadAhead() {
        {
            const std::scoped_lock lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts filling `buffer` from `offset`; one read at a time, each finished before the next.
    void Start(std::uint64_t offset, std::span<std::uint8_t> buffer) {
        if (!thread_.joinable()) {
            result_ = file_.ReadAt(offset, buffer);
            return;
        }
        {
            const std::scoped_lock lock(mutex_);
            wanted_ = Request{offset, buffer};
            result_.reset();
        }
        changed_.notify_all();
    }

    // Waits for the read started last: the bytes read (fewer only where the file ends), nothing
    // on a read error.
    std::optional<std::size_t> Finish() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return result_.has_value(); });
        return *result_;
    }

private:
    struct Request {
        std::uint64_t offset = 0;
        std::span<std::uint8_t> buffer;
    };

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || wanted_.has_value(); });
            if (stopping_) return;
            const Request request = *wanted_;
            wanted_.reset();
            lock.unlock();
            const auto got = file_.ReadAt(request.offset, request.buffer);
            lock.lock();
            result_ = got;
            changed_.notify_all();
        }
    }

    const BinaryFile& file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Request> wanted_;
    std::optional<std::optional<std::size_t>> result_;  // set once the read is over
    bool stopping_ = false;
    std::thread thread_;
};

// A window onto the file that slides forward, so that the frame being examined is always whole in
// memory while the file is read in large chunks. Two buffers take turns: the next chunk is read
// into one while the scan works in the other, after a head room where the unfinished frame at the
// end of the current chunk is copied when the window moves on.
class SlidingWindow {
public:
    explicit SlidingWindow(const BinaryFile& file) : readAhead_(file) {
        for (auto& buffer : buffers_)
            buffer.resize(kHeadRoom + kChunkSize);
        ReadNextChunk();
    }

    // The bytes from file position `position` (inside the window) to its end.
    std::span<const std::uint8_t> From(std::uint64_t position) const {
        return window_.subspan(static_cast<std::size_t>(position - base_));
    }

    bool AtEndOfFile() const { return endOfFile_; }

    // Whether the frame of `length` bytes at `position` (whole in the window) matches its
    // checksum. A real file's frames are summed directly, each once. Garbage full of headers
    // would have every candidate summed over its claimed length: once this window has summed
    // twice the chunk size, the sums of every prefix of the window are taken, so that each further
    // candidate costs the same whatever its byte count and such garbage scans about as fast as a
    // real file.
    bool ChecksumMatches(std::uint64_t position, std::size_t length) {
        constexpr std::size_t checksumSize = 2;
        const auto start = static_cast<std::size_t>(position - base_);
        const std::size_t byteCount = length - checksumSize;
        std::uint16_t sum = 0;
        if (prefixSums_.empty() && directlySummed_ + byteCount <= 2 * kChunkSize) {
            directlySummed_ += byteCount;
            sum = SumModulo65536(window_.subspan(start, byteCount));
        } else {
            if (prefixSums_.empty()) {
                prefixSums_.resize(window_.size() + 1);
                for (std::size_t i = 0; i < window_.size(); ++i)
                    prefixSums_[i + 1] = static_cast<std::uint16_t>(prefixSums_[i] + window_[i]);
            }
            sum = static_cast<std::uint16_t>(prefixSums_[start + byteCount] - prefixSums_[start]);
        }
        const auto stored = static_cast<std::uint16_t>(window_[start + byteCount] |
                                                       (window_[start + byteCount + 1] << 8U));
        return sum == stored;
    }

    // Keeps the bytes from `position` on and moves on to the chunk read meanwhile. The scan asks
    // for more only with less than a frame left. False on a read error.
    bool Advance(std::uint64_t position) {
        prefixSums_.clear();
        directlySummed_ = 0;
        const auto kept = From(position);
        const auto got = readAhead_.Finish();
        if (!got || kept.size() > kHeadRoom) return false;
        std::vector<std::uint8_t>& next = buffers_[reading_];
        const std::size_t start = kHeadRoom - kept.size();
        std::ranges::copy(kept, next.begin() + static_cast<std::ptrdiff_t>(start));
        window_ = std::span(next).subspan(start, kept.size() + *got);
        base_ = position;
        endOfFile_ = *got < kChunkSize;
        if (!endOfFile_) ReadNextChunk();
        return true;
    }

private:
    // Room for the unfinished frame carried over from one chunk to the next.
    static constexpr std::size_t kHeadRoom = kMaxFrameLength;

    void ReadNextChunk() {
        reading_ = 1 - reading_;
        readAhead_.Start(nextRead_, std::span(buffers_[reading_]).subspan(kHeadRoom));
        nextRead_ += kChunkSize;
    }

    std::array<std::vector<std::uint8_t>, 2> buffers_;
    std::size_t reading_ = 1;  // the buffer the next chunk goes into
    std::uint64_t nextRead_ = 0;
    std::span<const std::uint8_t> window_;
    std::uint64_t base_ = 0;  // file position of window_[0]
    bool endOfFile_ = false;
    std::vector<std::uint16_t> prefixSums_;  // [i]: sum of window_[0, i) modulo 65536
    std::size_t directlySummed_ = 0;         // bytes of candidates summed one by one
    ReadAhead readAhead_;                    // last, so that its reads stop first
};

// Asks for a record's cache lines before it is needed: the sort's moves go all over a list of
// hundreds of megabytes, and each waits for memory otherwise.
void PrefetchRecord(const Ensemble& record) {
    constexpr std::size_t cacheLine = 64;
    const auto* bytes = reinterpret_cast<const char*>(&record);
    for (std::size_t at = 0; at < sizeof(Ensemble); at += cacheLine)
        __builtin_prefetch(bytes + at);
}

// The index entries [first, end) that one chunk read starting at entry `first` can hold.
std::size_t EndOfChunk(const std::vector<IndexEntry>& index, std::size_t first) {
    const std::uint64_t chunkStart = index[first].fileOffset;
    std::size_t end = first + 1;
    while (end < index.size() &&
           index[end].fileOffset + index[end].length - chunkStart <= kChunkSize)
        ++end;
    return end;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Scan: finds every frame and indexes the ensembles among them.

namespace {

class IndexBuilder {
public:
    // `onEnsemble` is given each indexed ensemble's bytes, whole, while they are in memory.
    using EnsembleHandler = std::function<void(std::span<const std::uint8_t>)>;

    IndexBuilder(const BinaryFile& file, std::vector<IndexEntry>& index,
                 std::vector<ReadWarning>& warnings, EnsembleHandler onEnsemble)
        : file_(file),
          window_(file),
          index_(index),
          warnings_(warnings),
          onEnsemble_(std::move(onEnsemble)) {}

    // One step: false when the scan is over.
    bool Step() {
        const auto bytes = window_.From(position_);
        if (bytes.empty() && window_.AtEndOfFile()) return Finish();
        FrameCheck frame = CheckFrameHeader(bytes, window_.AtEndOfFile());
        if (frame.checksumNeeded && !window_.ChecksumMatches(position_, frame.length))
            frame.verdict = FrameVerdict::NotAFrame;
        switch (frame.verdict) {
            case FrameVerdict::NeedMoreBytes:
                if (window_.Advance(position_)) return true;
                Warn(ReadProblem::ReadFailed, position_, file_.Size() - position_);
                return Finish();
            case FrameVerdict::Frame:
                TakeFrame(frame, bytes);
                return true;
            case FrameVerdict::Truncated:
                Warn(ReadProblem::TruncatedEnsemble, position_, bytes.size());
                return Finish();
            case FrameVerdict::NotAFrame:
                if (!skippedFrom_) skippedFrom_ = position_;
                position_ += DistanceToNextCandidate(bytes);
                return true;
        }
        return Finish();
    }

    double Progress() const {
        return file_.Size() == 0
                   ? 1.0
                   : static_cast<double>(position_) / static_cast<double>(file_.Size());
    }

private:
    void TakeFrame(const FrameCheck& frame, std::span<const std::uint8_t> bytes) {
        EndSkippedBytes();
        if (frame.kind == FrameKind::Ensemble) {
            index_.push_back({position_, frame.length});
            onEnsemble_(bytes.first(static_cast<std::size_t>(frame.length)));
        } else
            Warn(ReadProblem::WavesRecord, position_, frame.length);
        position_ += frame.length;
    }

    bool Finish() {
        EndSkippedBytes();
        return false;
    }

    void EndSkippedBytes() {
        if (!skippedFrom_) return;
        Warn(ReadProblem::SkippedBytes, *skippedFrom_, position_ - *skippedFrom_);
        skippedFrom_.reset();
    }

    void Warn(ReadProblem problem, std::uint64_t offset, std::uint64_t length) {
        warnings_.push_back({.problem = problem, .fileOffset = offset, .length = length});
    }

    const BinaryFile& file_;
    SlidingWindow window_;
    std::vector<IndexEntry>& index_;
    std::vector<ReadWarning>& warnings_;
    EnsembleHandler onEnsemble_;
    std::uint64_t position_ = 0;
    std::optional<std::uint64_t> skippedFrom_;
};

}  // namespace

// Each ensemble is decoded as the scan finds it, from the scan's own window: the file is copied
// into memory once. Refusals of framed ensembles are reported after the scan's own findings, as
// a Load reports them.
bool CRDIReader::Scan(std::vector<SortKey>& keys) {
    index_.clear();
    ClearEnsembles();
    keys.clear();
    const std::size_t firstRefusal = warnings_.size();
    const auto decode = [this, &keys](std::span<const std::uint8_t> bytes) {
        ReserveForScan(bytes.size());
        // Reserved with the list, so that the keys never take twice their memory while growing.
        if (keys.capacity() < ensembles_.capacity()) keys.reserve(ensembles_.capacity());
        // The sort key is taken while the record is in the cache; the sort would otherwise
        // read every record again.
        if (LoadEntry(bytes, index_.size() - 1))
            keys.push_back({EnsembleTimeOf(ensembles_.back(), timingMode_), keys.size()});
    };
    IndexBuilder builder(*file_, index_, warnings_, decode);
    constexpr std::size_t stepsBetweenReports = 4096;
    for (std::size_t step = 1; builder.Step(); ++step) {
        if (step % stepsBetweenReports != 0) continue;
        if (Canceled()) return false;
        ReportProgress(builder.Progress());
    }
    std::stable_partition(warnings_.begin() + static_cast<std::ptrdiff_t>(firstRefusal),
                          warnings_.end(), [](const ReadWarning& warning) {
                              return warning.problem != ReadProblem::Undecodable &&
                                     warning.problem != ReadProblem::InvalidClock;
                          });
    MeasureEmbeddedDistances();
    return !Canceled();
}

// The scan does not know how many ensembles are to come: when the list is full, it reserves for
// as many again as the rest of the file holds at the average frame length so far, and a quarter
// more. Only the records written take memory; the rest of the reservation is address space.
void CRDIReader::ReserveForScan(std::size_t frameLength) {
    if (ensembles_.size() < ensembles_.capacity()) return;
    const IndexEntry& last = index_.back();
    const std::uint64_t scanned = last.fileOffset + frameLength;
    const double averageLength = static_cast<double>(scanned) / static_cast<double>(index_.size());
    const double remaining = static_cast<double>(file_->Size() - std::min(scanned, file_->Size()));
    // At least doubling, so that a file whose first frames mislead still costs few moves.
    const auto more = std::max(static_cast<std::size_t>(remaining / averageLength * 1.25) + 64,
                               ensembles_.size());
    ensembles_.reserve(ensembles_.size() + more);
    sourceEntries_.reserve(ensembles_.capacity());
}

// ---------------------------------------------------------------------------------------------
// Load: decodes the indexed ensembles, reading runs of them in one chunk.

bool CRDIReader::Load() {
    ClearEnsembles();
    ensembles_.reserve(index_.size());
    sourceEntries_.reserve(index_.size());
    if (!file_) return true;
    // Each run of entries is read while the one before is decoded.
    std::array<std::vector<std::uint8_t>, 2> chunks{std::vector<std::uint8_t>(kChunkSize),
                                                    std::vector<std::uint8_t>(kChunkSize)};
    ReadAhead readAhead(*file_);
    const auto startReading = [&](std::size_t first, std::vector<std::uint8_t>& chunk) {
        const std::size_t end = EndOfChunk(index_, first);
        const IndexEntry& last = index_[end - 1];
        const std::uint64_t offset = index_[first].fileOffset;
        readAhead.Start(offset, std::span(chunk).first(static_cast<std::size_t>(
                                    last.fileOffset + last.length - offset)));
        return end;
    };
    std::size_t first = 0;
    std::size_t end = index_.empty() ? 0 : startReading(0, chunks[0]);
    for (std::size_t turn = 0; first < index_.size(); ++turn) {
        const auto got = readAhead.Finish();
        if (Canceled()) {
            ClearEnsembles();
            return false;
        }
        const std::size_t next = end;
        if (next < index_.size()) end = startReading(next, chunks[(turn + 1) % 2]);
        LoadChunk(std::span(chunks[turn % 2]).first(got.value_or(0)), index_[first].fileOffset,
                  first, next);
        ReportProgress(static_cast<double>(next) / static_cast<double>(index_.size()));
        first = next;
    }
    MeasureEmbeddedDistances();
    return true;
}

// Ensembles that the chunk does not hold whole (the file shrank, or a read failed) are reported
// and skipped.
void CRDIReader::LoadChunk(std::span<const std::uint8_t> chunk, std::uint64_t chunkOffset,
                           std::size_t firstEntry, std::size_t endEntry) {
    for (std::size_t entry = firstEntry; entry < endEntry; ++entry) {
        const IndexEntry& indexed = index_[entry];
        const auto start = static_cast<std::size_t>(indexed.fileOffset - chunkOffset);
        if (start > chunk.size() || indexed.length > chunk.size() - start) {
            RefuseEntry(entry, ReadProblem::ReadFailed);
            continue;
        }
        LoadEntry(chunk.subspan(start, static_cast<std::size_t>(indexed.length)), entry);
    }
}

// Decodes straight into a new last element of the reserved list: no copy of the record, and its
// cell blocks cut from the arena. A refused ensemble is taken off again (its few hundred bytes of
// arena stay used until the next Load).
bool CRDIReader::LoadEntry(std::span<const std::uint8_t> bytes, std::size_t entry) {
    PopulateListAhead();
    Ensemble& ensemble = ensembles_.emplace_back(&cellArena_);
    const DecodeStatus status = DecodeEnsemble(ensemble, bytes, geodesy_);
    if (status != DecodeStatus::Ok) {
        ensembles_.pop_back();
        RefuseEntry(entry, ReadProblem::Undecodable, status);
        return false;
    }
    // Navigation from the survey's own files replaces what the instrument file carried.
    if (entry < navigationRecords_.size()) {
        ensemble.navigation = navigationRecords_[entry];
        ensemble.MarkAbsent(PresentBit::EmbeddedPosition);
    }
    // A ping whose clock cannot be a moment in time would be sorted and differenced as if it
    // were one (second 99 is 40 s later than the next minute's first ping): refused.
    if (!ClockIsPossible(ensemble.variableLeader)) {
        ensembles_.pop_back();
        RefuseEntry(entry, ReadProblem::InvalidClock);
        return false;
    }
    sourceEntries_.push_back(entry);
    return true;
}

// The records' pages are zeroed on another core while the decoder fills the ones before them.
void CRDIReader::PopulateListAhead() {
    const auto reserved =
        std::as_writable_bytes(std::span(ensembles_.data(), ensembles_.capacity()));
    // A smaller list is on the ordinary heap, whose pages may be in use already.
    if (reserved.size() < LargeBlockAllocator<std::byte>::kHugePage) return;
    listLead_.Follow(pagePopulator_, reserved,
                     reserved.data() + ensembles_.size() * sizeof(Ensemble));
}

void CRDIReader::RefuseEntry(std::size_t entry, ReadProblem problem, DecodeStatus status) {
    const IndexEntry& indexed = index_[entry];
    warnings_.push_back({.problem = problem,
                         .decodeStatus = status,
                         .fileOffset = indexed.fileOffset,
                         .length = indexed.length});
}

// Distances along the track from the first ensemble the file's own navigation positioned.
void CRDIReader::MeasureEmbeddedDistances() {
    const auto embedded = [](const Ensemble& e) { return e.Has(PresentBit::EmbeddedPosition); };
    const auto first = std::ranges::find_if(ensembles_, embedded);
    if (first == ensembles_.end()) return;
    const double x0 = first->navigation.x;
    const double y0 = first->navigation.y;
    for (auto it = first; it != ensembles_.end(); ++it) {
        if (!embedded(*it)) continue;
        const double dx = it->navigation.x - x0;
        const double dy = it->navigation.y - y0;
        it->navigation.distance = std::sqrt(dx * dx + dy * dy);
    }
}

// Destroys the records and then rewinds the arena their cell blocks came from. List and arena
// keep their memory: a Load after the navigation merge rebuilds the same line in it.
void CRDIReader::ClearEnsembles() {
    ensembles_.clear();
    sourceEntries_.clear();
    cellArena_.Rewind();
    listLead_.Reset();
}

// As ClearEnsembles, returning the memory: for another file, or none.
void CRDIReader::FreeEnsembles() {
    ensembles_ = {};
    sourceEntries_ = {};
    cellArena_.Release();
    listLead_.Reset();
}

void CRDIReader::ResetEnsembles() {
    FreeEnsembles();
    warnings_.clear();
}

void CRDIReader::AppendEnsemble(const Ensemble& ensemble, std::size_t sourceEntry) {
    ensembles_.push_back(ensemble);
    sourceEntries_.push_back(sourceEntry);
}

// ---------------------------------------------------------------------------------------------
// The container

CRDIReader::CRDIReader(Geodesy* geodesy) : geodesy_(geodesy) {}

CRDIReader::~CRDIReader() = default;

OpenStatus CRDIReader::Open(const std::filesystem::path& path) {
    Close();
    FreeEnsembles();
    warnings_.clear();
    file_ = BinaryFile::Open(path);
    if (!file_) return OpenStatus::CannotOpen;
    std::vector<SortKey> keys;
    if (!Scan(keys)) {
        Close();
        FreeEnsembles();
        return OpenStatus::Canceled;
    }
    // The clock of every loaded ping is possible (LoadEntry), so taking its time changes nothing
    // in it: the keys of the scan are those SortByTime would take.
    if (keys.size() == ensembles_.size())
        SortByKeys(keys);
    else
        SortByTime();
    ReportProgress(1.0);
    return OpenStatus::Ok;
}

void CRDIReader::Close() {
    index_ = {};
    navigationRecords_ = {};
    file_.reset();
}

int CRDIReader::Count() const {
    return static_cast<int>(ensembles_.size());
}

bool CRDIReader::GetEnsemble(int index, Ensemble& ensemble) const {
    if (index < 0 || index >= Count()) return false;
    ensemble = ensembles_[static_cast<std::size_t>(index)];
    return ensemble.loaded;
}

void CRDIReader::RemoveEnsemble(int index) {
    if (index < 0 || index >= Count()) return;
    ensembles_.erase(ensembles_.begin() + index);
    sourceEntries_.erase(sourceEntries_.begin() + index);
}

void CRDIReader::SortByTime() {
    std::vector<SortKey> keys;
    keys.reserve(ensembles_.size());
    for (std::size_t i = 0; i < ensembles_.size(); ++i)
        keys.push_back({EnsembleTime(ensembles_[i], timingMode_), i});
    SortByKeys(keys);
}

void CRDIReader::SortByKeys(std::vector<SortKey>& keys) {
    // Ties go by file position: the order is that of a stable sort.
    const auto earlier = [](const SortKey& a, const SortKey& b) {
        return a.time < b.time || (a.time == b.time && a.position < b.position);
    };
    if (std::ranges::is_sorted(keys, earlier)) return;
    std::ranges::sort(keys, earlier);

    // Moves every ensemble, and its source entry, to its place along the cycles of the
    // permutation: no second list, which would double the memory of a large line.
    // keys[i].position is the source of place i, and is set to i once the place is filled.
    for (std::size_t start = 0; start < keys.size(); ++start) {
        if (keys[start].position == start) continue;
        Ensemble held = std::move(ensembles_[start]);
        const std::size_t heldEntry = sourceEntries_[start];
        std::size_t place = start;
        while (keys[place].position != start) {
            const std::size_t source = keys[place].position;
            PrefetchRecord(ensembles_[keys[source].position]);
            ensembles_[place] = std::move(ensembles_[source]);
            sourceEntries_[place] = sourceEntries_[source];
            keys[place].position = place;
            place = source;
        }
        ensembles_[place] = std::move(held);
        sourceEntries_[place] = heldEntry;
        keys[place].position = place;
    }
}

void CRDIReader::ApplyNavigation(std::span<const NavRecord> perEnsemble) {
    // Readers without an index keep their records by sample number.
    std::size_t places = index_.size();
    for (const std::size_t entry : sourceEntries_)
        places = std::max(places, entry + 1);
    navigationRecords_.assign(places, NavRecord{});
    for (std::size_t k = 0; k < ensembles_.size(); ++k) {
        const NavRecord record = k < perEnsemble.size() ? perEnsemble[k] : NavRecord{};
        ensembles_[k].navigation = record;
        ensembles_[k].MarkAbsent(PresentBit::EmbeddedPosition);
        if (sourceEntries_[k] < navigationRecords_.size())
            navigationRecords_[sourceEntries_[k]] = record;
    }
}

void CRDIReader::SetMountingOffsets(const std::array<double, 3>& rollPitchYaw) {
    mountingOffsets_ = rollPitchYaw;
}

void CRDIReader::SetAlignmentMatrix(const Matrix3& matrix) {
    alignmentMatrix_ = matrix;
}

bool CRDIReader::Canceled() const {
    return feedback_ != nullptr && feedback_->IsCanceled();
}

void CRDIReader::ReportProgress(double fraction) const {
    if (feedback_ != nullptr) feedback_->SetProgress(fraction);
}

// ---------------------------------------------------------------------------------------------

std::string DescribeReadWarning(const ReadWarning& warning) {
    std::string text = "offset " + std::to_string(warning.fileOffset) + ", " +
                       std::to_string(warning.length) + " bytes: ";
    switch (warning.problem) {
        case ReadProblem::SkippedBytes:
            return text + "no ensemble starts here, skipped";
        case ReadProblem::WavesRecord:
            return text + "waves record, skipped";
        case ReadProblem::TruncatedEnsemble:
            return text + "the file ends inside this ensemble";
        case ReadProblem::ReadFailed:
            return text + "could not be read";
        case ReadProblem::Undecodable:
            return text +
                   "ensemble refused: " + std::string(DescribeDecodeStatus(warning.decodeStatus));
        case ReadProblem::InvalidClock:
            return text + "ensemble refused: impossible date or time in the instrument clock";
    }
    return text;
}

}  // namespace fluvex
