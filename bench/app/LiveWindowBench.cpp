// The live window's frame path, measured on the real window (offscreen
// unless QT_QPA_PLATFORM says otherwise; under Xvfb the OpenGL series draw).
//
// BM_ApplyFrame: GUI-thread cost of applying one frame update with all four
// channels on and every panel shown (time, spectrum, frequency response,
// constellation and eye series replaced, figures copied). The frame
// processing that builds the update (acquisition thread in the program) is
// excluded from the timing.
//
// BM_SustainedFrames: frames delivered back to back from a producer thread
// (the acquisition thread's 30 ms pause removed) while the GUI thread runs its
// event loop; reports frames processed and updates applied per second. More
// frames than updates means the mailbox merged frames the GUI had no time to
// draw one by one.
//
// BM_Painted: what the user sees while frames stream back to back. Args:
// record length, panels (0: the Time view alone, paced at 60 Hz; 1: all
// six, at the window's pace), both with four channels. painted_per_s counts
// the chart views' repaints (paint events that reached a shown view's
// viewport), the smallest over the shown views; max_stall_ms is the longest
// single pass of the GUI thread's event loop after the first half second
// (start-up and the first show excepted), i.e. the longest time the window
// could not react to input. frames_per_s is the acquisition side's rate for
// comparison; views the number of views counted. gui_cpu_ms_per_paint is
// the GUI thread's CPU time per view repaint (everything it did, applying
// updates included, over all views' repaints): it depends much less than the
// rates on what else a shared machine runs, so it is the figure to compare
// between builds measured one after the other.
//
// Environment: H452_BENCH_PAINT_SECONDS lengthens BM_Painted's measured
// stretch (default 3 s; for a profile); H452_BENCH_WINDOW=WIDTHxHEIGHT sets
// the window's size (default 1600 x 1000, as in earlier figures), "default"
// keeps the form's own 1290 x 861.
#include "mainwindow.h"

#include "InteractiveChartView.h"
#include "WorkThread.h"

#include <QApplication>
#include <QChart>
#include <QLineSeries>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QValueAxis>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <time.h>

struct LiveWindowProbe {
    static void applyPending(MainWindow& w) { w.applyPendingFrame(); }
    static void setPaceMs(MainWindow& w, int ms) { w.framePaceMs = ms; }
    static QtCharts::QValueAxis* timeAxisX(MainWindow& w) { return w.panel(h452::Panel::Time).axisX; }
};

namespace {

// CPU time of the calling thread, in milliseconds.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Rig {
    std::unique_ptr<MainWindow> window;
    WorkThread* thread = nullptr;
    std::vector<double> data[4];

    explicit Rig(int n, bool allPanels = true)
    {
        window = std::make_unique<MainWindow>();
        // The window's size: H452_BENCH_WINDOW=WIDTHxHEIGHT, else 1600 x 1000
        // (the figures of earlier runs); "default" keeps the form's own size.
        const QString size = qEnvironmentVariable("H452_BENCH_WINDOW");
        if (size != QLatin1String("default")) {
            const QStringList wh = size.split(QLatin1Char('x'));
            const int w = wh.size() == 2 ? wh[0].toInt() : 0;
            const int h = wh.size() == 2 ? wh[1].toInt() : 0;
            window->resize(w > 0 && h > 0 ? QSize(w, h) : QSize(1600, 1000));
        }
        window->show();
        QApplication::processEvents();   // runs the default set-up (starts acquisition)
        thread = window->findChild<WorkThread*>();
        auto* run = window->findChild<QPushButton*>(QStringLiteral("btnRun"));
        if (thread->isRunning())
            run->click();
        for (const char* name : {"checkBoxChn0", "checkBoxChn1", "checkBoxChn2", "checkBoxChn3"})
            window->findChild<QCheckBox*>(QString::fromLatin1(name))->setChecked(true);
        if (allPanels)
            for (const char* name : {"btnMeasurementsShow", "btnFrequencyShow", "btnFrequencyRspShow",
                                     "btnConstellationShow", "btnEyeShow"})
                window->findChild<QPushButton*>(QString::fromLatin1(name))->click();
        // The record length of the frames, as a start would set it.
        thread->setParameters(n, 0, acquisition::kModeFreeTrigger, 100, 1, 100);
        LiveWindowProbe::timeAxisX(*window)->setRange(0, n);
        QRandomGenerator noise(7);
        double* channels[4];
        for (int c = 0; c < 4; ++c) {
            data[c].assign(std::size_t(n), 0.0);
            channels[c] = data[c].data();
        }
        acquisition::fillSimulatedFrame(channels, n, noise);
        QApplication::processEvents();
    }

    void deliverFrame() { emit thread->sigSendData(data[0].data(), data[1].data(), data[2].data(), data[3].data()); }
};

void BM_ApplyFrame(benchmark::State& state)
{
    Rig rig(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        rig.deliverFrame();   // frame processing on this thread, into the mailbox
        state.ResumeTiming();
        LiveWindowProbe::applyPending(*rig.window);
        state.PauseTiming();
        QApplication::processEvents();   // the queued wake-ups and the repaint
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ApplyFrame)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_SustainedFrames(benchmark::State& state)
{
    Rig rig(int(state.range(0)));
    // Every applied update replaces channel 0's time trace once.
    auto* view = rig.window->findChild<QWidget*>(QStringLiteral("widgetTime"))
                     ->findChild<InteractiveChartView*>();
    auto* series = static_cast<QtCharts::QXYSeries*>(view->chart()->series().at(0));
    long applied = 0;
    QObject::connect(series, &QtCharts::QXYSeries::pointsReplaced, [&applied] { ++applied; });
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::atomic<long> frames{0};
        applied = 0;
        std::thread producer([&] {
            while (!stop.load()) {
                rig.deliverFrame();
                frames.fetch_add(1);
            }
        });
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        stop = true;
        producer.join();
        const double seconds = clock.elapsed() / 1000.0;
        state.counters["frames_per_s"] = double(frames.load()) / seconds;
        state.counters["applied_per_s"] = double(applied) / seconds;
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SustainedFrames)->Arg(1000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);

// Counts the paint events a viewport receives.
class PaintCounter : public QObject
{
public:
    long count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

void BM_Painted(benchmark::State& state)
{
    Rig rig(int(state.range(0)), state.range(1) != 0);
    // The Time view alone is measured at a 60 Hz pace, every panel at the
    // window's own.
    if (state.range(1) == 0)
        LiveWindowProbe::setPaceMs(*rig.window, 16);
    std::vector<std::unique_ptr<PaintCounter>> counters;
    for (InteractiveChartView* view : rig.window->findChildren<InteractiveChartView*>()) {
        if (!view->isVisible())
            continue;
        counters.push_back(std::make_unique<PaintCounter>());
        view->viewport()->installEventFilter(counters.back().get());
    }
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::atomic<long> frames{0};
        for (auto& c : counters)
            c->count = 0;
        std::thread producer([&] {
            while (!stop.load()) {
                rig.deliverFrame();
                frames.fetch_add(1);
            }
        });
        const int paintSeconds = qEnvironmentVariableIntValue("H452_BENCH_PAINT_SECONDS");
        const int measureMs = 500 + 1000 * (paintSeconds > 0 ? std::min(paintSeconds, 600) : 3);
        QElapsedTimer clock, pass;
        clock.start();
        qint64 maxStall = 0;
        std::vector<long> warm(counters.size(), 0);
        bool warmedUp = false;
        double cpuAtWarm = 0;
        while (clock.elapsed() < measureMs) {
            pass.start();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            const qint64 took = pass.elapsed();
            if (!warmedUp && clock.elapsed() >= 500) {
                warmedUp = true;
                for (std::size_t i = 0; i < counters.size(); ++i)
                    warm[i] = counters[i]->count;
                cpuAtWarm = threadCpuMs();
            } else if (warmedUp) {
                maxStall = std::max(maxStall, took);
            }
        }
        const double guiCpuMs = threadCpuMs() - cpuAtWarm;
        stop = true;
        producer.join();
        const double seconds = (clock.elapsed() - 500) / 1000.0;
        long fewest = counters.empty() ? 0 : counters[0]->count - warm[0];
        long total = 0;
        for (std::size_t i = 0; i < counters.size(); ++i) {
            fewest = std::min(fewest, counters[i]->count - warm[i]);
            total += counters[i]->count - warm[i];
        }
        state.counters["gui_cpu_ms_per_paint"] = total > 0 ? guiCpuMs / double(total) : 0.0;
        state.counters["painted_per_s"] = double(fewest) / seconds;
        state.counters["max_stall_ms"] = double(maxStall);
        state.counters["frames_per_s"] = double(frames.load()) / (clock.elapsed() / 1000.0);
        state.counters["views"] = double(counters.size());
        QApplication::processEvents();
    }
}
BENCHMARK(BM_Painted)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({20000, 0})
    ->Args({20000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
