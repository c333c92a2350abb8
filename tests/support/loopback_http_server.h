#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace torvane::test {

// A small HTTP/1.1 server on 127.0.0.1 and a free port, serving canned replies by path and
// recording every request target (path and query) it receives. One connection at a time.
class LoopbackHttpServer {
public:
    struct Reply {
        int status = 200;
        std::string body;
        // Accept the request and never answer: what a hung server does.
        bool silent = false;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // "http://127.0.0.1:PORT", no trailing '/'.
    std::string address() const;
    // Paths without a reply get 404.
    void setReply(const std::string& path, Reply reply);
    std::vector<std::string> requests() const;

private:
    void serve();
    void answer(int connection);

    int listener_ = -1;
    int stopEvent_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::vector<std::string> requests_;
    std::vector<int> heldConnections_;
    std::thread thread_;
};

}  // namespace torvane::test
