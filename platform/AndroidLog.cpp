// Host stand-in for the Android system log: every message becomes one line
// "P/TAG: TEXT\n" on standard error, where P is the priority letter (V, D, I,
// W, E) or, for any other priority, its number.
//
// Each line leaves in one write() call so that lines logged by several
// threads at once never interleave. Lines are assembled on the stack; a
// longer one takes a block from the C heap (this file stands in for a system
// library, so it stays outside the library's allocation facade and its
// failure hook), and is cut to the stack buffer if no block can be had.
#include "android/log.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

const size_t kStackLine = 1024;

// The priority as written in front of the tag, with its terminating zero.
void VPriorityText(int prio, char* out, size_t size) {
    static const char kLetters[] = "VDIWE";
    if (prio >= ANDROID_LOG_VERBOSE && prio <= ANDROID_LOG_ERROR) {
        out[0] = kLetters[prio - ANDROID_LOG_VERBOSE];
        out[1] = '\0';
        return;
    }
    snprintf(out, size, "%d", prio);
}

// Writes the whole of data with as few write() calls as the descriptor
// allows: one unless a signal or a full pipe cuts a write short.
ssize_t VWriteAll(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

extern "C" int __android_log_write(int prio, const char* tag, const char* text) {
    if (tag == nullptr) tag = "";
    if (text == nullptr) text = "";

    char prioText[16];
    VPriorityText(prio, prioText, sizeof(prioText));
    const size_t prioLen = strlen(prioText);
    const size_t tagLen = strlen(tag);
    const size_t textLen = strlen(text);
    // "P" "/" "TAG" ": " "TEXT" "\n"
    const size_t lineLen = prioLen + 1 + tagLen + 2 + textLen + 1;

    char stackLine[kStackLine];
    char* line = stackLine;
    size_t capacity = sizeof(stackLine);
    if (lineLen > capacity) {
        char* heap = static_cast<char*>(malloc(lineLen));
        if (heap != nullptr) {
            line = heap;
            capacity = lineLen;
        }
    }

    // Fill the line, cutting the text (never the line break) when the
    // buffer is the stack one and the line does not fit it.
    size_t pos = 0;
    auto put = [&](const char* s, size_t n) {
        const size_t room = capacity - 1 - pos;  // keep one byte for '\n'
        if (n > room) n = room;
        memcpy(line + pos, s, n);
        pos += n;
    };
    put(prioText, prioLen);
    put("/", 1);
    put(tag, tagLen);
    put(": ", 2);
    put(text, textLen);
    line[pos++] = '\n';

    const ssize_t written = VWriteAll(STDERR_FILENO, line, pos);
    if (line != stackLine) free(line);
    return written < 0 ? -EIO : static_cast<int>(written);
}

extern "C" int __android_log_vprint(int prio, const char* tag, const char* fmt, va_list ap) {
    if (fmt == nullptr) return __android_log_write(prio, tag, nullptr);

    char stackText[kStackLine];
    va_list measure;
    va_copy(measure, ap);
    const int needed = vsnprintf(stackText, sizeof(stackText), fmt, measure);
    va_end(measure);
    if (needed < 0) return -EINVAL;
    if (static_cast<size_t>(needed) < sizeof(stackText)) return __android_log_write(prio, tag, stackText);

    char* heap = static_cast<char*>(malloc(static_cast<size_t>(needed) + 1));
    if (heap == nullptr) return __android_log_write(prio, tag, stackText);  // cut, not lost
    vsnprintf(heap, static_cast<size_t>(needed) + 1, fmt, ap);
    const int result = __android_log_write(prio, tag, heap);
    free(heap);
    return result;
}

extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int result = __android_log_vprint(prio, tag, fmt, ap);
    va_end(ap);
    return result;
}
