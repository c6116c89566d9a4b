// Serial throughput over a pseudo-terminal: the master writes a long stream of
// reader frames as fast as it can, the port's listener reads, frames and posts
// them; every frame must arrive, none lost.
//
// SerialToWindowQueue hands the frames over as to the window (its hand-over and
// wake-up event 1066) and counts them as the receiving thread's event loop takes
// them; SerialToSink counts them in the listener's sink, without the hand-over.

#include <benchmark/benchmark.h>

#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "link/pause.h"
#include "link/serial_wnd.h"
#include "link/frame_hand_over.h"
#include "ui/frames_waiting.h"

namespace {

using namespace varno;

constexpr int kFrames = 200000;

// kFrames reader frames with varying values and tags, one per line.
const std::string& stream()
{
    static const std::string bytes = [] {
        std::string s;
        s.reserve(static_cast<std::size_t>(kFrames) * 16);
        char frame[32];
        for (int i = 0; i < kFrames; ++i) {
            std::snprintf(frame, sizeof frame, "[%02X%06X%04X]\r\n", 120 + i % 60, i & 0xFFFFFF, i & 0xFFFF);
            s += frame;
        }
        return s;
    }();
    return bytes;
}

struct Pty {
    Pty()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0 && ::ptsname_r(master, name, sizeof name) == 0)
            path = name;
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

// Writes the whole stream on the master in large blocks; the pseudo-terminal
// blocks the writer while the listener is behind, so nothing is dropped.
void writeStream(int master)
{
    const std::string& s = stream();
    std::size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::write(master, s.data() + done, std::min<std::size_t>(65536, s.size() - done));
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// The window's side: takes the frames at each wake-up and counts them.
class Receiver : public QObject {
public:
    bool event(QEvent* e) override
    {
        ui::acquireHandover(e);
        if (e->type() == ui::FramesWaiting::kType) {
            handOver->woken();
            int kind = 0;
            std::unique_ptr<link::FrameEvent> frame;
            while (handOver->take(kind, frame))
                ++frames;
            return true;
        }
        return QObject::event(e);
    }
    std::shared_ptr<link::FrameHandOver> handOver = std::make_shared<link::FrameHandOver>(ui::wakeByPosting(this));
    int frames = 0;
};

void report(benchmark::State& state, double seconds, long long frames)
{
    state.SetItemsProcessed(frames);
    state.SetBytesProcessed(frames * 16);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames) / seconds);
}

void SerialToWindowQueue(benchmark::State& state)
{
    link::setPauseScale(0);
    double seconds = 0;
    long long total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Pty pty;
        Receiver receiver;
        link::CSerialMFC port;
        if (link::openPort(port, pty.path.c_str(), {link::handOverSink(receiver.handOver), {}, receiver.handOver, {}}, 115200) != link::kResultOk) {
            state.SkipWithError("the pseudo-terminal did not open");
            break;
        }
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        std::thread writer(writeStream, pty.master);
        const auto deadline = start + std::chrono::seconds(60);
        while (receiver.frames < kFrames && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        writer.join();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total += receiver.frames;

        state.PauseTiming();
        port.Close();
        QCoreApplication::processEvents();
        if (receiver.frames != kFrames) {
            state.SkipWithError("frames were lost");
            break;
        }
        state.ResumeTiming();
    }
    report(state, seconds, total);
}

void SerialToSink(benchmark::State& state)
{
    link::setPauseScale(0);
    double seconds = 0;
    long long total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Pty pty;
        std::atomic<int> frames{0};
        link::CSerialMFC port;
        link::NotifyTarget target{[&frames](int, std::unique_ptr<link::FrameEvent>) { frames.fetch_add(1); }, {}, {}, {}};
        if (link::openPort(port, pty.path.c_str(), std::move(target), 115200) != link::kResultOk) {
            state.SkipWithError("the pseudo-terminal did not open");
            break;
        }
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        std::thread writer(writeStream, pty.master);
        const auto deadline = start + std::chrono::seconds(60);
        while (frames.load() < kFrames && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        writer.join();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total += frames.load();

        state.PauseTiming();
        port.Close();
        if (frames.load() != kFrames) {
            state.SkipWithError("frames were lost");
            break;
        }
        state.ResumeTiming();
    }
    report(state, seconds, total);
}

BENCHMARK(SerialToWindowQueue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(SerialToSink)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
