// The main window on the generated machines, on Qt's offscreen platform: from creating the window to its
// first painted frame, a refresh of the list with the All Programs node, a click on a column title and a
// change of the rating filter. Each timed step ends when the list has painted what it now shows, since that
// is when the user sees the result.

#include "app/t_main_form.h"
#include "bench/bench_machine.h"
#include "tests/app/offscreen_screen.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHeaderView>
#include <QTest>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <map>
#include <memory>

namespace {

using qb::bench::Machine;
using qb::bench::MachineFor;

// Notes when a widget paints.
class PaintWatch : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
    bool painted = false;
};

// Runs the event loop until the watched widget has painted; false when it did not within 10 s.
bool WaitForPaint(PaintWatch& watch) {
    QElapsedTimer timer;
    timer.start();
    while (!watch.painted && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return watch.painted;
}

qb::PathMapping PathsOf(const qb::sandbox::SandboxSystem& system) {
    const qb::sandbox::PathMap& map = system.Paths();
    return {[&map](std::string_view w) -> std::optional<std::string> {
                auto h = map.ToHost(w);
                return h ? std::optional(h->string()) : std::nullopt;
            },
            [&map](std::string_view l) { return map.ToWindows(l); }};
}

// The generated machine's tool directory holds a database but not the pages the information pane shows; the
// shipped ones go there, so that the window shows its start page as it does for a user.
Machine& WindowMachine(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)));
    const auto tool = machine.System().Paths().ToHost(machine.System().Settings().toolDirectory);
    for (const char* name : {"mess.htm", "infotpl.dat"}) {
        std::error_code ec;
        std::filesystem::copy_file(std::filesystem::path(QB_SHIPPED_DATA_DIR) / name, *tool / name,
                                   std::filesystem::copy_options::skip_existing, ec);
    }
    return machine;
}

// A shown window with its list painted once, and a watch on the list's viewport.
class ShownWindow {
public:
    explicit ShownWindow(Machine& machine)
        : form(std::make_unique<qb::TMainForm>(machine.Services(), PathsOf(machine.System()))) {
        list = form->findChild<QTreeView*>(QStringLiteral("ListViewFix"));
        list->viewport()->installEventFilter(&watch);
        form->show();
        ok = WaitForPaint(watch);
    }
    ShownWindow(const ShownWindow&) = delete;
    ShownWindow& operator=(const ShownWindow&) = delete;
    ~ShownWindow() { list->viewport()->removeEventFilter(&watch); }

    PaintWatch watch;
    std::unique_ptr<qb::TMainForm> form;
    QTreeView* list = nullptr;
    bool ok = false;
};

void BM_WindowFirstFrame(benchmark::State& state) {
    Machine& machine = WindowMachine(state);
    std::size_t rows = 0;
    for (auto _ : state) {
        auto shown = std::make_unique<ShownWindow>(machine);
        state.PauseTiming();
        if (!shown->ok) {
            state.SkipWithError("the list was not painted");
        }
        rows = static_cast<std::size_t>(shown->list->model()->rowCount());
        shown.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// The window made once per size; the timed steps run on it.
// The windows made once per size; they go before the application object does.
std::map<const Machine*, std::unique_ptr<ShownWindow>>& Windows() {
    static std::map<const Machine*, std::unique_ptr<ShownWindow>> windows;
    return windows;
}

ShownWindow& WindowFor(Machine& machine) {
    auto& window = Windows()[&machine];
    if (!window) {
        window = std::make_unique<ShownWindow>(machine);
    }
    return *window;
}

// Times one step of the shown window: the step and the list's paint that follows it.
template <typename Step> void MeasureStep(benchmark::State& state, Step step, const char* what) {
    Machine& machine = WindowMachine(state);
    ShownWindow& window = WindowFor(machine);
    if (!window.ok) {
        state.SkipWithError("the list was not painted");
        return;
    }
    for (auto _ : state) {
        window.watch.painted = false;
        step(window, state);
        if (!WaitForPaint(window.watch)) {
            state.SkipWithError(what);
            break;
        }
    }
    state.counters["rows"] = static_cast<double>(window.list->model()->rowCount());
}

void BM_WindowRefreshList(benchmark::State& state) {
    MeasureStep(
        state, [](ShownWindow& window, benchmark::State&) { window.form->RefreshList(); },
        "the refresh was not painted");
}

// A click on the Command column's title: the list sorts by it, the next click the other way round.
void BM_WindowSortByHeader(benchmark::State& state) {
    MeasureStep(
        state,
        [](ShownWindow& window, benchmark::State&) {
            QHeaderView* header = window.list->header();
            const int x = header->sectionViewportPosition(1) + header->sectionSize(1) / 2;
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        },
        "the sorted list was not painted");
}

// A click on the rating filter "All" while another rating was chosen: every row comes back. The click that
// chose the other rating is not timed.
void BM_WindowFilterChange(benchmark::State& state) {
    MeasureStep(
        state,
        [](ShownWindow& window, benchmark::State& timing) {
            auto* all = window.form->findChild<QAbstractButton*>(QStringLiteral("RadioRating0"));
            auto* other = window.form->findChild<QAbstractButton*>(QStringLiteral("RadioRating1"));
            timing.PauseTiming();
            QTest::mouseClick(other, Qt::LeftButton, {}, other->rect().center());
            WaitForPaint(window.watch);
            window.watch.painted = false;
            timing.ResumeTiming();
            QTest::mouseClick(all, Qt::LeftButton, {}, all->rect().center());
        },
        "the filtered list was not painted");
}

} // namespace

BENCHMARK(BM_WindowFirstFrame)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowRefreshList)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowSortByHeader)
    ->ArgName("N")
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFilterChange)
    ->ArgName("N")
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

// The offscreen platform's one screen, as the window tests use, so that the list shows as many rows as on
// a common display.
int main(int argc, char** argv) {
    const qb::test::OffscreenScreen screen(QStringLiteral("qb_window_bench"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    Windows().clear();
    benchmark::Shutdown();
    return 0;
}
