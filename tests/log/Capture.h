// Captures what the process writes to one of its descriptors (standard error
// for the Android log, standard output to prove that nothing goes there), and
// reads the Android log's lines back.
#ifndef VOS_TESTS_LOG_CAPTURE_H
#define VOS_TESTS_LOG_CAPTURE_H

#include <stdio.h>
#include <unistd.h>

#include <regex>
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

// Off a device the Android log writes each entry to standard error as
//   TAG P MM-DD HH:MM:SS PID TID TEXT
// Each such line of this process becomes "P/TAG: TEXT"; a line of another
// form (the rest of a text that holds line breaks) becomes "+LINE", and a
// line from another process is marked so that it cannot match.
inline std::string AndroidLog(const std::string& captured) {
    static const std::regex entry("(\\S*) (.) \\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d +(\\d+) +\\d+ (.*)");
    std::string out;
    for (const std::string& line : Lines(captured)) {
        std::smatch m;
        if (!std::regex_match(line, m, entry)) {
            out += "+" + line + "\n";
        } else if (std::stol(m[3].str()) != static_cast<long>(getpid())) {
            out += "<pid " + m[3].str() + "> " + line + "\n";
        } else {
            out += m[2].str() + "/" + m[1].str() + ": " + m[4].str() + "\n";
        }
    }
    return out;
}

}  // namespace logtest

#endif  // VOS_TESTS_LOG_CAPTURE_H
