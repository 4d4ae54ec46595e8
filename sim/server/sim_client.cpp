// The simulator client over TCP: POSIX sockets natively, Winsock in the Win64 build.
#include "sim_client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace sim {

namespace {

#ifdef _WIN32
bool start_sockets() {
    static bool started = false;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    return started;
}
using NativeSocket = SOCKET;
void close_socket(intptr_t s) {
    closesocket(static_cast<SOCKET>(s));
}
long send_some(intptr_t s, const uint8_t* p, size_t n) {
    return send(static_cast<SOCKET>(s), reinterpret_cast<const char*>(p), static_cast<int>(n), 0);
}
long recv_some(intptr_t s, uint8_t* p, size_t n) {
    return recv(static_cast<SOCKET>(s), reinterpret_cast<char*>(p), static_cast<int>(n), 0);
}
constexpr intptr_t kNoSocket = static_cast<intptr_t>(INVALID_SOCKET);
#else
bool start_sockets() {
    return true;
}
using NativeSocket = int;
void close_socket(intptr_t s) {
    ::close(static_cast<int>(s));
}
long send_some(intptr_t s, const uint8_t* p, size_t n) {
    return ::send(static_cast<int>(s), p, n, MSG_NOSIGNAL);
}
long recv_some(intptr_t s, uint8_t* p, size_t n) {
    return ::recv(static_cast<int>(s), p, n, 0);
}
constexpr intptr_t kNoSocket = -1;
#endif

bool send_all(intptr_t s, const uint8_t* p, size_t n) {
    while (n > 0) {
        const long sent = send_some(s, p, n);
        if (sent <= 0) {
            return false;
        }
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool recv_all(intptr_t s, uint8_t* p, size_t n) {
    while (n > 0) {
        const long got = recv_some(s, p, n);
        if (got <= 0) {
            return false;
        }
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

// A Unix path from the environment as this process can open it: under Wine a path starting
// with '/' would land on drive C:, while Z: is the Unix root.
std::string host_path(const char* dir, const char* leaf) {
    std::string path = dir;
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
#endif
    return path + "/" + leaf;
}

}  // namespace

SimClient::~SimClient() {
    close();
}

uint16_t SimClient::port_from_env() {
    long port = 0;
    if (const char* text = std::getenv("BRG40_SIM_PORT")) {
        port = std::strtol(text, nullptr, 10);
    } else if (const char* dir = std::getenv("BRG40_SIM_DIR")) {
        const std::string path = host_path(dir, "port");
        if (FILE* f = std::fopen(path.c_str(), "r")) {
            if (std::fscanf(f, "%ld", &port) != 1) {
                port = 0;
            }
            std::fclose(f);
        }
    }
    return port > 0 && port < 65536 ? static_cast<uint16_t>(port) : 0;
}

bool SimClient::connect_from_env() {
    const uint16_t port = port_from_env();
    return port != 0 && connect(port);
}

bool SimClient::connect(uint16_t port) {
    close();
    if (!start_sockets()) {
        return false;
    }
#ifdef _WIN32
    const intptr_t s = static_cast<intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
#else
    const intptr_t s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
#endif
    if (s == kNoSocket) {
        return false;
    }
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(static_cast<NativeSocket>(s), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close_socket(s);
        return false;
    }
    // Each request is one small frame waiting for its answer: do not hold it back.
    int one = 1;
    setsockopt(static_cast<NativeSocket>(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    socket_ = s;
    return true;
}

void SimClient::close() {
    if (socket_ != kNoSocket) {
        close_socket(socket_);
        socket_ = kNoSocket;
    }
}

bool SimClient::connected() const {
    return socket_ != kNoSocket;
}

bool SimClient::exchange(wire::Op op,
                         const std::vector<uint8_t>& body,
                         wire::Status& status,
                         std::vector<uint8_t>& reply) {
    if (!connected()) {
        return false;
    }
    const std::vector<uint8_t> request = wire::frame(static_cast<uint8_t>(op), body);
    uint8_t header[wire::kFrameHeader];
    if (!send_all(socket_, request.data(), request.size()) || !recv_all(socket_, header, sizeof header)) {
        close();
        return false;
    }
    const long length = wire::frame_length(header, sizeof header);
    if (length < static_cast<long>(wire::kFrameHeader)) {
        close();
        return false;
    }
    status = static_cast<wire::Status>(header[4]);
    reply.resize(static_cast<size_t>(length) - wire::kFrameHeader);
    if (!recv_all(socket_, reply.data(), reply.size())) {
        close();
        return false;
    }
    return true;
}

bool SimClient::scsi(int lpt, const ScsiRequest& request, ScsiReply& reply, const std::string& block_error) {
    wire::ScsiCall call;
    call.lpt = lpt;
    call.request = request;
    call.has_data = request.data != nullptr;
    if (call.has_data) {
        call.data.assign(request.data, request.data + request.transfer_length);
    }
    call.block_error = block_error;
    wire::Status status;
    std::vector<uint8_t> body;
    wire::ScsiOutcome outcome;
    if (!exchange(wire::Op::Scsi, wire::encode(call), status, body) || status != wire::Status::Ok ||
        !wire::decode(body.data(), body.size(), outcome)) {
        return false;
    }
    reply = outcome.reply;
    if (call.has_data && outcome.has_data && outcome.data.size() == request.transfer_length && !outcome.data.empty()) {
        std::memcpy(request.data, outcome.data.data(), outcome.data.size());
    }
    return true;
}

bool SimClient::pipe_write(int lpt, const uint8_t* data, size_t size) {
    wire::Status status;
    std::vector<uint8_t> body;
    std::vector<uint8_t> request;
    wire::Writer writer(request);
    writer.u8(static_cast<uint8_t>(lpt));
    writer.bytes(data, size);
    return exchange(wire::Op::PipeWrite, request, status, body) && status == wire::Status::Ok;
}

bool SimClient::pipe_read(int lpt, uint8_t* out, size_t size, size_t& got) {
    got = 0;
    std::vector<uint8_t> request;
    wire::Writer writer(request);
    writer.u8(static_cast<uint8_t>(lpt));
    writer.u32(static_cast<uint32_t>(size));
    wire::Status status;
    std::vector<uint8_t> body;
    if (!exchange(wire::Op::PipeRead, request, status, body) || status != wire::Status::Ok || body.size() > size) {
        return false;
    }
    if (!body.empty()) {
        std::memcpy(out, body.data(), body.size());
    }
    got = body.size();
    return true;
}

bool SimClient::state(wire::BenchState& out) {
    wire::Status status;
    std::vector<uint8_t> body;
    return exchange(wire::Op::State, {}, status, body) && status == wire::Status::Ok &&
           wire::decode(body.data(), body.size(), out);
}

std::string SimClient::command(const std::string& line) {
    wire::Status status;
    std::vector<uint8_t> body;
    if (!exchange(wire::Op::Text, std::vector<uint8_t>(line.begin(), line.end()), status, body)) {
        return "";
    }
    return std::string(body.begin(), body.end());
}

}  // namespace sim
