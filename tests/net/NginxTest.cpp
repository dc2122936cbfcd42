// Fetches from a real HTTP server (nginx on a loopback port) through the
// socket manager: every size of file, kept and fresh connections, and a load
// of many sockets with every byte checked.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "net/HttpFetch.h"
#include "net/LoopbackPeer.h"
#include "net/NginxFixture.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;
using vostest::HttpFetch;
using vostest::NginxServer;
using vostest::WaitFor;

namespace {

const std::vector<size_t> kSizes = {1024, 4096, 16384, 65536, 262144, 1048576, 4194304};

// The full load runs in every preset (sanitizers and the emulated ARM too).
const int kLoadSockets = 200;
const int kLoadResponses = 10000;

// Mostly small files with a steady share of large ones, 1 KiB to 4 MiB.
size_t MixedSize(int i) {
    const int r = i % 500;
    if (r == 0) return 4194304;
    if (r <= 5) return 1048576;
    if (r <= 20) return 262144;
    if (r <= 70) return 65536;
    if (r <= 200) return 16384;
    if (r <= 350) return 4096;
    return 1024;
}

class NginxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_server = new NginxServer;
        if (!s_server->Start(kSizes)) s_why = s_server->Why();
    }
    static void TearDownTestSuite() {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override {
        if (!s_why.empty()) GTEST_SKIP() << "no HTTP server: " << s_why;
        ASSERT_EQ(1, man.SetSocketMax(kLoadSockets));
        ASSERT_EQ(1, man.StartSocketProc());
    }
    void TearDown() override { man.UnInitSocketMan(); }

    static NginxServer* s_server;
    static std::string s_why;
    CVSocketMan man;
};

NginxServer* NginxTest::s_server = nullptr;
std::string NginxTest::s_why;

std::vector<std::string> AllSizes() {
    std::vector<std::string> paths;
    for (size_t size : kSizes) paths.push_back(NginxServer::PathFor(size));
    return paths;
}

}  // namespace

TEST_F(NginxTest, EverySizeOverOneKeptConnection) {
    HttpFetch fetch("127.0.0.1", s_server->Port(), AllSizes(), HttpFetch::kKeepAlive);
    fetch.SetVerifier(NginxServer::Matches);
    fetch.KeepBodies(true);
    ASSERT_EQ(1, man.AddSocket(&fetch.Socket()));
    fetch.Start();
    ASSERT_TRUE(WaitFor([&] { return fetch.Done(); }, std::chrono::seconds(120))) << fetch.Error();
    ASSERT_FALSE(fetch.Failed()) << fetch.Error();
    ASSERT_EQ(kSizes.size(), fetch.Bodies().size());
    for (size_t i = 0; i < kSizes.size(); ++i) EXPECT_EQ(kSizes[i], fetch.Bodies()[i].size());
    const std::vector<int> used = fetch.Descriptors();
    ASSERT_EQ(kSizes.size(), used.size());
    for (int fd : used) EXPECT_EQ(used[0], fd) << "every request went over the kept descriptor";
    EXPECT_TRUE(WaitFor([&] { return fetch.Socket().GetSocketHandle() == -1; })) << "Close is carried out";
}

TEST_F(NginxTest, FreshConnectionsAndOneStream) {
    HttpFetch fresh("localhost", s_server->Port(), AllSizes(), HttpFetch::kNewConnection);
    HttpFetch stream("127.0.0.1", s_server->Port(), AllSizes(), HttpFetch::kSameStream);
    for (HttpFetch* f : {&fresh, &stream}) {
        f->SetVerifier(NginxServer::Matches);
        ASSERT_EQ(1, man.AddSocket(&f->Socket()));
        f->Start();
    }
    for (HttpFetch* f : {&fresh, &stream}) {
        ASSERT_TRUE(WaitFor([&] { return f->Done(); }, std::chrono::seconds(120))) << f->Error();
        EXPECT_FALSE(f->Failed()) << f->Error();
        EXPECT_EQ(static_cast<int>(kSizes.size()), f->Completed());
    }
}

TEST_F(NginxTest, ManySocketsCheckEveryByte) {
    const int before = vostest::OpenDescriptorCount();
    std::vector<std::unique_ptr<HttpFetch>> fetches;
    for (int s = 0; s < kLoadSockets; ++s) {
        std::vector<std::string> paths;
        for (int i = s; i < kLoadResponses; i += kLoadSockets) paths.push_back(NginxServer::PathFor(MixedSize(i)));
        const HttpFetch::Reuse reuse =
            s % 3 == 0 ? HttpFetch::kKeepAlive : (s % 3 == 1 ? HttpFetch::kSameStream : HttpFetch::kNewConnection);
        fetches.emplace_back(new HttpFetch("127.0.0.1", s_server->Port(), paths, reuse, 128 * 1024));
        fetches.back()->SetVerifier(NginxServer::Matches);
        ASSERT_EQ(1, man.AddSocket(&fetches.back()->Socket()));
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto& f : fetches) f->Start();
    const bool finished = WaitFor(
        [&] {
            for (auto& f : fetches) {
                if (!f->Done()) return false;
            }
            return true;
        },
        std::chrono::seconds(600));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    RecordProperty("load_ms", static_cast<int>(took.count()));
    ASSERT_TRUE(finished);
    int completed = 0;
    for (auto& f : fetches) {
        EXPECT_FALSE(f->Failed()) << f->Error();
        completed += f->Completed();
    }
    EXPECT_EQ(kLoadResponses, completed);

    // Every socket has been closed by the worker and rests idle.
    EXPECT_TRUE(WaitFor([&] {
        for (auto& f : fetches) {
            if (f->Socket().GetSocketHandle() != -1 || f->Socket().GetSocketState() != ESOCKET_IDLE) return false;
        }
        return true;
    }));
    man.RemoveAllSocket();
    fetches.clear();
    EXPECT_EQ(before, vostest::OpenDescriptorCount()) << "descriptors back to where they were";
}
