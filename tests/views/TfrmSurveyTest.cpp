// The survey window: the picture of a generated survey checked pixel by pixel, the wheel, zoom
// extents, and the clip border drawn with the mouse changing the discharge of the line it cuts.

#include <QAbstractButton>
#include <QLineEdit>
#include <QWheelEvent>
#include <QtTest>

#include <memory>
#include <set>

#include "ViewTestFolders.h"
#include "model/EnsembleQuantities.h"
#include "project/LineLoading.h"
#include "services/ColourTable.h"
#include "services/UserPrompt.h"
#include "views/TfrmSurvey.h"
#include "views/ViewColour.h"

using namespace fluvex;

namespace {

const QColor kRed(255, 0, 0);
const QColor kTeal(0, 128, 128);

}  // namespace

class TfrmSurveyTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<TfrmSurvey> window_;

    void OpenSurvey() {
        Units().SetDistanceUnit(0);
        RecordingPrompt prompt;
        QVERIFY(folders_->OpenSuiteSurvey(prompt));
        QVERIFY(LoadColourTable(folders_->Root() / "data" / "ADCP.hcf"));
        RescaleVelocityTable(0.0, 1.0);
        AppSettings().CurrentLine = 1;
        AppSettings().ArrowInterval = 10.0;
    }
    void Show() {
        window_->resize(900, 600);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->DrawNow();
    }
    QWidget* Box() const { return window_->PaintBox(); }
    void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(Box(), button, Qt::NoModifier, at);
    }
    void Move(QPoint to) {
        QMouseEvent move(QEvent::MouseMove, to, Box()->mapToGlobal(to), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(Box(), &move);
    }
    // The colours the colour table gives the cells' speeds.
    static std::set<QRgb> SpeedColours() {
        std::set<QRgb> colours;
        for (int line = 0; line < AppDatabase().LineCount(); ++line)
            for (const Ensemble& ping : AppDatabase().Ensembles(line))
                for (int cell = 0; cell < static_cast<int>(ping.cells.size()); ++cell) {
                    const std::int16_t speed = VelocityComponent(ping, cell, kMagnitude2D);
                    if (speed != kBadVelocity)
                        colours.insert(ToQColor(VelocityColour(speed, kMagnitude2D)).rgb());
                }
        return colours;
    }

private slots:
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        window_ = std::make_unique<TfrmSurvey>();
    }
    void cleanup() {
        window_.reset();
        folders_.reset();
    }

    // The current line red, the other lines teal, and every other mark in a colour the table
    // gives a cell's speed.
    void drawsPlannedLinesAndArrowsInTheirColours() {
        OpenSurvey();
        Show();
        const QImage picture = window_->Picture().convertToFormat(QImage::Format_RGB32);
        const std::set<QRgb> speeds = SpeedColours();
        int red = 0, teal = 0, arrows = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb pixel = picture.pixel(x, y);
                if (pixel == QColor(Qt::white).rgb()) continue;
                if (pixel == kRed.rgb()) ++red;
                if (pixel == kTeal.rgb()) ++teal;
                if (speeds.contains(pixel))
                    ++arrows;
                else if (pixel != kRed.rgb() && pixel != kTeal.rgb())
                    QFAIL(qPrintable(QString("pixel %1,%2 is %3").arg(x).arg(y).arg(pixel, 0, 16)));
            }
        QVERIFY(red > 100);
        QVERIFY(teal > 0);
        QVERIFY(arrows > 100);
    }

    void wheelZoomsByWholeNotches() {
        OpenSurvey();
        Show();
        for (const auto& [delta, factor] :
             {std::pair{119, 1.0}, {240, 1 / (1.1 * 1.1)}, {-120, 1.1}}) {  // 119: no step
            const double before = window_->View().GetView().Width();
            const QPointF centre(Box()->width() / 2.0, Box()->height() / 2.0);
            QWheelEvent wheel(centre, Box()->mapToGlobal(centre), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(Box(), &wheel);
            QVERIFY2(qAbs(window_->View().GetView().Width() - before * factor) < 1e-9 * before,
                     qPrintable(QString::number(delta)));
        }
    }

    // Without a positioned ping the target is handed the starting bounds unchanged; with a border
    // the extents are the border's, as every ping counted lies inside it.
    void zoomExtentsWithAndWithoutBorder() {
        Show();
        window_->ZoomExtents();
        const WorldRect empty = window_->View().Extents();
        QCOMPARE(empty.minX, 2e30);
        QCOMPARE(empty.maxY, -2e30);

        OpenSurvey();
        const WorldRect all = ZoomExtentsBounds(AppDatabase());
        const double midX = (all.minX + all.maxX) / 2;
        AppDatabase().SetBorderQuad(
            {BorderPoint{midX - 5, all.minY - 50}, BorderPoint{midX + 5, all.minY - 50},
             BorderPoint{midX + 5, all.maxY + 50}, BorderPoint{midX - 5, all.maxY + 50}});
        window_->ZoomExtents();
        const WorldRect clipped = window_->View().Extents();
        QCOMPARE(clipped.minX, midX - 5);
        QCOMPARE(clipped.maxX, midX + 5);
        QCOMPARE(clipped.minY, all.minY - 50);
    }

    // Three clicks draw a border across the lines: the clipped discharge of line 0 drops; the
    // second click before the pointer moved and a right click are no corners. "Clear Clipping
    // Border" brings the whole line back.
    void clipBorderDrawnWithTheMouseLimitsTheDischarge() {
        OpenSurvey();
        Show();
        const double whole = AppDatabase().ComputeLineDischargeClipped(0).total;
        QSignalSpy changed(window_.get(), &TfrmSurvey::BorderChanged);
        window_->findChild<QAbstractButton*>("btnDrawClip")->click();
        const int w = Box()->width();
        const int h = Box()->height();
        const QPoint a(w / 2 - 30, 10);
        const QPoint b(w / 2 - 30, h - 10);
        Click(a);
        QCOMPARE(window_->ClipStage(), 1);
        Click(a);  // the rubber line has not left A
        QCOMPARE(window_->ClipStage(), 1);
        Click(b, Qt::RightButton);
        QCOMPARE(window_->ClipStage(), 0);
        Click(a);
        Move(b);
        Click(b);
        QCOMPARE(window_->ClipStage(), 2);
        Move(QPoint(w / 2 + 30, h / 2));
        Click(QPoint(w / 2 + 30, h / 2));
        QCOMPARE(window_->ClipStage(), 0);
        QCOMPARE(AppDatabase().Border().size(), std::size_t{5});
        QCOMPARE(changed.count(), 1);
        const double clipped = AppDatabase().ComputeLineDischargeClipped(0).total;
        QVERIFY(clipped > 0 && clipped < 0.8 * whole);

        AppSettings().BorderFile = "border.txt";
        window_->findChild<QAbstractButton*>("btnClearClip")->click();
        QVERIFY(AppDatabase().Border().empty());
        QVERIFY(AppSettings().BorderFile.empty());
        QCOMPARE(changed.count(), 2);
    }

    // The side panel's edits store what can be read and refuse the rest with "Invalid Value".
    void editsStoreNumbersAndRefuseText() {
        RecordingPrompt prompt;
        window_->SetPrompt(&prompt);
        auto* interval = window_->findChild<QLineEdit*>("edtInterval");
        interval->setText("25");
        emit interval->editingFinished();
        QCOMPARE(AppSettings().ArrowInterval, 25.0);
        interval->setText("twenty");
        emit interval->editingFinished();
        QCOMPARE(AppSettings().ArrowInterval, 25.0);
        QCOMPARE(prompt.Messages().size(), std::size_t{1});
    }

    void clipCornersFollowThePointerAcrossTheFirstEdge() {
        const struct {
            QPoint a, b, pointer, c, d;
        } cases[] = {
            {{10, 50}, {90, 50}, {40, 80}, {90, 80}, {10, 80}},  // level edge
            {{50, 10}, {50, 90}, {80, 40}, {80, 90}, {80, 10}},  // upright edge
            {{0, 0}, {100, 10}, {60, 40}, {97, 40}, {-3, 30}},   // flat slope
        };
        for (const auto& c : cases)
            QCOMPARE(ClipCorners(c.a, c.b, c.pointer), (std::array<QPoint, 2>{c.c, c.d}));
    }
};

QTEST_MAIN(TfrmSurveyTest)
#include "TfrmSurveyTest.moc"
