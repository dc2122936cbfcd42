// Step 7: an HTTP fetch through the socket manager.
#include <string>

#include "HttpGet.h"

#include "Tour.h"

using namespace _palex_zu;

namespace vostour {

void Network(const Options& options) {
    Step("Fetch a page through the socket manager");
    if (options.url.empty()) {
        Say("skipped: no --url given (scripts/demo starts a local HTTP server and passes one)");
        return;
    }
    vosexample::Url url;
    std::string why;
    if (!vosexample::ParseUrl(options.url, url, why)) Fail("%s: %s", options.url.c_str(), why.c_str());
    CVSocketMan manager;
    manager.SetSocketMax(4);
    if (manager.StartSocketProc() != 1) Fail("the socket worker did not start");
    const long startMs = Ms();
    vosexample::HttpGet fetch(
        url, "vostour",
        [startMs](int state, bool announced) {
            Say("[%5ld ms] state %2d  %-24s%s", Ms() - startMs, state, vosexample::SocketStateName(state),
                announced ? "(callback on the socket worker)" : "(seen by polling)");
        },
        Signal);
    fetch.Socket().SetTimeOut(10000);
    manager.AddSocket(&fetch.Socket());
    Say("GET %s from %s port %u; the worker makes a pass every 10 ms", url.path.c_str(), url.host.c_str(), url.port);
    fetch.Start();
    // Poll the state too: the worker announces only some of its changes.
    const long limit = Ms() + 30000;
    while (!fetch.Done() && Ms() < limit) {
        fetch.Poll();
        WaitUntil([&] { return fetch.Done(); }, 2);
    }
    manager.RemoveSocket(&fetch.Socket());
    manager.UnInitSocketMan();
    if (!fetch.Done()) Fail("no answer from %s:%u in 30 s", url.host.c_str(), url.port);
    if (fetch.Failure() != 0) Fail("the fetch ended with: %s", vosexample::SocketStateName(fetch.Failure()));
    const std::string status = fetch.Status();
    const std::string body = fetch.Body();
    if (status.compare(0, 12, "HTTP/1.1 200") != 0) Fail("the server answered \"%s\"", status.c_str());
    size_t titleAt = body.find("<title>");
    size_t titleEnd = body.find("</title>");
    const std::string title =
        titleAt != std::string::npos && titleEnd != std::string::npos ? body.substr(titleAt + 7, titleEnd - titleAt - 7)
                                                                       : std::string("(no title)");
    Say("%s, %zu bytes of body; title \"%s\"", status.c_str(), body.size(), title.c_str());
    Say("socket removed, worker stopped, resolver and name cache released (UnInitSocketMan)");
    LogLine(CVLog::ELOG_INFO, "vostour: fetched %s", options.url.c_str());
}

}  // namespace vostour
