#pragma once

// A DXF drawing built in memory and written in one go (DXF R2000, through dxflib). Entities go to
// the current layer in the current colour; layers are made as they are first named, so the
// drawing's layer table holds exactly the layers used, in the order they were named. dxflib
// writes only 2-D polylines in R2000, so polylines whose points do not share one height are
// written here as 3-D POLYLINE/VERTEX records.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/ColourLookup.h"

namespace fluvex {

struct DxfPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The drawing-unit codes of the $INSUNITS header.
enum class DxfUnits : int { Feet = 2, Metres = 6 };

class DxfWriter {
public:
    explicit DxfWriter(DxfUnits units);

    // Following entities go to this layer; an empty name means "0".
    void SetLayer(std::string_view name);
    const std::string& Layer() const;
    // Colour of following entities; 0 means the layer's colour.
    void SetColour(ColourRef colour);

    // A polyline: flat (LWPOLYLINE at the points' height) when every point has the same z,
    // otherwise 3-D. `closed` joins the last point to the first. Fewer than 2 points are ignored.
    void AddPolyline(std::span<const DxfPoint> points, bool closed = false);
    // Always a 3-D polyline, whatever the heights.
    void AddPolyline3D(std::span<const DxfPoint> points, bool closed = false);
    // An axis-parallel rectangle from two corners, as a closed flat polyline at height 0.
    void AddRectangle(double x1, double y1, double x2, double y2);
    // A square of half size r centred on (x, y).
    void AddMarker(double x, double y, double r);
    // A closed polygon filled with the current colour (a solid hatch); fewer than 3 points are
    // ignored. Its outline is not drawn.
    void AddFilledPolygon(std::span<const DxfPoint> points);
    // Text whose baseline starts at `at`, `height` drawing units high, turned `angleDegrees`
    // anticlockwise from +x. UTF-8; characters beyond ASCII are written as \U+XXXX.
    void AddText(const DxfPoint& at, double height, double angleDegrees, std::string_view text);

    std::size_t EntityCount() const { return entities_.size(); }
    const std::vector<std::string>& Layers() const { return layers_; }

    // Writes the drawing, replacing `file` only when the whole drawing was written. False with
    // `error` set when it could not be.
    bool SaveAs(const std::filesystem::path& file, std::string* error = nullptr) const;

private:
    enum class Kind : std::uint8_t { FlatPolyline, Polyline3D, FilledPolygon, Text };
    struct Entity {
        Kind kind = Kind::FlatPolyline;
        bool closed = false;
        int layer = 0;
        ColourRef colour = 0;
        std::vector<DxfPoint> points;  // the text's position for Kind::Text
        double height = 0.0;
        double angle = 0.0;
        std::string text;
    };
    class Output;

    Entity& Add(Kind kind);

    DxfUnits units_;
    std::vector<std::string> layers_;
    int layer_ = 0;
    ColourRef colour_ = 0;
    std::vector<Entity> entities_;
};

// The DXF text of a UTF-8 string: ASCII as it is, every other character as \U+XXXX, broken
// UTF-8 bytes as '?'.
std::string DxfText(std::string_view utf8);

}  // namespace fluvex
