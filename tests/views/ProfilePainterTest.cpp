// The velocity section painted into an image and read back pixel by pixel: cell colours of a
// generated river with a known stream, cells without a value, the bed, the frame, the colour
// bar; then the page plan of a print and a real PDF of it.

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "ViewTestFolders.h"
#include "model/DirectionColourTable.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/LineLoading.h"
#include "services/ColourTable.h"
#include "services/CurrentColourTable.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "views/ProfilePainter.h"
#include "views/ProfilePicture.h"
#include "views/ProfilePrinter.h"
#include "views/ViewColour.h"

using namespace fluvex;

namespace {

constexpr int kStreamMms = 500;    // the generated water: 0.5 m/s due north, the same everywhere
constexpr double kBedDepth = 3.7;  // clear of the dotted depth lines at whole metres
constexpr QRgb kBedColour = 0xFF1E90C8;
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

bool Near(QRgb actual, QRgb expected, int tolerance = 3) {
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QByteArray Hex(QRgb colour) {
    return QByteArray::number(colour & 0xFFFFFF, 16);
}

// One "/Type /Page" per page object; "/Type /Pages" is the page tree.
int PdfPageCount(const QByteArray& pdf) {
    const QByteArray marker("/Type /Page");
    int count = 0;
    for (qsizetype at = pdf.indexOf(marker); at >= 0; at = pdf.indexOf(marker, at + 1))
        if (at + marker.size() >= pdf.size() || pdf[at + marker.size()] != 's') ++count;
    return count;
}

struct Painted {
    QImage image;
    ProfileLayout layout;
};

}  // namespace

class ProfilePainterTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;

    // Five crossings of a rectangular channel 3.7 m deep with the suite's edited files; depths in
    // metres, hand-set from 0 to 8 m so that the cells beyond the bed (no value) are drawn too.
    // False when the survey could not be loaded.
    bool OpenSurvey() const {
        if (!folders_->OpenSurvey(
                "[Survey]\nName = paint\nLines = 5\nStart = 2024-05-14T09:30:00.00\n"
                "[Section]\nProfile = rectangular\nWidth = 60\nDepth = 3.7\n"
                "[Water]\nProfile = uniform\nSpeed = 0.5\nDirection = 0\n"
                "[Track]\nEnsembles = 40\nStartStation = 5\nSpeed = 0.9\n"
                "[Instrument]\nCells = 30\n[Suite]\nLineFiles = kq2\n",
                ".log") ||
            AppDatabase().LineCount() != 5)
            return false;

        Units().SetDistanceUnit(0);
        Settings& settings = AppSettings();
        settings.CurrentLine = 0;
        settings.SetVelocity(kNorthVelocity);
        settings.SetBottomTrack(kEchoSounderHighDepth);  // the suite's sounder: the bed itself
        settings.UseTime = false;
        settings.AutoScaleDBL = true;
        settings.AutoScaleDepth = false;
        settings.MinDepth = 0;
        settings.MaxDepth = 8;
        settings.DepthColor[kEchoSounderHighDepth] =
            static_cast<int>(MakeColour(qRed(kBedColour), qGreen(kBedColour), qBlue(kBedColour)));
        settings.DepthLineWidth = 3;
        if (!LoadColourTable(folders_->Root() / "data" / "ADCP.hcf")) return false;
        RescaleVelocityTable(0, 1);
        return true;
    }

    // `sectionPixelSize` as on paper, with the colour bar.
    static Painted Paint(int sectionPixelSize) {
        Painted painted{QImage(1600, 1000, QImage::Format_RGB32), {}};
        painted.image.fill(Qt::gray);  // anything the paint leaves out shows
        QPainter painter(&painted.image);
        const TextMetrics text = MeasureText(painter.fontMetrics());
        painted.layout = ComputeProfileLayout(AppDatabase(), 0, {0, 0, 1599, 999}, false, text);
        PaintProfile(painter, AppDatabase(), 0, painted.layout, true, sectionPixelSize);
        return painted;
    }

    static QRgb ColourAt(const QImage& image, QPoint point) {
        return image.pixel(point) | 0xFF000000;
    }

    // The middle of the column that ends at ping `index`, at the middle of its cell `cell`.
    static QPoint CellCentre(const ProfileLayout& layout, int index, int cell) {
        const auto pings = AppDatabase().Ensembles(0);
        const Ensemble& ping = pings[static_cast<std::size_t>(index)];
        const Ensemble& previous = pings[static_cast<std::size_t>(index - 1)];
        const int x =
            (layout.MapX(previous.navigation.distance) + layout.MapX(ping.navigation.distance)) / 2;
        const int y = (layout.MapY(CellDepth(ping, cell, Units())) +
                       layout.MapY(CellDepth(ping, cell + 1, Units()))) /
                      2;
        return {x, y};
    }

private slots:
    void init() { folders_ = std::make_unique<test::ViewTestFolders>(); }
    void cleanup() { folders_.reset(); }

    // What the section holds is ProfileSectionTest's; here that it lands where it belongs, on
    // paper (3) too, where the cells are computed coarser and stretched, with the bed's pen.
    void sectionShowsCellsAndBed() {
        QVERIFY(OpenSurvey());
        const QRgb stream = ToQColor(VelocityColour(kStreamMms, kNorthVelocity)).rgb();
        QVERIFY(!Near(stream, kWhite, 40) && !Near(stream, kBlack, 40));
        for (const int sectionPixelSize : {1, 3}) {
            const Painted painted = Paint(sectionPixelSize);
            for (const int index : {1, 20, 39})
                for (const int cell : {0, 5, 10}) {
                    const QRgb colour =
                        ColourAt(painted.image, CellCentre(painted.layout, index, cell));
                    QVERIFY2(Near(colour, stream), Hex(colour) + " at ping " +
                                                       QByteArray::number(index) + " cell " +
                                                       QByteArray::number(cell));
                }

            // The bed pen is 3 pixels wide; a coarse section places its points a coarse pixel
            // off at most.
            const int slack = sectionPixelSize - 1;
            for (const Ensemble& ping : AppDatabase().Ensembles(0).subspan(1, 38)) {
                const QPoint vertex(painted.layout.MapX(ping.navigation.distance),
                                    painted.layout.MapY(kBedDepth));
                bool found = false;
                for (int dy = -slack; dy <= slack && !found; ++dy)
                    found = ColourAt(painted.image, vertex + QPoint(0, dy)) == kBedColour;
                QVERIFY2(found, Hex(ColourAt(painted.image, vertex)));
            }
        }
    }

    // The report's picture: the section laid out for its own size, as a JPEG that reads back.
    void reportPictureIsTheSectionAsJpeg() {
        QVERIFY(OpenSurvey());
        const std::vector<unsigned char> jpeg =
            ProfileJpegPictures(AppDatabase(), true).LineJpeg(0, 650, 400);
        QImage image;
        QVERIFY(image.loadFromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPEG"));
        QCOMPARE(image.size(), QSize(650, 400));
        QImage surface(650, 400, QImage::Format_RGB32);
        const QPainter painter(&surface);
        const ProfileLayout layout = ComputeProfileLayout(AppDatabase(), 0, {0, 0, 650, 400}, false,
                                                          MeasureText(painter.fontMetrics()));
        const QRgb cell = ColourAt(image, CellCentre(layout, 20, 5));
        QVERIFY2(Near(cell, ToQColor(VelocityColour(kStreamMms, kNorthVelocity)).rgb(), 24),
                 Hex(cell));
        QVERIFY(ProfileJpegPictures(AppDatabase(), true).LineJpeg(0, 0, 400).empty());
    }

    // The swatch of cells without a value is black; the gradient starts a text row and a digit
    // further on, inside its outline, with the minimum's colour, and ends with the maximum's
    // above the unit name (directions have none).
    void colourBarRunsFromTheMinimum() {
        QVERIFY(LoadColourTable(folders_->Root() / "data" / "ADCP.hcf"));
        RescaleVelocityTable(0, 1);
        for (const auto& [quantity, orientation] : {std::pair{int{kNorthVelocity}, Qt::Vertical},
                                                    {int{kNorthVelocity}, Qt::Horizontal},
                                                    {int{kDirection}, Qt::Vertical}}) {
            AppSettings().SetVelocity(quantity);
            QImage image(600, 600, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            const TextMetrics text = MeasureText(painter.fontMetrics());
            const int band = 20;
            const bool vertical = orientation == Qt::Vertical;
            const PixelRect rect =
                vertical ? PixelRect{10, 10, 100, 500} : PixelRect{10, 10, 500, 30};
            PaintColourBar(painter, rect, text, band, orientation);
            QCOMPARE(ColourAt(image, {rect.left + 2, rect.top + 2}), kBlack);
            const int length = vertical ? rect.Height() : rect.Width();
            const int first = text.textHeight + text.digitWidth + 1;
            const int last = length - (quantity == kDirection ? 0 : text.textHeight) - 1;
            DirectionColourTable directions;
            ColourLookup& table = quantity == kDirection ? directions : *CurrentVelocityTable();
            for (const auto& [along, value] : {std::pair{first, table.Properties().minimum},
                                               std::pair{last, table.Properties().maximum}}) {
                const QRgb colour =
                    ColourAt(image, vertical ? QPoint(rect.left + band / 2, rect.top + along)
                                             : QPoint(rect.left + along, rect.top + band / 2));
                QVERIFY2(Near(colour, ToQColor(table.Colour(value)).rgb(), 12), Hex(colour));
            }
        }
    }

    // The pages and the cells on them; where a cell lies is the margins' arithmetic.
    void planPutsTheLinesOnPages() {
        const struct {
            int pageWidth, pageHeight, rows, columns, lines, pages, cellsOnLastPage;
        } cases[] = {
            {1000, 1400, 2, 1, 5, 3, 1},
            {1400, 1000, 1, 2, 4, 2, 2},
        };
        for (const auto& c : cases) {
            const PrintPlan plan =
                PlanPrint(c.pageWidth, c.pageHeight, c.rows, c.columns, c.lines, 100);
            QCOMPARE(plan.pages, c.pages);
            QCOMPARE(plan.portrait, c.pageHeight > c.pageWidth);
            QCOMPARE(plan.cells.size(), static_cast<std::size_t>(c.lines));
            QCOMPARE(std::count_if(plan.cells.begin(), plan.cells.end(),
                                   [&](const auto& cell) { return cell.page == c.pages - 1; }),
                     c.cellsOnLastPage);
            QCOMPARE(plan.cells[1].line, 1);
            // The next page starts again at the top-left cell.
            QVERIFY(plan.cells[static_cast<std::size_t>(c.rows * c.columns)].rect ==
                    plan.cells[0].rect);
        }
    }

    void planWithoutRowsOrLinesHasNoPages() {
        QCOMPARE(PlanPrint(1000, 1400, 0, 1, 5, 100).pages, 0);
        QCOMPARE(PlanPrint(1000, 1400, 2, 1, 0, 100).cells.size(), std::size_t{0});
        // Counts a damaged settings file might hold do not overflow.
        QCOMPARE(PlanPrint(1000, 1400, 100000, 100000, 5, 100).pages, 1);
    }

    void printingFiveLinesTwoToAPageGivesThreePages() {
        QVERIFY(OpenSurvey());
        AppSettings().NRows = 2;
        AppSettings().NCols = 1;
        const QString path = QString::fromStdString((folders_->Root() / "profiles.pdf").string());
        {
            QPdfWriter writer(path);
            writer.setResolution(150);
            QVERIFY(PrintProfiles(writer, AppDatabase()));
        }
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(PdfPageCount(pdf.readAll()), 3);

        AppDatabase().Clear();
        QPdfWriter nothing(path);
        QVERIFY(!PrintProfiles(nothing, AppDatabase()));
    }
};

QTEST_MAIN(ProfilePainterTest)
#include "ProfilePainterTest.moc"
