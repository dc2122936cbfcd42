// Captures what the process writes to one of its descriptors (standard error
// for the Android log, standard output to prove that nothing goes there).
#ifndef VOS_TESTS_LOG_CAPTURE_H
#define VOS_TESTS_LOG_CAPTURE_H

#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace logtest {

class FdCapture {
public:
    explicit FdCapture(int fd) : m_fd(fd), m_saved(-1), m_file(tmpfile()) {
        fflush(nullptr);
        if (m_file == nullptr) return;
        m_saved = dup(fd);
        dup2(fileno(m_file), fd);
    }
    ~FdCapture() { Stop(); }

    // Restores the descriptor and gives everything written meanwhile.
    std::string Stop() {
        if (m_saved < 0) return m_text;
        fflush(nullptr);
        dup2(m_saved, m_fd);
        close(m_saved);
        m_saved = -1;
        rewind(m_file);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), m_file)) > 0) m_text.append(buf, n);
        fclose(m_file);
        m_file = nullptr;
        return m_text;
    }

private:
    int m_fd;
    int m_saved;
    FILE* m_file;
    std::string m_text;
};

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace logtest

#endif  // VOS_TESTS_LOG_CAPTURE_H
