// The survey window's picture of the generated survey (bench/GeneratedSurvey.h: 50 lines of 2000
// ensembles of 30 cells), arrows every 10 m, onto a 1600 x 1000 image: the first slice (what
// the window shows before it goes back to the event loop, about 100 ms) and the whole picture.
// Target: the whole picture under 200 ms.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <chrono>

#include "GeneratedSurvey.h"
#include "OffscreenApplication.h"
#include "export/PlanDrawing.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "services/CurrentColourTable.h"
#include "settings/Settings.h"
#include "views/ScreenTarget.h"

namespace {

using namespace fluvex;
using Clock = std::chrono::steady_clock;

// One picture as the window draws it: border, planned lines, then vector slices of `budget`.
// Returns the seconds of the first slice.
double Paint(QImage& image, std::chrono::milliseconds budget, int& slices) {
    Database& database = AppDatabase();
    image.fill(Qt::white);
    QPainter painter(&image);
    ScreenTarget screen;
    screen.AttachPainter(&painter);
    screen.View().SetViewport({0, 0, image.width(), image.height()});
    const WorldRect bounds = ZoomExtentsBounds(database);
    screen.View().ZoomTo(bounds);
    screen.View().ZoomOut();
    PlanOptions options;
    options.arrowInterval = 10.0;
    const PlanDrawing plan(database, options, CurrentQuantityOptions(), CurrentVelocityTable());
    const auto start = Clock::now();
    screen.BeginPicture();
    plan.DrawBorder(screen);
    plan.DrawPlannedLines(screen, 0);
    int next = plan.DrawVectors(screen, 0, budget);
    const double first = std::chrono::duration<double>(Clock::now() - start).count();
    slices = 1;
    while (next < database.LineCount()) {
        next = plan.DrawVectors(screen, next, budget);
        ++slices;
    }
    return first;
}

void BM_SurveyPicture(benchmark::State& state) {
    bench::Application();
    bench::OpenSurveyLog();
    for (int line = 0; line < AppDatabase().LineCount(); ++line)
        AppDatabase().Ensembles(line);
    QImage image(1600, 1000, QImage::Format_RGB32);
    double first = 0;
    int slices = 0;
    for (auto _ : state)
        first = Paint(image, std::chrono::milliseconds(100), slices);
    state.counters["first_slice_ms"] = first * 1000;
    state.counters["slices"] = slices;
}
BENCHMARK(BM_SurveyPicture)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
