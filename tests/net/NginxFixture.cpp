#include "net/NginxFixture.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace vostest {

namespace {

const char* const kNginx = "/usr/sbin/nginx";

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

bool WriteFile(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

unsigned short FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    unsigned short port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    close(fd);
    return port;
}

}  // namespace

NginxServer::NginxServer() : m_port(0), m_pid(-1) {}

NginxServer::~NginxServer() { Stop(); }

std::string NginxServer::PathFor(size_t size) { return "/f" + std::to_string(size) + ".bin"; }

char NginxServer::ByteAt(size_t size, size_t offset) {
    // Varies with both the file and the position, with a period that is no
    // power of two, so that a chunk delivered at the wrong offset shows.
    return static_cast<char>((offset * 131 + offset / 251 + size * 7) & 0xFF);
}

bool NginxServer::Matches(const std::string& path, size_t offset, const char* data, size_t len) {
    if (path.size() < 7 || path.compare(0, 2, "/f") != 0) return false;
    const size_t size = strtoul(path.c_str() + 2, nullptr, 10);
    if (offset + len > size) return false;
    for (size_t i = 0; i < len; ++i) {
        if (data[i] != ByteAt(size, offset + i)) return false;
    }
    return true;
}

bool NginxServer::Start(const std::vector<size_t>& sizes) {
    if (access(kNginx, X_OK) != 0) {
        m_why = std::string(kNginx) + " is not installed";
        return false;
    }
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/vos-nginx-XXXXXX";
    if (mkdtemp(&templ[0]) == nullptr) {
        m_why = "no temporary directory";
        return false;
    }
    m_dir = templ;
    // The server's workers may run under another user: let them in.
    chmod(m_dir.c_str(), 0755);
    const std::string root = m_dir + "/www";
    mkdir(root.c_str(), 0755);
    mkdir((m_dir + "/tmp").c_str(), 0755);
    for (size_t size : sizes) {
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i) content[i] = ByteAt(size, i);
        if (!WriteFile(root + PathFor(size), content)) {
            m_why = "cannot write the document root";
            return false;
        }
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        const unsigned short port = FreePort();
        if (port != 0 && Launch(port)) {
            m_port = port;
            return true;
        }
    }
    if (m_why.empty()) m_why = "nginx did not start";
    return false;
}

bool NginxServer::Launch(unsigned short port) {
    const std::string conf = m_dir + "/nginx.conf";
    const std::string t = m_dir + "/tmp";
    const std::string text =
        "daemon off;\n"
        "master_process off;\n"
        "worker_processes 1;\n"
        "pid " + m_dir + "/nginx.pid;\n"
        "error_log " + m_dir + "/error.log warn;\n"
        "events { worker_connections 2048; }\n"
        "http {\n"
        "  access_log off;\n"
        "  default_type application/octet-stream;\n"
        "  client_body_temp_path " + t + "/body;\n"
        "  proxy_temp_path " + t + "/proxy;\n"
        "  fastcgi_temp_path " + t + "/fastcgi;\n"
        "  uwsgi_temp_path " + t + "/uwsgi;\n"
        "  scgi_temp_path " + t + "/scgi;\n"
        "  keepalive_requests 1000000;\n"
        "  keepalive_timeout 120s;\n"
        "  server {\n"
        "    listen 127.0.0.1:" + std::to_string(port) + ";\n"
        "    root " + m_dir + "/www;\n"
        "  }\n"
        "}\n";
    if (!WriteFile(conf, text)) {
        m_why = "cannot write the configuration";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The server's start-up chatter goes to its log, not into the test output.
    const std::string out = m_dir + "/stderr.log";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::string prefix = m_dir + "/";
    const char* argv[] = {kNginx, "-p", prefix.c_str(), "-c", conf.c_str(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, kNginx, &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_why = std::string("cannot start nginx: ") + strerror(rc);
        return false;
    }
    m_pid = pid;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            m_pid = -1;
            m_why = "nginx exited at start (see its error log)";
            return false;
        }
        if (Answers(port)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
    m_why = "nginx did not answer within 20 s";
    return false;
}

bool NginxServer::Answers(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    close(fd);
    return ok;
}

void NginxServer::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
    }
    if (!m_dir.empty()) {
        nftw(m_dir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
        m_dir.clear();
    }
}

}  // namespace vostest
