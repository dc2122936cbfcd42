// A private HTTP server for the socket tests and the benchmark: the system's
// nginx, started on a free loopback port with a configuration, logs and a
// document root written into a fresh temporary directory, serving files of
// known content, and stopped with the object.
#ifndef VOS_TESTS_NET_NGINXFIXTURE_H
#define VOS_TESTS_NET_NGINXFIXTURE_H

#include <stddef.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace vostest {

class NginxServer {
public:
    NginxServer();
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // Writes one file per size (named by PathFor) and starts the server.
    // False, with Why() set, when the server is missing or does not come up.
    bool Start(const std::vector<size_t>& sizes);
    void Stop();
    unsigned short Port() const { return m_port; }
    const std::string& Why() const { return m_why; }

    // The URL path of the file of the given size.
    static std::string PathFor(size_t size);
    // The byte at offset of the file of the given size.
    static char ByteAt(size_t size, size_t offset);
    // True when data equals the file of path from offset on.
    static bool Matches(const std::string& path, size_t offset, const char* data, size_t len);

private:
    bool Launch(unsigned short port);
    bool Answers(unsigned short port);

    std::string m_dir;
    unsigned short m_port;
    pid_t m_pid;
    std::string m_why;
};

}  // namespace vostest

#endif  // VOS_TESTS_NET_NGINXFIXTURE_H
