// The HTTP listener over real loopback connections, with this test's own clients and with curl.

#include "server/http/HTTPListener.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

const std::string kPage = "<html><body>Chapter one</body></html>";
const std::string kNotFoundText = "<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>";

// Answers the way the viewer's page service does: one known page, 404 for everything else.
void ServePages(TNetHTTPListener& listener)
{
    listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
        if (request.Document == "/index.htm" || request.Document == "/My Page.htm") {
            auto page = std::make_unique<TMemoryStream>();
            page->WriteString(kPage);
            response.SetResponseCode(200);
            response.ContentStream = std::move(page);
            response.ContentType.clear();
        } else if (request.Document == "/echo") {
            response.ContentText
                = request.Command + "|" + request.RawParams + "|" + request.AuthUsername + "|" + request.AuthPassword;
        } else {
            response.SetResponseCode(404);
            response.ContentText = kNotFoundText;
        }
    };
}

const std::string kPageAnswer = "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Length: "
    + std::to_string(kPage.size()) + "\r\n\r\n" + kPage;

// Runs a command and returns its standard output.
std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

bool CurlInstalled()
{
    return RunCommand("command -v curl").find("curl") != std::string::npos;
}

} // namespace

TEST(HttpLoopback, ConcurrentClientsEachGetTheirWholeAnswer)
{
    TNetHTTPListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    ServePages(listener);
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);

    constexpr int kClients = 8;
    std::vector<std::string> answers(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            LoopbackClient client(port);
            client.Send(i % 2 == 0 ? "GET /index.htm?x=1 HTTP/1.0\r\nHost: a\r\n\r\n" : "GET /nope HTTP/1.0\r\n\r\n");
            answers[static_cast<size_t>(i)] = client.ReadAll();
        });
    }
    for (auto& client : clients)
        client.join();
    const std::string notFound = "HTTP/1.0 404 Not Found\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n"
                                 "Content-Length: 60\r\n\r\n"
        + kNotFoundText;
    for (int i = 0; i < kClients; ++i)
        EXPECT_EQ(answers[static_cast<size_t>(i)], i % 2 == 0 ? kPageAnswer : notFound) << i;
    EXPECT_TRUE(Eventually([&] { return listener.Threads().Count() == 0; }));
}

TEST(HttpLoopback, DestroyingTheListenerEndsRequestsStillBeingRead)
{
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    std::atomic<int> handled { 0 };
    {
        TNetHTTPListener listener(nullptr);
        listener.BoundIP = "127.0.0.1";
        listener.OnCommandGet = [&](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo&) { ++handled; };
        std::atomic<int> connects { 0 };
        listener.OnConnect = [&](TNetServerThread&) { ++connects; };
        const int port = ActivateOnFreePort(listener);
        ASSERT_NE(port, 0);
        for (int i = 0; i < 3; ++i) {
            clients.push_back(std::make_unique<LoopbackClient>(port));
            clients.back()->Send("GET /index.htm HTTP/1.0\r\nHost: a\r\n"); // the header block never ends
        }
        ASSERT_TRUE(Eventually([&] { return connects.load() == 3; }));
    }
    EXPECT_EQ(handled.load(), 0);
    for (auto& client : clients)
        EXPECT_EQ(client->ReadAll(), "");
}

TEST(HttpLoopback, CurlAsPeer)
{
    if (!CurlInstalled())
        GTEST_SKIP() << "curl is not installed";
    TNetHTTPListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    ServePages(listener);
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);
    const std::string curl = "curl -s -i --http1.0 --max-time 20 ";
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    EXPECT_EQ(RunCommand(curl + "'" + base + "/index.htm'"), kPageAnswer);
    EXPECT_EQ(RunCommand(curl + "'" + base + "/My%20Page.htm'").find("404 Not Found"), 9u); // no decoding
    const std::string posted = RunCommand(curl + "-u 'reader:se:cret' --data 'a=b&c=d' '" + base + "/echo'");
    EXPECT_TRUE(posted.ends_with("\r\n\r\nPOST|a=b&c=d|reader|se:cret")) << posted;
    const std::string head = RunCommand(curl + "-I '" + base + "/index.htm'");
    EXPECT_EQ(head, kPageAnswer.substr(0, kPageAnswer.size() - kPage.size()));
}
