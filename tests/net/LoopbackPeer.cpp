#include "net/LoopbackPeer.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace vostest {

namespace {

int ListenOn(int backlog, unsigned short& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// Waits up to ms for fd to become readable.
bool Readable(int fd, int ms) {
    struct pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

bool SendAll(int fd, const char* data, size_t len) {
    while (len > 0) {
        const ssize_t n = send(fd, data, len, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

const std::string& LoopbackPeer::Body() {
    static const std::string body = [] {
        std::string b;
        for (int i = 0; i < 300; ++i) b += static_cast<char>('a' + (i * 7) % 26);
        return b;
    }();
    return body;
}

std::string LoopbackPeer::Response(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: text/plain\r\n\r\n" + body;
}

unsigned short LoopbackPeer::UnusedPort() {
    unsigned short port = 0;
    const int fd = ListenOn(1, port);
    if (fd >= 0) close(fd);
    return port;
}

LoopbackPeer::LoopbackPeer(Mode mode, int dripPauseMs)
    : m_mode(mode),
      m_dripPauseMs(dripPauseMs),
      m_listen(-1),
      m_port(0),
      m_stop(false),
      m_dropRequested(false),
      m_accepted(0),
      m_requests(0) {
    for (int& f : m_fillers) f = -1;
    m_listen = ListenOn(mode == kNeverAccept ? 0 : 64, m_port);
    if (m_listen < 0) {
        m_port = 0;
        return;
    }
    if (mode == kNeverAccept) {
        // Fill the accept queue so that later handshakes go unanswered.
        struct sockaddr_in addr;
        memset(&addr, 0, sizeof(addr));
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(m_port);
        for (int& f : m_fillers) {
            f = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (f >= 0) connect(f, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        }
        return;
    }
    if (mode == kNoRead) {
        const int small = 4096;
        setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
    }
    m_thread = std::thread([this] { Run(); });
}

LoopbackPeer::~LoopbackPeer() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
    for (int f : m_fillers) {
        if (f >= 0) close(f);
    }
    if (m_listen >= 0) close(m_listen);
}

void LoopbackPeer::Run() {
    std::vector<int> open;
    while (!m_stop.load()) {
        if (m_dropRequested.exchange(false)) {
            for (int fd : open) close(fd);
            open.clear();
        }
        if (m_mode == kHttp) {
            std::string push;
            {
                std::lock_guard<std::mutex> hold(m_pushLock);
                push.swap(m_push);
            }
            for (int fd : open) SendAll(fd, push.data(), push.size());
            // One thread serves every connection: poll them all.
            std::vector<struct pollfd> fds;
            fds.push_back({m_listen, POLLIN, 0});
            for (int fd : open) fds.push_back({fd, POLLIN, 0});
            if (poll(fds.data(), fds.size(), 20) <= 0) continue;
            if (fds[0].revents & POLLIN) {
                const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    ++m_accepted;
                    open.push_back(fd);
                }
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buf[4096];
                const ssize_t n = recv(fds[i].fd, buf, sizeof(buf), 0);
                if (n <= 0) {
                    close(fds[i].fd);
                    open.erase(std::find(open.begin(), open.end(), fds[i].fd));
                    continue;
                }
                // One answer per request head received.
                const std::string chunk(buf, static_cast<size_t>(n));
                size_t at = 0;
                while ((at = chunk.find("\r\n\r\n", at)) != std::string::npos) {
                    ++m_requests;
                    at += 4;
                    const std::string answer = Response(Body());
                    SendAll(fds[i].fd, answer.data(), answer.size());
                }
            }
            continue;
        }

        if (!Readable(m_listen, 20)) continue;
        const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++m_accepted;
        if (m_mode == kCloseAtOnce) {
            close(fd);
            continue;
        }
        if (Serve(fd)) {
            open.push_back(fd);
        } else {
            close(fd);
        }
    }
    for (int fd : open) close(fd);
}

bool LoopbackPeer::Serve(int fd) {
    if (m_mode == kNoRead) return true;
    // Read the request head (bounded wait), then act.
    std::string head;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (head.find("\r\n\r\n") == std::string::npos && !m_stop.load() && std::chrono::steady_clock::now() < end) {
        if (!Readable(fd, 20)) continue;
        char buf[1024];
        const ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0) return false;
        head.append(buf, static_cast<size_t>(n));
    }
    if (head.find("\r\n\r\n") == std::string::npos) return false;
    ++m_requests;
    if (m_mode == kSilent) return true;
    const std::string answer = Response(Body());
    if (m_mode == kResetMidResponse) {
        SendAll(fd, answer.data(), answer.size() / 2);
        // Give the half a moment to leave before the reset overtakes it.
        usleep(50000);
        struct linger reset = {1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
        return false;
    }
    if (m_mode == kDrip) {
        for (size_t i = 0; i < answer.size() && !m_stop.load(); ++i) {
            if (!SendAll(fd, answer.data() + i, 1)) return false;
            usleep(static_cast<useconds_t>(m_dripPauseMs) * 1000);
        }
    }
    return true;
}

int OpenDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count - 1;  // the directory's own descriptor
}

std::vector<int> ThreadIds() {
    std::vector<int> ids;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return ids;
    while (struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ids.push_back(atoi(entry->d_name));
    }
    closedir(dir);
    return ids;
}

long ContextSwitches(const std::vector<int>& threads) {
    long total = 0;
    for (int id : threads) {
        const std::string path = "/proc/self/task/" + std::to_string(id) + "/status";
        FILE* file = fopen(path.c_str(), "r");
        if (file == nullptr) continue;
        char line[256];
        while (fgets(line, sizeof(line), file) != nullptr) {
            long value = 0;
            if (sscanf(line, "voluntary_ctxt_switches: %ld", &value) == 1 ||
                sscanf(line, "nonvoluntary_ctxt_switches: %ld", &value) == 1) {
                total += value;
            }
        }
        fclose(file);
    }
    return total;
}

}  // namespace vostest
