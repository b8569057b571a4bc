// SPDX-License-Identifier: MIT
// How fast the record check and the hex file reader go: single records, and
// the pass over a whole 50 MB file that a download start can afford before
// the first byte goes to the device.

#include "hexfile/hexcodec.h"
#include "hexfile/stdhexfile.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace quill;

namespace {

const HexTable table = makeHexTable();

std::string record(unsigned address, unsigned type, const std::vector<uint8_t>& data) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string line = ":";
    unsigned sum = 0;
    auto put = [&](unsigned b) {
        line += digits[(b >> 4) & 0xF];
        line += digits[b & 0xF];
        sum += b;
    };
    put(static_cast<unsigned>(data.size()));
    put((address >> 8) & 0xFF);
    put(address & 0xFF);
    put(type);
    for (const uint8_t b : data) {
        put(b);
    }
    put((0x100 - (sum & 0xFF)) & 0xFF);
    return line;
}

// Deterministic bytes, a few runs of FF among them as in real images.
std::vector<uint8_t> data_bytes(size_t count, uint32_t& seed) {
    std::vector<uint8_t> data(count);
    for (auto& b : data) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return data;
}

void BM_check_record(benchmark::State& state) {
    uint32_t seed = 1;
    const std::string line =
        record(0x1230, 0, data_bytes(static_cast<size_t>(state.range(0)), seed));
    for (auto _ : state) {
        benchmark::DoNotOptimize(check_record(table, line));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_check_record)->Arg(16)->Arg(32);

// A generated file of 16-byte data records with CR LF, an extended linear
// address record before every 64 KiB, and an end-of-file record. Removed at exit.
class HexImage {
  public:
    explicit HexImage(size_t bytes) {
        m_path = fs::temp_directory_path() / ("quill_bench_" + std::to_string(::getpid()) + ".hex");
        std::ofstream out(m_path, std::ios::binary);
        uint32_t seed = 7;
        size_t written = 0;
        for (unsigned segment = 0; written < bytes; ++segment) {
            const std::string ela =
                record(0, 4, {uint8_t(segment >> 8), uint8_t(segment)}) + "\r\n";
            out << ela;
            written += ela.size();
            for (unsigned address = 0; address < 0x10000 && written < bytes; address += 16) {
                const std::string line = record(address, 0, data_bytes(16, seed)) + "\r\n";
                out << line;
                written += line.size();
            }
        }
        out << ":00000001FF\r\n";
    }
    ~HexImage() {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    HexImage(const HexImage&) = delete;
    HexImage& operator=(const HexImage&) = delete;

    std::string path() const { return m_path.string(); }

  private:
    fs::path m_path;
};

const HexImage& image() {
    static const HexImage file(50u * 1000u * 1000u);
    return file;
}

// Every line starting with ":" checked, up to the end-of-file record.
void BM_precheck_file(benchmark::State& state) {
    const std::string path = image().path();
    StdHexFile file;
    std::string line;
    int64_t records = 0;
    for (auto _ : state) {
        if (!file.open(path)) {
            state.SkipWithError("cannot open the generated file");
            return;
        }
        while (file.readLine(line)) {
            if (line.empty() || line[0] != ':') {
                continue;
            }
            ++records;
            const int16_t rec = check_record(table, line);
            if (rec == REC_LAST || rec == REC_BAD_SUM) {
                benchmark::DoNotOptimize(rec);
                break;
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.length());
    state.counters["records"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_precheck_file)->Unit(benchmark::kMillisecond);

// The reader alone, for comparison.
void BM_read_lines(benchmark::State& state) {
    const std::string path = image().path();
    StdHexFile file;
    std::string line;
    for (auto _ : state) {
        file.open(path);
        while (file.readLine(line)) {
            benchmark::DoNotOptimize(line.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file.length());
}
BENCHMARK(BM_read_lines)->Unit(benchmark::kMillisecond);

// What sending a record adds to notice that the file changed after the
// check: the open file's size and times and the identity of its path (the
// digest of the lines read is taken inside readLine, in BM_read_lines).
void BM_changed_since_checked(benchmark::State& state) {
    StdHexFile file;
    if (!file.open(image().path())) {
        state.SkipWithError("cannot open the generated file");
        return;
    }
    file.markChecked();
    for (auto _ : state) {
        benchmark::DoNotOptimize(file.changedSinceChecked());
    }
}
BENCHMARK(BM_changed_since_checked);

// One record as the sending reads it: the next line, then the change check.
void BM_record_with_change_check(benchmark::State& state) {
    StdHexFile file;
    std::string line;
    if (!file.open(image().path())) {
        state.SkipWithError("cannot open the generated file");
        return;
    }
    file.markChecked();
    for (auto _ : state) {
        if (!file.readLine(line)) {
            file.rewind();
        }
        benchmark::DoNotOptimize(file.changedSinceChecked());
    }
}
BENCHMARK(BM_record_with_change_check);

} // namespace

BENCHMARK_MAIN();
