// Serving PIPE00 and PIPE01: one thread per pipe instance, each serving one client at a time.
#include "pipe_server.h"

#include <cstdio>

namespace sim {

namespace {

constexpr DWORD kBufferSize = 4096;
constexpr size_t kMaxBlock = 4096;
constexpr size_t kMaxReply = 64;  // longer than any loader reply (21 bytes)

// True while the client of this server end is still connected.
bool client_connected(HANDLE pipe) {
    DWORD available = 0;
    return PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) != 0;
}

}  // namespace

PipeServer::PipeServer(FaceLink& link, LinkLock& link_lock, int lpt, std::string folder)
    : link_(link), link_lock_(link_lock), lpt_(lpt), folder_(std::move(folder)) {}

bool PipeServer::start() {
    reply_ready_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (reply_ready_ == nullptr) {
        return false;
    }
    const int roles = folder_.empty() ? 2 : 3;
    instances_.reserve(roles * kInstances);
    const std::string root = "\\\\.\\pipe\\";
    const std::string base = root + (folder_.empty() ? "" : folder_ + "\\");
    for (int i = 0; i < roles * kInstances; ++i) {
        const Role role = static_cast<Role>(i / kInstances);
        // PIPE00 keeps the bounds of each write, as the device's bulk pipe keeps its transfers.
        const DWORD type =
            role == Role::Commands ? PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE : PIPE_TYPE_BYTE | PIPE_READMODE_BYTE;
        const std::string name = role == Role::Commands  ? base + "PIPE00"
                                 : role == Role::Replies ? base + "PIPE01"
                                                         : root + folder_;
        HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, type | PIPE_WAIT, kInstances, kBufferSize,
                                       kBufferSize, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "brg40sim-pipes: cannot create %s: error %lu\n", name.c_str(), GetLastError());
            return false;
        }
        instances_.push_back({this, pipe, role});
    }
    for (auto& instance : instances_) {
        HANDLE thread = CreateThread(nullptr, 0, run, &instance, 0, nullptr);
        if (thread == nullptr) {
            return false;
        }
        CloseHandle(thread);
    }
    return true;
}

DWORD WINAPI PipeServer::run(void* argument) {
    auto* instance = static_cast<Instance*>(argument);
    for (;;) {
        // A client that came and went before this call leaves ERROR_NO_DATA: what it wrote is
        // still to be read.
        BOOL connected = ConnectNamedPipe(instance->pipe, nullptr);
        DWORD error = connected ? ERROR_SUCCESS : GetLastError();
        if (connected || error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
            switch (instance->role) {
                case Role::Commands:
                    instance->server->serve_commands(instance->pipe);
                    break;
                case Role::Replies:
                    instance->server->serve_replies(instance->pipe);
                    break;
                case Role::Device:
                    serve_device(instance->pipe);
                    break;
            }
        } else {
            Sleep(1);
        }
        DisconnectNamedPipe(instance->pipe);  // back to listening, whatever happened
    }
}

// Discovery opens the device and closes it again at once: the instance waits for that, then is free.
void PipeServer::serve_device(HANDLE pipe) {
    while (client_connected(pipe)) {
        Sleep(1);
    }
}

// Each write of the client is one block, forwarded as it arrives; a client may keep its end
// open for many blocks (brg40) or close it after one (the update tool).
void PipeServer::serve_commands(HANDLE pipe) {
    std::vector<uint8_t> block;
    uint8_t buffer[kMaxBlock];
    for (;;) {
        DWORD got = 0;
        const BOOL whole = ReadFile(pipe, buffer, sizeof buffer, &got, nullptr);
        if (!whole && GetLastError() != ERROR_MORE_DATA) {
            return;  // the client closed its end
        }
        if (block.size() + got <= kMaxBlock) {
            block.insert(block.end(), buffer, buffer + got);
        }
        if (!whole || block.empty()) {
            continue;  // the rest of a long write follows
        }
        Locked lock(link_lock_);
        held_.clear();  // the loader drops an unread reply at the next request, and so do we
        link_.pipe_write(lpt_, block.data(), block.size());
        ++blocks_written_;
        block.clear();
        // The loader answers at once: its reply is fetched now and the reader woken, rather than
        // found by the reader's next poll.
        uint8_t reply[kMaxReply];
        const size_t answered = link_.pipe_read(lpt_, reply, sizeof reply);
        if (answered > 0) {
            held_.assign(reply, reply + answered);
            SetEvent(reply_ready_);
        }
    }
}

// The loader's waiting reply goes to the reader as soon as there is one, for as long as the
// reader keeps its end open. A reader that asks for fewer bytes takes the first ones; the rest
// go with the pipe instance when it closes. With no reply, the read stays pending until the
// reader gives up.
void PipeServer::serve_replies(HANDLE pipe) {
    for (;;) {
        std::vector<uint8_t> reply;
        while (reply.empty()) {
            {
                Locked lock(link_lock_);
                if (!held_.empty()) {
                    reply.swap(held_);
                } else {
                    uint8_t buffer[kMaxReply];
                    size_t got = link_.pipe_read(lpt_, buffer, sizeof buffer);
                    reply.assign(buffer, buffer + got);
                }
            }
            if (reply.empty()) {
                if (!client_connected(pipe)) {
                    return;
                }
                WaitForSingleObject(reply_ready_, 1);
            }
        }
        DWORD written = 0;
        if (!WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr)) {
            // The reader left in between: keep the reply for the next one, as the device would.
            Locked lock(link_lock_);
            if (held_.empty()) {
                held_ = reply;
            }
            return;
        }
        ++replies_read_;
    }
}

}  // namespace sim
