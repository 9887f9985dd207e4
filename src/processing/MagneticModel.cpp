#include "processing/MagneticModel.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "model/TextUtil.h"
#include "services/AtomicFile.h"
#include "services/DebugOutput.h"
#include "services/HostService.h"

namespace fluvex {

namespace embedded {
// The coefficient file shipped with the program, compiled in from resources/WMM2025.COF.
std::string_view Wmm2025Coefficients();
}  // namespace embedded

namespace {

constexpr int kDegree = MagneticModel::kMaxDegree;
using Series = std::array<double, MagneticModel::kCoefficientCount>;
using PerDegree = std::array<double, kDegree + 1>;

// ---- Coefficient file ----

constexpr double kEarliestEpoch = 1900.0;
constexpr double kLatestEpoch = 2200.0;
// nT; the largest real coefficient, the dipole term, is about 30000 nT. The bound keeps hostile
// files from pushing the synthesis to infinities.
constexpr double kMaxCoefficient = 1e5;
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;  // real files are about 5 KB

struct Header {
    double epoch = 0.0;
    std::string name;
};

struct CoefficientLine {
    int n = 0;
    int m = 0;
    std::array<double, 4> values{};  // g, h, gDot, hDot
};

constexpr std::size_t Slot(int n, int m) {
    return static_cast<std::size_t>(n * (n + 1) / 2 + m);
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(Trim(text.substr(0, end)));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> Words(std::string_view line) {
    constexpr std::string_view blanks = " \t";
    std::vector<std::string_view> words;
    for (auto start = line.find_first_not_of(blanks); start != std::string_view::npos;
         start = line.find_first_not_of(blanks, start)) {
        const auto end = line.find_first_of(blanks, start);
        words.push_back(line.substr(start, end - start));
        start = end;
    }
    return words;
}

// A field as errors quote it; long junk is cut so that the message stays readable.
std::string Quoted(std::string_view word) {
    constexpr std::size_t kLongest = 24;
    return "\"" + std::string(word.substr(0, kLongest)) + (word.size() > kLongest ? "...\"" : "\"");
}

bool IsEndMarker(std::string_view line) {
    return !line.empty() && line.find_first_not_of('9') == std::string_view::npos;
}

std::optional<Header> ParseHeader(std::string_view line, std::string& why) {
    const auto words = Words(line);
    if (words.size() < 2 || words.size() > 3) {
        why = "the header is not \"epoch model-name [release-date]\"";
        return std::nullopt;
    }
    const auto epoch = ParseDouble(words[0]);
    if (!epoch || *epoch < kEarliestEpoch || *epoch > kLatestEpoch) {
        why = "the epoch " + Quoted(words[0]) + " is not a year from 1900 to 2200";
        return std::nullopt;
    }
    return Header{*epoch, std::string(words[1])};
}

std::optional<CoefficientLine> ParseCoefficientLine(std::string_view text, std::string& why) {
    const auto words = Words(text);
    if (words.size() != 6) {
        why = "expected the 6 fields \"n m g h gDot hDot\", found " + std::to_string(words.size());
        return std::nullopt;
    }
    const auto n = ParseInt(words[0]);
    const auto m = ParseInt(words[1]);
    if (!n || !m || *n < 1 || *n > kDegree || *m < 0 || *m > *n) {
        why = "degree " + Quoted(words[0]) + " and order " + Quoted(words[1]) +
              " are not 1 <= n <= 12 and 0 <= m <= n";
        return std::nullopt;
    }
    CoefficientLine line{*n, *m, {}};
    for (std::size_t i = 0; i < line.values.size(); ++i) {
        const auto value = ParseDouble(words[i + 2]);
        if (!value || std::abs(*value) > kMaxCoefficient) {
            why = Quoted(words[i + 2]) + " is not a coefficient (a number of at most 100000 nT)";
            return std::nullopt;
        }
        line.values[i] = *value;
    }
    return line;
}

std::string AtLine(std::string_view source, std::size_t lineIndex, std::string_view what) {
    return std::string(source) + " line " + std::to_string(lineIndex + 1) + ": " +
           std::string(what);
}

// The first degree and order no line gave, if any.
std::optional<std::pair<int, int>> FirstMissing(
    const std::array<bool, MagneticModel::kCoefficientCount>& given) {
    for (int n = 1; n <= kDegree; ++n)
        for (int m = 0; m <= n; ++m)
            if (!given[Slot(n, m)]) return std::pair{n, m};
    return std::nullopt;
}

MagneticModelLoad ReadCoefficientFile(const std::filesystem::path& path) {
    const std::string name = path.string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return {nullptr, "cannot read magnetic model file " + name + ": " + ec.message()};
    if (size > kMaxFileBytes)
        return {nullptr, name + ": " + std::to_string(size) + " bytes is too large for a " +
                             "magnetic model coefficient file"};
    std::string text;
    if (!ReadWholeFile(path, text)) return {nullptr, "cannot read magnetic model file " + name};
    return MagneticModel::Parse(text, name);
}

// ---- Spherical harmonic synthesis ----

// WGS84, in km, and the magnetic reference sphere of the model.
constexpr double kSemiMajorAxis = 6378.137;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kEccentricitySquared = kFlattening * (2.0 - kFlattening);
constexpr double kReferenceRadius = 6371.2;
// Below this cosine of the geocentric latitude the point is taken as a pole.
constexpr double kPoleCosine = 1e-10;

constexpr double Radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

constexpr double Degrees(double radians) {
    return radians * 180.0 / std::numbers::pi;
}

struct SphericalPoint {
    double latitude = 0.0;  // geocentric, radians
    double longitude = 0.0;
    double radius = 0.0;  // km
};

SphericalPoint GeodeticToSpherical(double latitude, double longitude, double heightKm) {
    const double sinLat = std::sin(Radians(latitude));
    const double cosLat = std::cos(Radians(latitude));
    const double primeVertical =
        kSemiMajorAxis / std::sqrt(1.0 - kEccentricitySquared * sinLat * sinLat);
    const double p = (primeVertical + heightKm) * cosLat;
    const double z = (primeVertical * (1.0 - kEccentricitySquared) + heightKm) * sinLat;
    const double r = std::hypot(p, z);
    return {std::asin(z / r), Radians(longitude), r};
}

// Factors that turn the unnormalised associated Legendre functions into Schmidt
// semi-normalised ones.
const Series& SchmidtFactors() {
    static const Series factors = [] {
        Series s{};
        s[0] = 1.0;
        for (int n = 1; n <= kDegree; ++n) {
            s[Slot(n, 0)] = s[Slot(n - 1, 0)] * (2.0 * n - 1.0) / n;
            for (int m = 1; m <= n; ++m) {
                const double twiceForFirstOrder = m == 1 ? 2.0 : 1.0;
                s[Slot(n, m)] =
                    s[Slot(n, m - 1)] * std::sqrt((n - m + 1) * twiceForFirstOrder / (n + m));
            }
        }
        return s;
    }();
    return factors;
}

// Schmidt semi-normalised P(n, m) of sin(geocentric latitude) and their derivatives with
// respect to latitude, by the recursion of NOAA's software for low degrees.
struct Legendre {
    Series p{};
    Series dp{};
};

Legendre SchmidtLegendre(double x) {
    Legendre f;
    f.p[0] = 1.0;
    const double z = std::sqrt((1.0 - x) * (1.0 + x));
    for (int n = 1; n <= kDegree; ++n) {
        for (int m = 0; m <= n; ++m) {
            const std::size_t i = Slot(n, m);
            if (m == n) {
                const std::size_t a = Slot(n - 1, m - 1);
                f.p[i] = z * f.p[a];
                f.dp[i] = z * f.dp[a] + x * f.p[a];
            } else if (m == n - 1) {
                const std::size_t a = Slot(n - 1, m);
                f.p[i] = x * f.p[a];
                f.dp[i] = x * f.dp[a] - z * f.p[a];
            } else {
                const std::size_t a = Slot(n - 1, m);
                const std::size_t b = Slot(n - 2, m);
                const double k = ((n - 1.0) * (n - 1.0) - m * m) / ((2.0 * n - 1) * (2.0 * n - 3));
                f.p[i] = x * f.p[a] - k * f.p[b];
                f.dp[i] = x * f.dp[a] - z * f.p[a] - k * f.dp[b];
            }
        }
    }
    // The recursion gives the derivative with respect to colatitude; the sum wants latitude.
    const Series& s = SchmidtFactors();
    for (std::size_t i = 0; i < f.p.size(); ++i) {
        f.p[i] *= s[i];
        f.dp[i] = -f.dp[i] * s[i];
    }
    return f;
}

// The field in the geocentric frame: north, east and down components (nT).
struct FieldVector {
    double north = 0.0;
    double east = 0.0;
    double down = 0.0;
};

// (reference radius / r)^(n + 2) for each degree n.
PerDegree RadiusPowers(double radius) {
    PerDegree powers{};
    const double ratio = kReferenceRadius / radius;
    powers[0] = ratio * ratio;
    for (int n = 1; n <= kDegree; ++n)
        powers[static_cast<std::size_t>(n)] = powers[static_cast<std::size_t>(n) - 1] * ratio;
    return powers;
}

// At a pole the east component's 1/cos(latitude) is 0/0; its limit only needs the order-1
// terms, with their own recursion in sin(latitude).
double PolarEast(const Series& g, const Series& h, const PerDegree& radiusPowers,
                 const SphericalPoint& point) {
    const double sinPhi = std::sin(point.latitude);
    const double sinLambda = std::sin(point.longitude);
    const double cosLambda = std::cos(point.longitude);
    PerDegree p{};
    p[0] = 1.0;
    double schmidt = 1.0;
    double east = 0.0;
    for (int n = 1; n <= kDegree; ++n) {
        const auto un = static_cast<std::size_t>(n);
        schmidt *= (2.0 * n - 1.0) / n;
        const double firstOrderSchmidt = schmidt * std::sqrt(2.0 * n / (n + 1.0));
        if (n == 1) {
            p[un] = p[0];
        } else {
            const double k = ((n - 1.0) * (n - 1.0) - 1.0) / ((2.0 * n - 1) * (2.0 * n - 3));
            p[un] = sinPhi * p[un - 1] - k * p[un - 2];
        }
        const std::size_t i = Slot(n, 1);
        east +=
            radiusPowers[un] * (g[i] * sinLambda - h[i] * cosLambda) * p[un] * firstOrderSchmidt;
    }
    return east;
}

FieldVector Synthesise(const Series& g, const Series& h, const SphericalPoint& point) {
    const PerDegree radiusPowers = RadiusPowers(point.radius);
    const Legendre legendre = SchmidtLegendre(std::sin(point.latitude));
    FieldVector field;
    for (int n = 1; n <= kDegree; ++n) {
        const double power = radiusPowers[static_cast<std::size_t>(n)];
        for (int m = 0; m <= n; ++m) {
            const std::size_t i = Slot(n, m);
            const double cosM = std::cos(m * point.longitude);
            const double sinM = std::sin(m * point.longitude);
            const double inPhase = g[i] * cosM + h[i] * sinM;
            const double quadrature = g[i] * sinM - h[i] * cosM;
            field.down -= power * inPhase * (n + 1) * legendre.p[i];
            field.east += power * quadrature * m * legendre.p[i];
            field.north -= power * inPhase * legendre.dp[i];
        }
    }
    const double cosPhi = std::cos(point.latitude);
    if (std::abs(cosPhi) > kPoleCosine)
        field.east /= cosPhi;
    else
        field.east = PolarEast(g, h, radiusPowers, point);
    return field;
}

// ---- Time ----

constexpr std::int64_t MillisecondsAt(std::chrono::sys_days day) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(day.time_since_epoch()).count();
}

constexpr std::int64_t kFirstTimeMs =
    MillisecondsAt(std::chrono::year{1} / std::chrono::January / 1);
constexpr std::int64_t kLastTimeMs =
    MillisecondsAt(std::chrono::year{10000} / std::chrono::January / 1) - 1;

}  // namespace

MagneticModelLoad MagneticModel::Parse(std::string_view text, std::string_view source) {
    const auto lines = Lines(text);
    auto fail = [&](std::size_t lineIndex, std::string_view why) {
        return MagneticModelLoad{nullptr, AtLine(source, lineIndex, why)};
    };
    if (lines.empty() || lines[0].empty()) return fail(0, "no header (epoch and model name)");
    std::string why;
    const auto header = ParseHeader(lines[0], why);
    if (!header) return fail(0, why);

    auto model = std::make_unique<MagneticModel>();
    model->epoch_ = header->epoch;
    model->name_ = header->name;
    std::array<bool, kCoefficientCount> given{};
    std::size_t index = 1;
    for (; index < lines.size() && !IsEndMarker(lines[index]); ++index) {
        if (lines[index].empty()) continue;
        const auto line = ParseCoefficientLine(lines[index], why);
        if (!line) return fail(index, why);
        const std::size_t slot = Slot(line->n, line->m);
        if (given[slot])
            return fail(index, "degree " + std::to_string(line->n) + " order " +
                                   std::to_string(line->m) + " is given twice");
        given[slot] = true;
        const auto& [g, h, gDot, hDot] = line->values;
        model->coefficients_[slot] = {g, h, gDot, hDot};
    }
    if (const auto missing = FirstMissing(given))
        return fail(std::min(index, lines.size() - 1),
                    "the coefficients end without degree " + std::to_string(missing->first) +
                        " order " + std::to_string(missing->second));
    return {std::move(model), {}};
}

bool MagneticModel::Covers(double decimalYear) const {
    return decimalYear >= epoch_ && decimalYear < epoch_ + kValidYears;
}

double MagneticModel::DeclinationAt(double decimalYear, double latitude, double longitude,
                                    double heightKm) const {
    const bool usable = std::isfinite(decimalYear) && std::isfinite(latitude) &&
                        std::isfinite(longitude) && std::isfinite(heightKm) &&
                        std::abs(latitude) <= 90.0;
    if (!usable) return std::numeric_limits<double>::quiet_NaN();

    const double years = decimalYear - epoch_;
    Series g{};
    Series h{};
    for (std::size_t i = 0; i < coefficients_.size(); ++i) {
        g[i] = coefficients_[i].g + years * coefficients_[i].gDot;
        h[i] = coefficients_[i].h + years * coefficients_[i].hDot;
    }
    const SphericalPoint point = GeodeticToSpherical(latitude, longitude, heightKm);
    const FieldVector field = Synthesise(g, h, point);
    // Rotate north from the geocentric to the geodetic frame; east is the same in both.
    const double tilt = point.latitude - Radians(latitude);
    const double north = field.north * std::cos(tilt) - field.down * std::sin(tilt);
    return Degrees(std::atan2(field.east, north));
}

MagneticModelLoad LoadMagneticModel(const std::filesystem::path& path) {
    MagneticModelLoad load = ReadCoefficientFile(path);
    if (!load.model) DebugOutput(load.error);
    return load;
}

double DeclinationAtDecimalYear(const MagneticModel& model, double decimalYear, double latitude,
                                double longitude, double heightKm) {
    return model.DeclinationAt(decimalYear, latitude, longitude, heightKm);
}

double CalendarDecimalYear(std::int64_t timeMs) {
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds{std::clamp(timeMs, kFirstTimeMs, kLastTimeMs)}};
    const year calendarYear = year_month_day{floor<days>(time)}.year();
    const sys_days start{calendarYear / January / 1};
    const sys_days next{(calendarYear + years{1}) / January / 1};
    const auto sinceStart = static_cast<double>((time - start).count());
    const auto yearLength = static_cast<double>(milliseconds{next - start}.count());
    return static_cast<int>(calendarYear) + sinceStart / yearLength;
}

double Declination(const MagneticModel* model, std::int64_t timeMs, double latitude,
                   double longitude, double heightKm) {
    if (!model) return 0.0;
    return model->DeclinationAt(CalendarDecimalYear(timeMs), latitude, longitude, heightKm);
}

DeclinationCalculation CalculateDeclination(const MagneticModel* model, int loadedLineCount,
                                            const EnsembleWalk& walk,
                                            const GridToGeographic& toGeographic) {
    if (loadedLineCount <= 0) return {0.0, DeclinationMessage::NoLineLoaded};
    if (!model) return {0.0, DeclinationMessage::ModelNotAvailable};

    DeclinationCalculation result{0.0, DeclinationMessage::NoPositionFound};
    auto tryEnsemble = [&](const EnsemblePosition& ensemble) {
        if (!ensemble.positionValid) return true;
        const GeographicPoint place = toGeographic(ensemble.x, ensemble.y);
        if (!place.ok) return true;
        const double year = CalendarDecimalYear(ensemble.timeMs);
        const double degrees = model->DeclinationAt(year, place.latitude, place.longitude, 0.0);
        if (!std::isfinite(degrees)) return true;
        if (!model->Covers(year))
            DebugOutput("magnetic model " + model->Name() + " covers " +
                        FormatFixed(model->Epoch(), 1) + " to " +
                        FormatFixed(model->Epoch() + MagneticModel::kValidYears, 1) +
                        "; the declination for " + FormatFixed(year, 3) + " is extrapolated");
        result = {degrees, DeclinationMessage::None};
        return false;
    };
    if (walk && toGeographic) walk(tryEnsemble);
    return result;
}

std::string FormatDeclination(double degrees) {
    constexpr int kSignificantDigits = 5;
    constexpr int kShownDecimals = 3;
    if (!std::isfinite(degrees)) return FormatShortest(degrees);
    const double magnitude = std::abs(degrees);
    const int integerDigits =
        magnitude >= 1.0 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
    const int decimals = std::clamp(kSignificantDigits - integerDigits, 0, kShownDecimals);
    std::string text = FormatFixed(degrees, decimals);
    // A value that rounds to zero is shown without a sign.
    if (text.starts_with('-') && text.find_first_of("123456789") == std::string::npos)
        text.erase(0, 1);
    if (decimals == 0) text += '.';
    text.append(static_cast<std::size_t>(kShownDecimals - decimals), '0');
    return text;
}

std::filesystem::path EnsureMagneticModelFile(std::string* error) {
    const auto path = Host().Folder(FolderKind::SettingsFolder) / kMagneticModelFileName;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return path;
    if (!WriteFileAtomically(path, embedded::Wmm2025Coefficients(), error)) return {};
    return path;
}

}  // namespace fluvex
