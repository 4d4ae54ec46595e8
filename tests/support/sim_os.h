// The OS seam of the library for host tests: every call goes to one process-global bench of
// simulated converters. Test controls: the version text the library finds, posted messages,
// the worker threads, sleeps, and the block checks made on every pass-through request.
#ifndef BRG40_TESTS_SIM_OS_H
#define BRG40_TESTS_SIM_OS_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "converter.h"

namespace support {

// The devices the library reaches. Touch them only under lock() while a worker may run.
sim::Bench& bench();
// Held by every seam call that reaches the bench. Never call the library while holding it.
std::unique_lock<std::mutex> lock();

// A fresh bench with no device, no open handle, no recorded message, sleep or block error, and
// the version text of this build. Waits for running workers first (the caller stops them).
void reset();

// The ProductVersion text the library reads from its own module; null: no version resource.
void set_product_version(const char* text);

// While on, every pass-through request fails with the last error left at 0.
void fail_requests_without_error(bool on);

struct PostedMessage {
    void* window;
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};
std::vector<PostedMessage> posted_messages();

// While on, threads the library starts wait before running their routine; join_threads() and
// hold_threads(false) let them go.
void hold_threads(bool on);

// Waits for every thread the library started; returns how many were started since reset().
size_t join_threads();

// Device names the library tried to open, in order, and how many handles are open now.
std::vector<std::string> opened_names();
size_t open_handle_count();
// Sleeps the library asked for, in milliseconds.
std::vector<uint32_t> sleeps();
// True when the devices see the caller's own buffer addresses (this seam); false where the
// requests cross an emulated kernel, which hands the device a copy of the bytes.
bool buffers_arrive_in_place();

// Pass-through blocks whose fixed fields were wrong (the request then failed with 87).
std::vector<std::string> block_errors();

}  // namespace support

#endif
