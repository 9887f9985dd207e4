#include "export/Tin.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <unordered_map>

#include "model/TextUtil.h"

namespace fluvex {

Tin::Tin() = default;
Tin::~Tin() = default;

namespace {

double SquaredLength(const TinPoint& a, const TinPoint& b) {
    return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

// "x,y,value"; blanks around the fields are allowed.
std::optional<TinPoint> ParsePointLine(std::string_view line) {
    double fields[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = i < 2 ? line.find(',') : line.size();
        if (comma == std::string_view::npos) return std::nullopt;
        const std::optional<double> value = ParseDouble(line.substr(0, comma));
        if (!value) return std::nullopt;
        fields[i] = *value;
        line.remove_prefix(std::min(line.size(), comma + 1));
    }
    return TinPoint{fields[0], fields[1], fields[2]};
}

// A point where a level crosses an edge, keyed by the edge so that both triangles beside it
// find the same key and compute the same point.
struct Crossing {
    std::uint64_t edge = 0;
    DxfPoint at;
};

struct Segment {
    Crossing ends[2];
};

std::uint64_t EdgeKey(int a, int b) {
    if (a > b) std::swap(a, b);
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32 |
           static_cast<std::uint32_t>(b);
}

// Joins the segments of one level into polylines: open chains first (from an edge only one
// segment touches), then the closed loops that remain.
std::vector<ContourLevel::Line> JoinSegments(const std::vector<Segment>& segments) {
    std::unordered_map<std::uint64_t, std::array<int, 2>> byEdge;
    byEdge.reserve(segments.size() * 2);
    for (int s = 0; s < static_cast<int>(segments.size()); ++s)
        for (const Crossing& end : segments[static_cast<std::size_t>(s)].ends) {
            auto [it, added] = byEdge.try_emplace(end.edge, std::array<int, 2>{s, -1});
            if (!added) it->second[1] = s;
        }
    std::vector<bool> used(segments.size(), false);
    std::vector<ContourLevel::Line> lines;
    const auto walk = [&](int first, int startEnd) {
        ContourLevel::Line line;
        int current = first;
        int from = startEnd;
        line.points.push_back(segments[static_cast<std::size_t>(first)].ends[from].at);
        while (current >= 0 && !used[static_cast<std::size_t>(current)]) {
            used[static_cast<std::size_t>(current)] = true;
            const Crossing& far = segments[static_cast<std::size_t>(current)].ends[1 - from];
            const std::array<int, 2>& touching = byEdge[far.edge];
            const int next = touching[0] == current ? touching[1] : touching[0];
            if (next >= 0 && used[static_cast<std::size_t>(next)] && next == first) {
                line.closed = true;
                break;
            }
            line.points.push_back(far.at);
            if (next < 0) break;
            from = segments[static_cast<std::size_t>(next)].ends[0].edge == far.edge ? 0 : 1;
            current = next;
        }
        lines.push_back(std::move(line));
    };
    for (int s = 0; s < static_cast<int>(segments.size()); ++s)
        for (int end = 0; end < 2 && !used[static_cast<std::size_t>(s)]; ++end)
            if (byEdge[segments[static_cast<std::size_t>(s)].ends[end].edge][1] < 0) walk(s, end);
    for (int s = 0; s < static_cast<int>(segments.size()); ++s)
        if (!used[static_cast<std::size_t>(s)]) walk(s, 0);
    return lines;
}

}  // namespace

bool Tin::Load(std::vector<TinPoint> points, double largestLeg) {
    points_ = std::move(points);
    triangles_.clear();
    if (points_.size() >= 3) triangles_ = DelaunayTriangles(points_);
    if (largestLeg > 0.0) {
        const double limit = largestLeg * largestLeg;
        std::erase_if(triangles_, [&](const TinTriangle& t) {
            const auto& p = points_;
            return SquaredLength(p[static_cast<std::size_t>(t[0])],
                                 p[static_cast<std::size_t>(t[1])]) > limit ||
                   SquaredLength(p[static_cast<std::size_t>(t[1])],
                                 p[static_cast<std::size_t>(t[2])]) > limit ||
                   SquaredLength(p[static_cast<std::size_t>(t[2])],
                                 p[static_cast<std::size_t>(t[0])]) > limit;
        });
    }
    removed_.assign(triangles_.size(), false);
    DropOuterSlivers();
    return !triangles_.empty();
}

// A triangle on the outside of the network whose corner off the outer edge lies within this
// share of the edge's length from it: the corner's angle is above about 175 degrees.
constexpr double kSliverHeight = 0.02;

// Along the outermost points (a track that bows inwards by a hair, the jitter of positions
// along the outer line) Delaunay's rule leaves flat triangles joining points far apart; a level
// crossing one would be placed between those distant points, off its isoline. They carry no
// width of data, so they are peeled off from the outside in.
void Tin::DropOuterSlivers() {
    std::unordered_map<std::uint64_t, std::array<int, 2>> byEdge;
    byEdge.reserve(triangles_.size() * 2);
    for (int t = 0; t < static_cast<int>(triangles_.size()); ++t)
        for (std::size_t k = 0; k < 3; ++k) {
            const TinTriangle& tri = triangles_[static_cast<std::size_t>(t)];
            auto [it, added] =
                byEdge.try_emplace(EdgeKey(tri[k], tri[(k + 1) % 3]), std::array<int, 2>{t, -1});
            if (!added) it->second[1] = t;
        }
    std::vector<bool> gone(triangles_.size(), false);
    const auto across = [&](int t, int a, int b) {
        const std::array<int, 2>& owners = byEdge[EdgeKey(a, b)];
        const int other = owners[0] == t ? owners[1] : owners[0];
        return other >= 0 && !gone[static_cast<std::size_t>(other)] ? other : -1;
    };
    std::vector<int> pending(triangles_.size());
    for (std::size_t t = 0; t < pending.size(); ++t)
        pending[t] = static_cast<int>(t);
    while (!pending.empty()) {
        const int t = pending.back();
        pending.pop_back();
        if (gone[static_cast<std::size_t>(t)]) continue;
        const TinTriangle& tri = triangles_[static_cast<std::size_t>(t)];
        for (std::size_t k = 0; k < 3; ++k) {
            const int a = tri[k], b = tri[(k + 1) % 3], c = tri[(k + 2) % 3];
            if (across(t, a, b) >= 0) continue;
            const TinPoint& pa = points_[static_cast<std::size_t>(a)];
            const TinPoint& pb = points_[static_cast<std::size_t>(b)];
            const TinPoint& pc = points_[static_cast<std::size_t>(c)];
            const double twiceArea =
                std::abs((pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x));
            if (twiceArea >= kSliverHeight * SquaredLength(pa, pb)) continue;
            gone[static_cast<std::size_t>(t)] = true;
            // Its neighbours are now on the outside.
            for (const auto& [p, q] : {std::pair{b, c}, std::pair{c, a}})
                if (const int next = across(t, p, q); next >= 0) pending.push_back(next);
            break;
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < triangles_.size(); ++i)
        if (!gone[i]) triangles_[kept++] = triangles_[i];
    triangles_.resize(kept);
    removed_.assign(kept, false);
}

bool Tin::LoadFile(const std::filesystem::path& file, double largestLeg, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error) *error = "Cannot read " + file.string();
        return false;
    }
    std::vector<TinPoint> points;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (Trim(line).empty()) continue;
        const std::optional<TinPoint> point = ParsePointLine(Trim(line));
        if (!point) {
            if (error)
                *error = file.string() + " line " + std::to_string(number) + ": not x,y,value";
            return false;
        }
        points.push_back(*point);
    }
    return Load(std::move(points), largestLeg);
}

void Tin::RemoveTriangle(std::size_t index) {
    if (index < removed_.size()) removed_[index] = true;
}

void Tin::FinishEdits() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < triangles_.size(); ++i)
        if (!removed_[i]) triangles_[kept++] = triangles_[i];
    triangles_.resize(kept);
    removed_.assign(kept, false);
    DropOuterSlivers();
}

std::vector<ContourLevel> Tin::Contours(double interval) const {
    if (!(interval > 0.0) || triangles_.empty()) return {};
    double lowest = Value(0, 0);
    double highest = lowest;
    for (std::size_t t = 0; t < triangles_.size(); ++t)
        for (int c = 0; c < 3; ++c) {
            lowest = std::min(lowest, Value(t, c));
            highest = std::max(highest, Value(t, c));
        }
    const double first = std::ceil(lowest / interval);
    const double last = std::floor(highest / interval);
    if (!(last >= first) || last - first + 1 > static_cast<double>(kMaxContourLevels)) return {};
    const auto count = static_cast<std::size_t>(last - first + 1);
    std::vector<std::vector<Segment>> segments(count);
    for (const TinTriangle& t : triangles_) {
        const TinPoint* p[3] = {&points_[static_cast<std::size_t>(t[0])],
                                &points_[static_cast<std::size_t>(t[1])],
                                &points_[static_cast<std::size_t>(t[2])]};
        const double lo = std::min({p[0]->value, p[1]->value, p[2]->value});
        const double hi = std::max({p[0]->value, p[1]->value, p[2]->value});
        const auto kFrom =
            static_cast<std::size_t>(std::max(0.0, std::ceil(lo / interval) - first));
        const auto kTo = static_cast<std::size_t>(std::floor(hi / interval) - first);
        for (std::size_t k = kFrom; k <= kTo && k < count; ++k) {
            const double level = (first + static_cast<double>(k)) * interval + 0.0;  // never -0
            Segment segment;
            int found = 0;
            for (int e = 0; e < 3 && found < 2; ++e) {
                // The edge in index order, so the triangle beyond it computes the same point.
                int a = t[static_cast<std::size_t>(e)],
                    b = t[static_cast<std::size_t>((e + 1) % 3)];
                if (a > b) std::swap(a, b);
                const TinPoint& pa = points_[static_cast<std::size_t>(a)];
                const TinPoint& pb = points_[static_cast<std::size_t>(b)];
                if ((pa.value >= level) == (pb.value >= level)) continue;
                const double f = (level - pa.value) / (pb.value - pa.value);
                segment.ends[found++] = {
                    EdgeKey(a, b), {pa.x + f * (pb.x - pa.x), pa.y + f * (pb.y - pa.y), level}};
            }
            if (found == 2) segments[k].push_back(segment);
        }
    }
    std::vector<ContourLevel> levels;
    for (std::size_t k = 0; k < count; ++k) {
        if (segments[k].empty()) continue;
        levels.push_back(
            {(first + static_cast<double>(k)) * interval + 0.0, JoinSegments(segments[k])});
    }
    return levels;
}

ColourRef ContourLevelColour(std::span<const ContourColour> colours, double level) {
    if (colours.empty()) return 0;
    ColourRef colour = colours.front().colour;
    for (const ContourColour& entry : colours)
        if (entry.value <= level) colour = entry.colour;
    return colour;
}

bool Tin::DrawContours(DxfWriter& writer, double interval,
                       std::span<const ContourColour> colours) const {
    const std::vector<ContourLevel> levels = Contours(interval);
    for (const ContourLevel& level : levels) {
        writer.SetLayer("Contour_" + FormatFixed(level.value, 2));
        writer.SetColour(ContourLevelColour(colours, level.value));
        for (const ContourLevel::Line& line : level.lines)
            writer.AddPolyline(line.points, line.closed);
    }
    return !levels.empty();
}

Tin::Box Tin::Bounds() const {
    Box box;
    bool first = true;
    for (const TinTriangle& t : triangles_)
        for (int index : t) {
            const TinPoint& p = points_[static_cast<std::size_t>(index)];
            if (first) box = {p.x, p.y, p.x, p.y};
            first = false;
            box.minX = std::min(box.minX, p.x);
            box.minY = std::min(box.minY, p.y);
            box.maxX = std::max(box.maxX, p.x);
            box.maxY = std::max(box.maxY, p.y);
        }
    return box;
}

void DrawContourLegend(DxfWriter& writer, std::span<const ContourColour> colours,
                       std::string_view unitName, const Tin::Box& beside) {
    if (colours.empty()) return;
    const double width = beside.maxX - beside.minX;
    double height = beside.maxY - beside.minY;
    if (!(height > 0.0)) height = width > 0.0 ? width : 1.0;
    const double box = height / static_cast<double>(colours.size());
    const double left = beside.maxX + (width > 0.0 ? 0.05 * width : box);
    writer.SetLayer("Legend");
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const double bottom = beside.minY + box * static_cast<double>(i);
        writer.SetColour(colours[i].colour);
        const DxfPoint corners[4] = {{left, bottom, 0.0},
                                     {left + box, bottom, 0.0},
                                     {left + box, bottom + box, 0.0},
                                     {left, bottom + box, 0.0}};
        writer.AddFilledPolygon(corners);
        writer.AddText({left + box, bottom + 0.25 * box, 0.0}, 0.5 * box, 0.0,
                       " " + FormatFixed(colours[i].value, 2) + " " + std::string(unitName));
    }
}

}  // namespace fluvex
