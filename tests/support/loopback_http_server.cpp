#include "support/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace torvane::test {
namespace {

// Reads until the end of the request head, or until the stop event fires.
std::string readRequestHead(int connection, int stopEvent) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd fds[2] = {{connection, POLLIN, 0}, {stopEvent, POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN) != 0) return {};
        const ssize_t n = ::read(connection, buffer, sizeof buffer);
        if (n <= 0) return head;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    return head;
}

void writeAll(int connection, const std::string& bytes) {
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t n = ::send(connection, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
        if (n <= 0) return;
        written += static_cast<std::size_t>(n);
    }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    stopEvent_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopEvent_, &one, sizeof one);
    thread_.join();
    for (const int connection : heldConnections_) ::close(connection);
    ::close(listener_);
    ::close(stopEvent_);
}

std::string LoopbackHttpServer::address() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void LoopbackHttpServer::setReply(const std::string& path, Reply reply) {
    const std::lock_guard lock(mutex_);
    replies_[path] = std::move(reply);
}

std::vector<std::string> LoopbackHttpServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::serve() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopEvent_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) return;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) answer(connection);
    }
}

void LoopbackHttpServer::answer(int connection) {
    const std::string head = readRequestHead(connection, stopEvent_);
    // "GET /version.php?ver=7&a=1 HTTP/1.1"
    const std::size_t targetStart = head.find(' ') + 1;
    const std::size_t targetEnd = head.find(' ', targetStart);
    if (targetStart == 0 || targetEnd == std::string::npos) {
        ::close(connection);
        return;
    }
    const std::string target = head.substr(targetStart, targetEnd - targetStart);
    Reply reply{404, "not found", false};
    {
        const std::lock_guard lock(mutex_);
        requests_.push_back(target);
        if (const auto found = replies_.find(target.substr(0, target.find('?'))); found != replies_.end()) {
            reply = found->second;
        }
    }
    if (reply.silent) {
        heldConnections_.push_back(connection);
        return;
    }
    writeAll(connection, "HTTP/1.1 " + std::to_string(reply.status) + " Reply\r\nContent-Length: " +
                             std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body);
    ::close(connection);
}

}  // namespace torvane::test
