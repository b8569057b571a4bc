// SPDX-License-Identifier: MIT
// What the wire trace costs a download: the same 1000-record Manual download
// on the simulated world with nothing wrapped, with the trace decorators and
// the progress only, and with a writer in each form into a file. The
// simulated world and device take their share in every case; the
// differences are the trace's cost per record. Also the writer's formatting
// of one record line alone.

#include "trace/tracewriter.h"
#include "tracedworld.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace quill;
using namespace quill::sim;

namespace {

constexpr int dataRecords = 1000;

const std::string& firmware() {
    static const std::string text = [] {
        std::string out;
        for (int a = 0; a < dataRecords; ++a) {
            out +=
                dataRecord(static_cast<uint16_t>(a * 16), std::vector<uint8_t>(16, 0xA5)) + "\r\n";
        }
        return out + ":00000001FF\r\n";
    }();
    return text;
}

enum class Trace { None, DecoratorsOnly, FullWriter, ShortWriter };

void BM_Download(benchmark::State& state, Trace trace) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink(std::tmpfile(), &std::fclose);
    for (auto _ : state) {
        state.PauseTiming();
        auto bare = std::make_unique<SimWorld>();
        auto traced = std::make_unique<TracedWorld>();
        std::unique_ptr<TraceWriter> writer;
        if (trace == Trace::FullWriter || trace == Trace::ShortWriter) {
            std::rewind(sink.get());
            writer = std::make_unique<TraceWriter>(
                streamOutput(sink.get()),
                trace == Trace::FullWriter ? TraceWriter::Form::Full : TraceWriter::Form::Short);
            traced->session.addObserver(writer.get());
        }
        SimWorld& w = trace == Trace::None ? *bare : traced->world;
        w.chooseFile(firmware());
        w.setUpPort(38400, device_manual);
        w.connect({});
        state.ResumeTiming();

        if (trace == Trace::None) {
            w.startAndRun();
        } else {
            traced->startAndRun();
        }
        if (writer) {
            writer->flush();
        }

        state.PauseTiming();
        if (w.recordsSent().size() != dataRecords + 1) {
            state.SkipWithError("the download did not complete");
        }
        writer.reset();
        traced.reset();
        bare.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (dataRecords + 1));
}

BENCHMARK_CAPTURE(BM_Download, nothing_wrapped, Trace::None)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Download, decorators_and_progress, Trace::DecoratorsOnly)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Download, full_writer_to_file, Trace::FullWriter)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Download, short_writer_to_file, Trace::ShortWriter)
    ->Unit(benchmark::kMillisecond);

void BM_WriterRecordLine(benchmark::State& state) {
    const std::string line =
        dataRecord(0x1230, std::vector<uint8_t>(16, 0x5A)) + "\r\n"; // 45 bytes on the wire
    const TraceEvent event{.kind = TraceKind::Written,
                           .atUs = 123'456,
                           .bytes = {reinterpret_cast<const uint8_t*>(line.data()), line.size()}};
    std::string out;
    for (auto _ : state) {
        out = TraceWriter::line(event, 0, static_cast<TraceWriter::Form>(state.range(0)));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_WriterRecordLine)->Arg(0)->Arg(1);

} // namespace
