// The simulator process's TCP service on 127.0.0.1: one thread, many connections, one bench.
// Requests are carried out one at a time in arrival order, so every client sees one state.
#ifndef BRG40_SIM_SERVER_H
#define BRG40_SIM_SERVER_H

#include <atomic>
#include <cstdint>
#include <vector>

#include "sim_host.h"

namespace sim {

class SimServer {
public:
    explicit SimServer(SimHost& host) : host_(host) {}
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Listens on 127.0.0.1:port (0: any free port). false when the socket cannot be set up.
    bool listen(uint16_t port = 0);
    uint16_t port() const { return port_; }

    // Serves until a "shutdown" command or stop(). Returns when every connection is closed.
    void run();
    // May be called from another thread or a signal handler.
    void stop() { stop_ = true; }

private:
    struct Connection {
        int fd;
        std::vector<uint8_t> in;
    };
    // Answers every complete frame in the connection's buffer; false when it must be dropped.
    bool serve(Connection& c);
    std::vector<uint8_t> answer(uint8_t op, const uint8_t* body, size_t size);

    SimHost& host_;
    int listen_fd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<Connection> connections_;
};

}  // namespace sim

#endif
