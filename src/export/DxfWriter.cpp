#include "export/DxfWriter.h"

#include <dl_dxf.h>
#include <dl_writer_ascii.h>
#include <locale.h>

#include <algorithm>
#include <memory>
#include <numbers>
#include <system_error>

namespace fluvex {

namespace {

namespace fs = std::filesystem;

// True colour of the DXF (0x00RRGGBB) from ours (0x00BBGGRR).
int TrueColour(ColourRef colour) {
    return RedOf(colour) << 16 | GreenOf(colour) << 8 | BlueOf(colour);
}

// dxflib formats numbers with the C library, which follows the process locale; a drawing must
// have '.' whatever the user's locale, so the writing thread uses the C locale while it writes.
class CLocaleScope {
public:
    CLocaleScope() : c_(newlocale(LC_ALL_MASK, "C", nullptr)) {
        if (c_ != nullptr) previous_ = uselocale(c_);
    }
    ~CLocaleScope() {
        if (c_ == nullptr) return;
        uselocale(previous_);
        freelocale(c_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t c_;
    locale_t previous_ = nullptr;
};

// Appends the code point of the UTF-8 sequence at `text[i]`, or '?' for a broken one; returns
// the bytes used.
std::size_t AppendCharacter(std::string_view text, std::size_t i, std::string& out) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
        out += static_cast<char>(byte);
        return 1;
    }
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
    if (length == 0 || byte >= 0xF8 || i + length > text.size()) {
        out += '?';
        return 1;
    }
    unsigned codePoint = byte & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            out += '?';
            return 1;
        }
        codePoint = codePoint << 6 | (next & 0x3Fu);
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\U+";
    const int digits = codePoint > 0xFFFF ? 5 : 4;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHex[(codePoint >> shift) & 0xF];
    return length;
}

}  // namespace

std::string DxfText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        // Control characters would end the value's line in the file.
        if (static_cast<unsigned char>(utf8[i]) < 0x20) {
            out += ' ';
            ++i;
            continue;
        }
        i += AppendCharacter(utf8, i, out);
    }
    return out;
}

DxfWriter::DxfWriter(DxfUnits units) : units_(units), layers_{"0"} {}

void DxfWriter::SetLayer(std::string_view name) {
    const std::string wanted = name.empty() ? std::string("0") : DxfText(name);
    const auto found = std::find(layers_.begin(), layers_.end(), wanted);
    layer_ = static_cast<int>(found - layers_.begin());
    if (found == layers_.end()) layers_.push_back(wanted);
}

const std::string& DxfWriter::Layer() const {
    return layers_[static_cast<std::size_t>(layer_)];
}

void DxfWriter::SetColour(ColourRef colour) {
    colour_ = colour & 0xFFFFFF;
}

DxfWriter::Entity& DxfWriter::Add(Kind kind) {
    Entity& entity = entities_.emplace_back();
    entity.kind = kind;
    entity.layer = layer_;
    entity.colour = colour_;
    return entity;
}

void DxfWriter::AddPolyline(std::span<const DxfPoint> points, bool closed) {
    if (points.size() < 2) return;
    const bool flat = std::all_of(points.begin(), points.end(),
                                  [&](const DxfPoint& p) { return p.z == points.front().z; });
    Entity& entity = Add(flat ? Kind::FlatPolyline : Kind::Polyline3D);
    entity.closed = closed;
    entity.points.assign(points.begin(), points.end());
}

void DxfWriter::AddPolyline3D(std::span<const DxfPoint> points, bool closed) {
    if (points.size() < 2) return;
    Entity& entity = Add(Kind::Polyline3D);
    entity.closed = closed;
    entity.points.assign(points.begin(), points.end());
}

void DxfWriter::AddRectangle(double x1, double y1, double x2, double y2) {
    const DxfPoint corners[] = {{x1, y1, 0}, {x2, y1, 0}, {x2, y2, 0}, {x1, y2, 0}};
    Entity& entity = Add(Kind::FlatPolyline);
    entity.closed = true;
    entity.points.assign(std::begin(corners), std::end(corners));
}

void DxfWriter::AddMarker(double x, double y, double r) {
    AddRectangle(x - r, y - r, x + r, y + r);
}

void DxfWriter::AddFilledPolygon(std::span<const DxfPoint> points) {
    if (points.size() < 3) return;
    Add(Kind::FilledPolygon).points.assign(points.begin(), points.end());
}

void DxfWriter::AddText(const DxfPoint& at, double height, double angleDegrees,
                        std::string_view text) {
    Entity& entity = Add(Kind::Text);
    entity.points = {at};
    entity.height = height;
    entity.angle = angleDegrees;
    entity.text = DxfText(text);
}

// The sections of the file in the order R2000 wants them, over one dxflib writer.
class DxfWriter::Output {
public:
    Output(const DxfWriter& drawing, DL_WriterA& writer) : d_(drawing), w_(writer) {}

    void Write() {
        Header();
        Tables();
        Blocks();
        w_.sectionEntities();
        for (const Entity& entity : d_.entities_)
            WriteEntity(entity);
        w_.sectionEnd();
        dxf_.writeObjects(w_);
        dxf_.writeObjectsEnd(w_);
        w_.dxfEOF();
    }

private:
    void Header() {
        dxf_.writeHeader(w_);
        w_.dxfString(9, "$INSUNITS");
        w_.dxfInt(70, static_cast<int>(d_.units_));
        w_.dxfString(9, "$MEASUREMENT");
        w_.dxfInt(70, d_.units_ == DxfUnits::Metres ? 1 : 0);
        w_.sectionEnd();
    }

    void Tables() {
        w_.sectionTables();
        dxf_.writeVPort(w_);
        w_.tableLinetypes(3);
        dxf_.writeLinetype(w_, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
        dxf_.writeLinetype(w_, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
        dxf_.writeLinetype(w_, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
        w_.tableEnd();
        w_.tableLayers(static_cast<int>(d_.layers_.size()));
        for (const std::string& layer : d_.layers_)
            dxf_.writeLayer(w_, DL_LayerData(layer, 0),
                            DL_Attributes("", DL_Codes::black, 100, "CONTINUOUS", 1.0));
        w_.tableEnd();
        w_.tableStyle(1);
        dxf_.writeStyle(w_, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 1.0, "txt", ""));
        w_.tableEnd();
        dxf_.writeView(w_);
        dxf_.writeUcs(w_);
        w_.tableAppid(1);
        dxf_.writeAppid(w_, "ACAD");
        w_.tableEnd();
        dxf_.writeDimStyle(w_, 1, 1, 1, 1, 1);
        dxf_.writeBlockRecord(w_);
        w_.tableEnd();
        w_.sectionEnd();
    }

    void Blocks() {
        w_.sectionBlocks();
        dxf_.writeBlock(w_, DL_BlockData("*Model_Space", 0, 0.0, 0.0, 0.0));
        dxf_.writeEndBlock(w_, "*Model_Space");
        dxf_.writeBlock(w_, DL_BlockData("*Paper_Space", 0, 0.0, 0.0, 0.0));
        dxf_.writeEndBlock(w_, "*Paper_Space");
        dxf_.writeBlock(w_, DL_BlockData("*Paper_Space0", 0, 0.0, 0.0, 0.0));
        dxf_.writeEndBlock(w_, "*Paper_Space0");
        w_.sectionEnd();
    }

    DL_Attributes Attributes(const Entity& entity) const {
        const std::string& layer = d_.layers_[static_cast<std::size_t>(entity.layer)];
        if (entity.colour == 0) return DL_Attributes(layer, 256, -1, -1, "BYLAYER");
        // The ACI number is what readers without true colour show: white/black.
        return DL_Attributes(layer, 7, TrueColour(entity.colour), -1, "BYLAYER");
    }

    void WriteEntity(const Entity& entity) {
        switch (entity.kind) {
            case Kind::FlatPolyline:
                return FlatPolyline(entity);
            case Kind::Polyline3D:
                return Polyline3D(entity);
            case Kind::FilledPolygon:
                return FilledPolygon(entity);
            case Kind::Text:
                return Text(entity);
        }
    }

    // Written record by record: dxflib's LWPOLYLINE has no elevation, and the plan's arrows lie
    // at their cells' depths.
    void FlatPolyline(const Entity& entity) {
        w_.entity("LWPOLYLINE");
        w_.subClass("AcDbEntity");
        w_.entityAttributes(Attributes(entity));
        w_.subClass("AcDbPolyline");
        w_.dxfInt(90, static_cast<int>(entity.points.size()));
        w_.dxfInt(70, entity.closed ? 1 : 0);
        w_.dxfReal(38, entity.points.front().z);
        for (const DxfPoint& p : entity.points) {
            w_.dxfReal(10, p.x);
            w_.dxfReal(20, p.y);
        }
    }

    // dxflib writes no 3-D polyline in R2000.
    void Polyline3D(const Entity& entity) {
        const DL_Attributes attributes = Attributes(entity);
        w_.entity("POLYLINE");
        w_.subClass("AcDbEntity");
        w_.entityAttributes(attributes);
        w_.subClass("AcDb3dPolyline");
        w_.dxfInt(66, 1);
        w_.dxfReal(10, 0.0);
        w_.dxfReal(20, 0.0);
        w_.dxfReal(30, 0.0);
        w_.dxfInt(70, 8 | (entity.closed ? 1 : 0));
        for (const DxfPoint& p : entity.points) {
            w_.entity("VERTEX");
            w_.subClass("AcDbEntity");
            w_.entityAttributes(attributes);
            w_.subClass("AcDbVertex");
            w_.subClass("AcDb3dPolylineVertex");
            w_.dxfReal(10, p.x);
            w_.dxfReal(20, p.y);
            w_.dxfReal(30, p.z);
            w_.dxfInt(70, 32);
        }
        w_.entity("SEQEND");
        w_.subClass("AcDbEntity");
        w_.entityAttributes(attributes);
    }

    void FilledPolygon(const Entity& entity) {
        const DL_Attributes attributes = Attributes(entity);
        const std::vector<DxfPoint>& p = entity.points;
        dxf_.writeHatch1(w_, DL_HatchData(1, true, 1.0, 0.0, "SOLID"), attributes);
        dxf_.writeHatchLoop1(w_, DL_HatchLoopData(static_cast<int>(p.size())));
        for (std::size_t i = 0; i < p.size(); ++i) {
            const DxfPoint& next = p[(i + 1) % p.size()];
            dxf_.writeHatchEdge(w_, DL_HatchEdgeData(p[i].x, p[i].y, next.x, next.y));
        }
        dxf_.writeHatchLoop2(w_, DL_HatchLoopData(static_cast<int>(p.size())));
        dxf_.writeHatch2(w_, DL_HatchData(1, true, 1.0, 0.0, "SOLID"), attributes);
    }

    void Text(const Entity& entity) {
        const DxfPoint& at = entity.points.front();
        // dxflib takes the angle in radians and writes degrees.
        const double radians = entity.angle * std::numbers::pi / 180;
        dxf_.writeText(w_,
                       DL_TextData(at.x, at.y, at.z, at.x, at.y, at.z, entity.height, 1.0, 0, 0, 0,
                                   entity.text, "Standard", radians),
                       Attributes(entity));
    }

    const DxfWriter& d_;
    DL_WriterA& w_;
    DL_Dxf dxf_;
};

bool DxfWriter::SaveAs(const fs::path& file, std::string* error) const {
    const auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    // The drawing goes to a file beside the target first, so that a failure half-way never
    // leaves a damaged drawing under the chosen name.
    fs::path partial = file;
    partial += ".part";
    {
        const CLocaleScope cLocale;
        DL_WriterA writer(partial.c_str(), DL_Codes::AC1015);
        if (writer.openFailed()) return fail("cannot create " + partial.string());
        Output(*this, writer).Write();
        writer.close();
    }
    std::error_code code;
    if (fs::file_size(partial, code) == 0 || code) {
        fs::remove(partial, code);
        return fail("cannot write " + partial.string());
    }
    fs::rename(partial, file, code);
    if (code) {
        fs::remove(partial, code);
        return fail("cannot replace " + file.string() + ": " + code.message());
    }
    return true;
}

}  // namespace fluvex
