// Cost of one command through the library against the in-process simulated converter: time and
// heap allocations per command (counted by replacing the global operator new in this program).
#include <benchmark/benchmark.h>

#include "allocation_count.h"
#include "brg40firmup.h"
#include "sim_os.h"

namespace {

Brg40Handle open_converter(bool recording) {
    support::reset();
    support::bench().attach(1).set_recording(recording);
    int status = 0;
    return brg40_open_ex(1, &status);
}

void report_allocations(benchmark::State& state, size_t before) {
    state.counters["allocs/cmd"] =
        benchmark::Counter(static_cast<double>(allocation_count() - before), benchmark::Counter::kAvgIterations);
}

// The firmware version query: one 4-byte read, as the update tool does at start-up.
void BM_GetFwVersion(benchmark::State& state) {
    Brg40Handle h = open_converter(state.range(0) != 0);
    const size_t before = allocation_count();
    for (auto _ : state) {
        unsigned char major, minor;
        benchmark::DoNotOptimize(brg40_get_fw_version(h, &major, &minor));
    }
    report_allocations(state, before);
    brg40_close(h);
}
BENCHMARK(BM_GetFwVersion)->ArgName("transcript")->Arg(0)->Arg(1);

// A 256-byte EEPROM read: the data moves straight into the caller's buffer.
void BM_EepromRead256(benchmark::State& state) {
    Brg40Handle h = open_converter(false);
    unsigned char buffer[256];
    const size_t before = allocation_count();
    for (auto _ : state) {
        benchmark::DoNotOptimize(brg40_eeprom_read(h, 256, buffer));
    }
    report_allocations(state, before);
    brg40_close(h);
}
BENCHMARK(BM_EepromRead256);

// The model alone, for the same command, to separate its share from the library's.
void BM_ModelOnlyGetFwVersion(benchmark::State& state) {
    sim::Converter converter;
    converter.set_recording(false);
    unsigned char reply[4];
    sim::ScsiRequest request;
    request.cdb[0] = 218;
    request.cdb[8] = 4;
    request.cdb_length = 10;
    request.direction = sim::Direction::In;
    request.transfer_length = 4;
    request.timeout_s = 5;
    request.data = reply;
    const size_t before = allocation_count();
    for (auto _ : state) {
        benchmark::DoNotOptimize(converter.scsi(request));
    }
    report_allocations(state, before);
}
BENCHMARK(BM_ModelOnlyGetFwVersion);

}  // namespace

BENCHMARK_MAIN();
