// The simulator's TCP loop: poll, read frames, answer each from the bench, write the reply.
#include "sim_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace sim {

namespace {

bool send_all(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t sent = ::send(fd, p, n, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

std::vector<uint8_t> status_frame(wire::Status status, const std::vector<uint8_t>& body = {}) {
    return wire::frame(static_cast<uint8_t>(status), body);
}

}  // namespace

SimServer::~SimServer() {
    for (const Connection& c : connections_) {
        ::close(c.fd);
    }
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
    }
}

bool SimServer::listen(uint16_t port) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) {
        return false;
    }
    int one = 1;
    setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_fd_, 16) != 0 ||
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        return false;
    }
    port_ = ntohs(addr.sin_port);
    return true;
}

std::vector<uint8_t> SimServer::answer(uint8_t op, const uint8_t* body, size_t size) {
    switch (static_cast<wire::Op>(op)) {
        case wire::Op::Scsi: {
            wire::ScsiCall call;
            if (!wire::decode(body, size, call) ||
                (call.has_data && call.data.size() != call.request.transfer_length)) {
                return status_frame(wire::Status::Malformed);
            }
            return status_frame(wire::Status::Ok, wire::encode(host_.scsi(call)));
        }
        case wire::Op::PipeWrite:
            if (size < 1) {
                return status_frame(wire::Status::Malformed);
            }
            return status_frame(host_.pipe_write(body[0], body + 1, size - 1) ? wire::Status::Ok
                                                                              : wire::Status::NoDevice);
        case wire::Op::PipeRead: {
            wire::Reader rd(body, size);
            const uint8_t lpt = rd.u8();
            const uint32_t wanted = rd.u32();
            if (!rd.ok() || !rd.at_end() || wanted > wire::kMaxFrame / 2) {
                return status_frame(wire::Status::Malformed);
            }
            std::vector<uint8_t> out(wanted);
            size_t got = 0;
            if (!host_.pipe_read(lpt, out.data(), out.size(), got)) {
                return status_frame(wire::Status::NoDevice);
            }
            out.resize(got);
            return status_frame(wire::Status::Ok, out);
        }
        case wire::Op::Text: {
            const std::string text = host_.command(std::string(body, body + size));
            return status_frame(wire::Status::Ok, std::vector<uint8_t>(text.begin(), text.end()));
        }
        case wire::Op::State:
            return status_frame(wire::Status::Ok, wire::encode(host_.state()));
    }
    return status_frame(wire::Status::Malformed);
}

bool SimServer::serve(Connection& c) {
    uint8_t chunk[65536];
    const ssize_t got = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (got <= 0) {
        return false;
    }
    c.in.insert(c.in.end(), chunk, chunk + got);
    for (;;) {
        const long length = wire::frame_length(c.in.data(), c.in.size());
        if (length < 0) {
            return false;  // not our protocol: drop the connection
        }
        if (length == 0 || c.in.size() < static_cast<size_t>(length)) {
            return true;
        }
        const std::vector<uint8_t> reply =
            answer(c.in[4], c.in.data() + wire::kFrameHeader, static_cast<size_t>(length) - wire::kFrameHeader);
        c.in.erase(c.in.begin(), c.in.begin() + length);
        if (!send_all(c.fd, reply.data(), reply.size())) {
            return false;
        }
    }
}

void SimServer::run() {
    while (!stop_ && !host_.shutdown_requested()) {
        std::vector<pollfd> fds;
        fds.push_back({listen_fd_, POLLIN, 0});
        for (const Connection& c : connections_) {
            fds.push_back({c.fd, POLLIN, 0});
        }
        // A bounded wait so that stop() from a signal handler or a thread is seen.
        if (poll(fds.data(), fds.size(), 200) <= 0) {
            continue;
        }
        std::vector<Connection> kept;
        for (size_t i = 0; i < connections_.size(); ++i) {
            Connection& c = connections_[i];
            if ((fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !serve(c)) {
                ::close(c.fd);
            } else {
                kept.push_back(std::move(c));
            }
        }
        connections_ = std::move(kept);
        if ((fds[0].revents & POLLIN) != 0) {
            const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                int one = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                connections_.push_back({fd, {}});
            }
        }
    }
}

}  // namespace sim
