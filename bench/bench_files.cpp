// Sequential transfers through CVFile beside the C library's streams, and
// the logger's file entries beside fprintf + fflush.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "vos/vos.h"

using namespace _palex_zu;

namespace {

const size_t kFileBytes = 64u << 20;
const size_t kPiece = 64u << 10;
const int kLogMessages = 100000;

std::string ScratchDir() {
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vos-bench-XXXXXX";
    char* made = mkdtemp(&templ[0]);
    return made != nullptr ? made : "/tmp";
}

const std::string& Dir() {
    static const std::string dir = ScratchDir();
    return dir;
}

CVString Path(const char* name) { return CVString((Dir() + "/" + name).c_str()); }

std::vector<char>& Piece() {
    static std::vector<char> piece(kPiece, 'p');
    return piece;
}

// A 64 MiB file that the read cases share.
const std::string& ReadSource() {
    static const std::string path = [] {
        const std::string p = Dir() + "/source.bin";
        FILE* f = fopen(p.c_str(), "wb");
        for (size_t done = 0; f != nullptr && done < kFileBytes; done += kPiece) fwrite(Piece().data(), 1, kPiece, f);
        if (f != nullptr) fclose(f);
        return p;
    }();
    return path;
}

void BM_SequentialWrite_CVFile(benchmark::State& state) {
    const CVString path = Path("write_cvfile.bin");
    for (auto _ : state) {
        CVFile file;
        if (!file.Open(path, VFILE_OPEN_WRITE | VFILE_OPEN_CREATE)) {
            state.SkipWithError("open failed");
            return;
        }
        for (size_t done = 0; done < kFileBytes; done += kPiece) file.Write(Piece().data(), kPiece);
        file.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileBytes));
}

void BM_SequentialWrite_fwrite(benchmark::State& state) {
    const std::string path = Dir() + "/write_fwrite.bin";
    for (auto _ : state) {
        FILE* f = fopen(path.c_str(), "w+b");
        if (f == nullptr) {
            state.SkipWithError("open failed");
            return;
        }
        for (size_t done = 0; done < kFileBytes; done += kPiece) fwrite(Piece().data(), 1, kPiece, f);
        fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileBytes));
}

void BM_SequentialRead_CVFile(benchmark::State& state) {
    const CVString path(ReadSource().c_str());
    std::vector<char> buf(kPiece);
    for (auto _ : state) {
        CVFile file;
        if (!file.Open(path, VFILE_OPEN_READ)) {
            state.SkipWithError("open failed");
            return;
        }
        while (file.Read(buf.data(), kPiece) == kPiece) {
        }
        benchmark::DoNotOptimize(buf.data());
        file.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileBytes));
}

void BM_SequentialRead_fread(benchmark::State& state) {
    const std::string& path = ReadSource();
    std::vector<char> buf(kPiece);
    for (auto _ : state) {
        FILE* f = fopen(path.c_str(), "rb");
        if (f == nullptr) {
            state.SkipWithError("open failed");
            return;
        }
        while (fread(buf.data(), 1, kPiece, f) == kPiece) {
        }
        benchmark::DoNotOptimize(buf.data());
        fclose(f);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileBytes));
}

void LogPrint(CVLog::ELOGPRIORITY priority, const char* format, ...) {
    va_list args;
    va_start(args, format);
    CVLog::Print(priority, format, args);
    va_end(args);
}

// Sends standard error, where the host's Android log goes, to /dev/null for
// the lifetime of the object.
class QuietStderr {
public:
    QuietStderr() : m_saved(dup(STDERR_FILENO)) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(null);
    }
    ~QuietStderr() {
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
    }

private:
    int m_saved;
};

// priority: ELOG_INFO also writes each message to the Android log (standard
// error, here /dev/null); 7 writes the file entry only.
void BM_LogToFile_CVLogPrint(benchmark::State& state) {
    const CVLog::ELOGPRIORITY priority = static_cast<CVLog::ELOGPRIORITY>(state.range(0));
    const std::string path = Dir() + "/cvlog.log";
    for (auto _ : state) {
        state.PauseTiming();
        remove(path.c_str());
        CVLog::InitFilePath(CVString(path.c_str()));
        QuietStderr quiet;
        state.ResumeTiming();
        for (int i = 0; i < kLogMessages; ++i) LogPrint(priority, "message %d of the run\n", i);
        state.PauseTiming();
        CVLog::UnInitFilePath();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLogMessages);
}

void BM_LogToFile_fprintf(benchmark::State& state) {
    const std::string path = Dir() + "/fprintf.log";
    for (auto _ : state) {
        state.PauseTiming();
        remove(path.c_str());
        FILE* f = fopen(path.c_str(), "a+b");
        state.ResumeTiming();
        for (int i = 0; i < kLogMessages; ++i) {
            fprintf(f, "message %d of the run\n", i);
            fflush(f);
        }
        state.PauseTiming();
        fclose(f);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLogMessages);
}

}  // namespace

BENCHMARK(BM_SequentialWrite_CVFile)->Name("BM_SequentialWrite/CVFile")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialWrite_fwrite)->Name("BM_SequentialWrite/fwrite")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialRead_CVFile)->Name("BM_SequentialRead/CVFile")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialRead_fread)->Name("BM_SequentialRead/fread")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogToFile_CVLogPrint)
    ->Name("BM_LogToFile/CVLogPrint")
    ->Arg(CVLog::ELOG_INFO)
    ->Arg(7)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogToFile_fprintf)->Name("BM_LogToFile/fprintf_fflush")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char* name : {"source.bin", "write_cvfile.bin", "write_fwrite.bin", "cvlog.log", "fprintf.log"}) {
        remove((Dir() + "/" + name).c_str());
    }
    rmdir(Dir().c_str());
    return 0;
}
