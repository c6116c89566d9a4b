// The Qt-free path of every byte: a long stream of reader frames of the three
// lengths, debug lines and line noise, cut into frames and then into fields.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "decode/frame_fields.h"
#include "link/frame_assembler.h"

namespace {

std::string makeStream(std::size_t bytes, std::size_t& frames)
{
    std::mt19937 engine(42);
    auto random = [&] { return static_cast<unsigned>(engine()); };
    std::string stream;
    frames = 0;
    char buffer[64];
    while (stream.size() < bytes) {
        const unsigned value = static_cast<unsigned>(random() % 256);
        const unsigned tag = static_cast<unsigned>(random() % 0x1000000);
        switch (random() % 6) {
        case 0:
        case 1:
            std::snprintf(buffer, sizeof buffer, "[%02X%06X%04X]\r\n", value, tag, random() % 0x10000);
            break;
        case 2:
            std::snprintf(buffer, sizeof buffer, "[%02X%06X%02X]\r\n", value, tag, random() % 0x100);
            break;
        case 3:
            std::snprintf(buffer, sizeof buffer, "[%02X%04X%02X]\r\n", value, tag & 0xFFFF, random() % 0x100);
            break;
        case 4:
            std::snprintf(buffer, sizeof buffer, "%02X %02X %c%02X %06X\r\n", value, random() % 256,
                          random() % 2 ? '+' : '-', random() % 256, tag);
            break;
        default:
            std::snprintf(buffer, sizeof buffer, "noise %u\r\n", random());
            --frames;
            break;
        }
        ++frames;
        stream += buffer;
    }
    return stream;
}

void AssembleAndCut(benchmark::State& state)
{
    std::size_t framesPerStream = 0;
    const std::string stream = makeStream(8 << 20, framesPerStream);
    std::size_t fields = 0;
    for (auto _ : state) {
        varno::link::FrameAssembler assembler;
        assembler.feed(stream, {}, [&](int, std::unique_ptr<varno::link::FrameEvent> event) {
            std::string bracketed;
            bracketed.reserve(event->text.size() + 2);
            bracketed.push_back('[');
            bracketed += event->text;
            bracketed.push_back(']');
            if (varno::decode::holdsSign(bracketed)) {
                fields += varno::decode::cutDebugFrame(bracketed).tagId.size();
            } else if (auto reader = varno::decode::cutReaderFrame(bracketed)) {
                fields += reader->tagId.size();
            }
        });
    }
    benchmark::DoNotOptimize(fields);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["frames_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations() * framesPerStream), benchmark::Counter::kIsRate);
    state.counters["MB_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations() * stream.size()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(AssembleAndCut)->Unit(benchmark::kMillisecond);

}  // namespace
