// The named pipes PIPE00 (commands) and PIPE01 (replies) of one unit's simulated update-mode
// device: each block written to PIPE00 goes to its loader, each read of PIPE01 gets its next reply.
#ifndef BRG40_SIM_PIPES_PIPE_SERVER_H
#define BRG40_SIM_PIPES_PIPE_SERVER_H

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "face_link.h"
#include "link_lock.h"

namespace sim {

class PipeServer {
public:
    static constexpr int kInstances = 8;  // per pipe name

    // Serves unit lpt as "\\.\pipe\<folder>\PIPE00" and "...\PIPE01" (folder empty: "\\.\pipe\PIPE00").
    // With a folder it also serves the pipe of the folder's own name: the interface path leads
    // there, and discovery opens it to see that the device answers.
    // link calls are made under one lock, from the instance threads. The instance threads run until
    // the process ends; the pipe handles go with it.
    PipeServer(FaceLink& link, LinkLock& link_lock, int lpt, std::string folder);
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // Creates every instance and starts its thread. False when a pipe could not be created.
    bool start();

    // Counts for the log and the tests: blocks forwarded to the loader, replies handed out.
    unsigned long blocks_written() const { return blocks_written_; }
    unsigned long replies_read() const { return replies_read_; }

private:
    enum class Role { Commands, Replies, Device };  // PIPE00, PIPE01, the interface path itself
    struct Instance {
        PipeServer* server;
        HANDLE pipe;
        Role role;
    };
    static DWORD WINAPI run(void* instance);
    void serve_commands(HANDLE pipe);
    void serve_replies(HANDLE pipe);
    static void serve_device(HANDLE pipe);

    FaceLink& link_;
    LinkLock& link_lock_;
    const int lpt_;
    const std::string folder_;
    std::vector<uint8_t> held_;     // the loader's reply fetched for the next reader
    HANDLE reply_ready_ = nullptr;  // set when a reply is held (auto-reset; lives as long as the process)
    std::vector<Instance> instances_;
    std::atomic<unsigned long> blocks_written_{0}, replies_read_{0};
};

}  // namespace sim

#endif
