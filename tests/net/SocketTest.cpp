// CVSocket on its own: the client-side transitions and the action queue, with
// a socket pair standing in for the descriptor the worker would open.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

// Reaches the queue and the descriptor the worker would otherwise own.
class ProbeSocket : public CVSocket {
public:
    std::vector<int> Queue() {
        std::vector<int> q;
        for (int i = 0; i < m_arrCmds.GetSize(); ++i) q.push_back(m_arrCmds[i]);
        return q;
    }
    void Adopt(int fd) { m_nSocket = fd; }
    std::string Host() const { return m_szHost; }
    unsigned short Port() const { return m_usPort; }
    uint32_t LastActive() const { return m_ulLastActive; }
    void SetLastActive(uint32_t t) { m_ulLastActive = t; }
};

// A connected pair: one end adopted by the socket, the other kept as the peer.
struct Pair {
    int mine = -1;
    int peer = -1;
    Pair() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            mine = fds[0];
            peer = fds[1];
            fcntl(mine, F_SETFL, fcntl(mine, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pair() {
        if (peer >= 0) close(peer);
    }
};

int NoOp(void*) { return 0; }

}  // namespace

TEST(Socket, NewSocketHasNoDescriptorAndDefaultTimeOut) {
    ProbeSocket s;
    EXPECT_EQ(ESOCKET_IDLE, s.GetSocketState());
    EXPECT_EQ(-1, s.GetSocketHandle());
    EXPECT_EQ(nullptr, s.GetObj());
    EXPECT_EQ(nullptr, s.GetSocketMan());
    EXPECT_TRUE(s.Queue().empty());
    EXPECT_EQ(10000ul, s.SetTimeOut(3000));
    EXPECT_EQ(3000ul, s.SetTimeOut(500));
}

TEST(Socket, SendAndRecvWithoutDescriptorFailAndKeepTheState) {
    ProbeSocket s;
    char buf[8];
    for (_ESOCKETSTATES st : {ESOCKET_IDLE, ESOCKET_CONNECTED, ESOCKET_DATA_READY}) {
        s.SetSocketState(st);
        EXPECT_EQ(-1, s.Send("x", 1));
        EXPECT_EQ(-1, s.Recv(buf, sizeof(buf)));
        EXPECT_EQ(st, s.GetSocketState());
    }
}

TEST(Socket, CreateConnectCloseQueueActions) {
    ProbeSocket s;
    int ctx = 0;
    EXPECT_EQ(1, s.Create(VSOCK_TCP, &ctx, NoOp));
    EXPECT_EQ(&ctx, s.GetObj());
    CVString host("example.invalid");
    EXPECT_EQ(0, s.Connect(host, 8080));
    EXPECT_EQ((std::vector<int>{ACTION_CREATE, ACTION_CONNECT}), s.Queue());
    EXPECT_EQ("example.invalid", s.Host());
    EXPECT_EQ(8080, s.Port());
    s.Close();
    EXPECT_EQ((std::vector<int>{ACTION_CLOSE}), s.Queue()) << "Close drops what was pending";

    // The per-pass hook's context replaces the one given to Create.
    int other = 0;
    s.SetHttpTaskProcCB(&other, NoOp);
    EXPECT_EQ(&other, s.GetObj());
}

TEST(Socket, KeptConnectionIsReusedOnlyForTheSameHostAndPort) {
    ProbeSocket s;
    CVString host("127.0.0.1");
    s.Create(VSOCK_TCP, nullptr, NoOp);
    s.Connect(host, 80);
    s.Close();
    s.SetSocketState(ESOCKET_KEEPALIVE);

    s.Create(VSOCK_TCP, nullptr, NoOp);
    EXPECT_EQ(ESOCKET_KEEPALIVE, s.GetSocketState()) << "Create keeps a kept connection";
    CVString same("127.0.0.1");
    s.Connect(same, 80);
    EXPECT_EQ(ESOCKET_KEEPALIVE, s.GetSocketState());
    EXPECT_EQ((std::vector<int>{ACTION_CLOSE, ACTION_CREATE, ACTION_CONNECT}), s.Queue());

    s.Connect(same, 81);
    EXPECT_EQ(ESOCKET_IDLE, s.GetSocketState()) << "another port starts afresh";
    EXPECT_EQ(81, s.Port());

    s.SetSocketState(ESOCKET_KEEPALIVE);
    CVString otherHost("localhost");
    s.Connect(otherHost, 81);
    EXPECT_EQ(ESOCKET_IDLE, s.GetSocketState()) << "another host starts afresh";
    EXPECT_EQ("localhost", s.Host());
}

TEST(Socket, HostNamesThatDoNotFitAreRefusedNotCut) {
    ProbeSocket s;
    const std::string fits(127, 'a');
    CVString longest(fits.c_str());
    s.Connect(longest, 1);
    EXPECT_EQ(fits, s.Host());

    const std::string tooLong(128, 'b');
    CVString refused(tooLong.c_str());
    s.Connect(refused, 1);
    EXPECT_EQ("", s.Host()) << "no cut name is kept";

    // A kept connection is not reused for a name that was refused.
    s.SetSocketState(ESOCKET_KEEPALIVE);
    s.Connect(refused, 1);
    EXPECT_EQ(ESOCKET_IDLE, s.GetSocketState());
}

TEST(Socket, HostNamesAreMeasuredInTheirGbkForm) {
    ASSERT_EQ(1, CVCMMap::GlobalInit());
    // Each of these characters takes two GBK bytes: 63 fit with the
    // terminating zero, 64 do not.
    std::u16string fits, tooLong;
    for (int i = 0; i < 63; ++i) fits += u'\u4e2d';
    tooLong = fits + u'\u4e2d';
    ProbeSocket s;
    CVString accepted(vostest::Units(fits));
    s.Connect(accepted, 80);
    const std::string stored = s.Host();
    CVString refused(vostest::Units(tooLong));
    s.Connect(refused, 80);
    const std::string afterRefusal = s.Host();
    CVCMMap::GlobalUnInit();
    EXPECT_EQ(126u, stored.size());
    EXPECT_EQ("\xd6\xd0", stored.substr(0, 2)) << "stored as GBK";
    EXPECT_EQ("", afterRefusal);
}

TEST(Socket, SecondSendWhileSendingIsRefused) {
    Pair pair;
    ASSERT_GE(pair.mine, 0);
    ProbeSocket s;
    s.Adopt(pair.mine);
    s.SetSocketState(ESOCKET_CONNECTED);
    const uint32_t before = V_GetTickCount();
    EXPECT_EQ(5, s.Send("hello", 5));
    EXPECT_EQ(ESOCKET_SENDING, s.GetSocketState());
    EXPECT_LE(s.LastActive() - before, 5000u);
    EXPECT_EQ(-1, s.Send("again", 5));
    char buf[16];
    EXPECT_EQ(5, recv(pair.peer, buf, sizeof(buf), MSG_DONTWAIT)) << "the second send sent nothing";
}

TEST(Socket, SendToAVanishedPeerFailsWithoutSignal) {
    Pair pair;
    ASSERT_GE(pair.mine, 0);
    close(pair.peer);
    pair.peer = -1;
    struct sigaction old;
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, &old);  // a SIGPIPE would end the test process
    ProbeSocket s;
    s.Adopt(pair.mine);
    s.SetSocketState(ESOCKET_CONNECTED);
    EXPECT_EQ(-1, s.Send("x", 1));
    EXPECT_EQ(EPIPE, errno);
    EXPECT_EQ(ESOCKET_SENDING, s.GetSocketState());
    sigaction(SIGPIPE, &old, nullptr);
}

TEST(Socket, RecvWalksTheWaitStates) {
    Pair pair;
    ASSERT_GE(pair.mine, 0);
    ProbeSocket s;
    s.Adopt(pair.mine);
    char buf[16];

    // From a quiet connection: the wait starts, and its clock with it.
    s.SetSocketState(ESOCKET_CONNECTED);
    s.SetLastActive(V_GetTickCount() - 60000);
    EXPECT_EQ(-2, s.Recv(buf, sizeof(buf)));
    EXPECT_EQ(ESOCKET_RECV_WAIT, s.GetSocketState());
    EXPECT_LT(V_GetTickCount() - s.LastActive(), 5000u) << "the receive clock starts with the wait";
    EXPECT_EQ(-1, s.Recv(buf, sizeof(buf))) << "nothing signalled yet";

    // Signalled but nothing there: keep waiting, no error.
    s.SetSocketState(ESOCKET_DATA_READY);
    EXPECT_EQ(-1, s.Recv(buf, sizeof(buf)));
    EXPECT_EQ(ESOCKET_RECV_WAIT, s.GetSocketState());
    EXPECT_EQ(0, errno);

    ASSERT_EQ(3, send(pair.peer, "abc", 3, 0));
    s.SetSocketState(ESOCKET_DATA_READY);
    EXPECT_EQ(3, s.Recv(buf, sizeof(buf)));
    EXPECT_EQ(std::string("abc"), std::string(buf, 3));
    EXPECT_EQ(ESOCKET_RECV_WAIT, s.GetSocketState());

    close(pair.peer);
    pair.peer = -1;
    s.SetSocketState(ESOCKET_DATA_READY);
    EXPECT_EQ(0, s.Recv(buf, sizeof(buf))) << "peer closed";
    EXPECT_EQ(ESOCKET_RECV_ERROR, s.GetSocketState());
}

TEST(Socket, DestructionClosesTheDescriptor) {
    Pair pair;
    ASSERT_GE(pair.mine, 0);
    {
        ProbeSocket s;
        s.Adopt(pair.mine);
    }
    errno = 0;
    EXPECT_EQ(-1, fcntl(pair.mine, F_GETFD));
    EXPECT_EQ(EBADF, errno);
}
