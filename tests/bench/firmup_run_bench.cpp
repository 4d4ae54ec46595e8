// The update tool's own work per exchange: a programming run and a closing check against a loader
// that answers at once (no flash behind it), and against the simulated converter for comparison.
// Run with a count argument ("firmup_run_bench --count N") it only repeats N runs and checks, for
// instruction counts under callgrind.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "converter.h"
#include "dialog_events.h"
#include "image_gen.h"

namespace {

// A loader with no latency and no flash: every request is answered with its echo at once, a read
// with sixteen bytes that keep the closing check's checksum from matching (no close byte).
class EchoPipe : public UpdatePipe {
public:
    int Write(const uint8_t* data, uint32_t) override {
        last_ = data[0];
        return 1;
    }
    int Read(uint8_t* data, uint32_t size) override {
        data[0] = last_;
        if (size == 21) {
            std::memset(data + 5, 0x11, 16);
        }
        return static_cast<int>(size);
    }
    std::string DeviceId() override { return "echo"; }

private:
    uint8_t last_ = 0;
};

// The simulated converter in update mode, behind the pipe.
class ConverterPipe : public UpdatePipe {
public:
    ConverterPipe() {
        sim::ScsiRequest r;
        r.cdb[0] = 254;
        r.cdb_length = 10;
        r.timeout_s = 10;
        converter.scsi(r);
    }
    int Write(const uint8_t* data, uint32_t size) override {
        converter.pipe_write(data, size);
        return 1;
    }
    int Read(uint8_t* data, uint32_t size) override { return static_cast<int>(converter.pipe_read(data, size)); }
    std::string DeviceId() override { return "sim"; }
    sim::Converter converter;
};

// The bar as the platform's control keeps it, nothing drawn.
class QuietDialog : public DialogFace {
public:
    int ShowMessage(unsigned, unsigned, BoxKind kind, bool, unsigned, unsigned) override {
        return kind == kBoxQuestion ? kAnswerYes : kAnswerOk;
    }
    void SetBarColors(BarColor, BarColor, BarColor) override {}
    void SetBarPos(int p) override { position_ = p; }
    int GetBarPos() override { return position_; }
    void StepBar() override { position_ = position_ < 100 ? position_ + 1 : 100; }
    void SetBarText(const char* text) override { benchmark::DoNotOptimize(text); }
    void RedrawBar() override {}
    bool IsConversionChecked() override { return false; }

private:
    int position_ = 0;
};

const std::string& ImagePath() {
    static const std::string path = [] {
        std::string p = "/tmp/brg40_bench_" + std::to_string(std::rand()) + ".fwu";
        sim::write_file(p.c_str(), sim::make_image({}));
        return p;
    }();
    return path;
}

constexpr int kRunExchanges = 1 + 352 + 1408;
constexpr int kCloseExchanges = 1408;

template <class Pipe>
void BM_ProgrammingRun(benchmark::State& state) {
    Pipe pipe;
    QuietDialog face;
    FirmupProgramState program;
    for (auto _ : state) {
        if (ProgramFirmware(ImagePath().c_str(), 0x0104, face, pipe, program) != RunOutcome::Completed) {
            state.SkipWithError("run did not complete");
            break;
        }
    }
    state.counters["ns_per_exchange"] = benchmark::Counter(double(state.iterations()) * kRunExchanges,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class Pipe>
void BM_ClosingCheck(benchmark::State& state) {
    Pipe pipe;
    QuietDialog face;
    FirmupProgramState program;
    for (auto _ : state) {
        benchmark::DoNotOptimize(CloseUpdateSession(face, pipe, program));
        if constexpr (std::is_same_v<Pipe, ConverterPipe>) {
            // The close byte took the model back to normal mode: order it into update mode again.
            sim::ScsiRequest r;
            r.cdb[0] = 254;
            r.cdb_length = 10;
            r.timeout_s = 10;
            pipe.converter.scsi(r);
        }
    }
    state.counters["ns_per_exchange"] = benchmark::Counter(double(state.iterations()) * kCloseExchanges,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_TEMPLATE(BM_ProgrammingRun, EchoPipe)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ClosingCheck, EchoPipe)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ProgrammingRun, ConverterPipe)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ClosingCheck, ConverterPipe)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--count") == 0) {
        EchoPipe pipe;
        QuietDialog face;
        FirmupProgramState program;
        const int count = std::atoi(argv[2]);
        for (int i = 0; i < count; ++i) {
            ProgramFirmware(ImagePath().c_str(), 0x0104, face, pipe, program);
            CloseUpdateSession(face, pipe, program);
        }
        std::remove(ImagePath().c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(ImagePath().c_str());
    return 0;
}
