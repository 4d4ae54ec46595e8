// Common set-up of the library suites: a fresh bench and library state per test, and after
// each test the checks that every request was well-formed (block and command table).
#ifndef BRG40_TESTS_LIBRARY_FIXTURE_H
#define BRG40_TESTS_LIBRARY_FIXTURE_H

#include <gtest/gtest.h>

#include <vector>

#include "brg40firmup.h"
#include "library_state.h"
#include "sim_os.h"

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        stop_workers();
        support::reset();
        brg40::device_open_flag = 0;
        brg40::slave_mode_owner = nullptr;
    }

    void TearDown() override {
        stop_workers();
        EXPECT_TRUE(support::block_errors().empty()) << support::block_errors().front();
        if (!expect_protocol_errors_) {
            for (int n = 1; n <= 9; ++n) {
                if (sim::Converter* c = support::bench().device(n)) {
                    for (const auto& e : c->protocol_errors()) {
                        ADD_FAILURE() << "LPT" << n << ": " << e;
                    }
                }
            }
        }
    }

    static void stop_workers() {
        brg40::slave_mode_flag = 0;
        support::join_threads();
    }

    // A converter at lpt, opened with brg40_open_ex.
    Brg40Handle attach_and_open(int lpt, uint8_t major = 1, uint8_t minor = 4) {
        support::bench().attach(lpt, {}, major, minor);
        int status = 1;
        Brg40Handle h = brg40_open_ex(lpt, &status);
        EXPECT_EQ(status, 0);
        EXPECT_NE(h, nullptr);
        return h;
    }

    sim::Converter& dev(int lpt) { return *support::bench().device(lpt); }

    // The records of one command code, in order.
    std::vector<sim::CommandRecord> records(int lpt, uint8_t code) {
        auto guard = support::lock();
        std::vector<sim::CommandRecord> out;
        for (const auto& r : dev(lpt).transcript()) {
            if (r.request.cdb[0] == code) {
                out.push_back(r);
            }
        }
        return out;
    }

    size_t transcript_size(int lpt) {
        auto guard = support::lock();
        return dev(lpt).transcript().size();
    }

    bool expect_protocol_errors_ = false;
};

#endif
