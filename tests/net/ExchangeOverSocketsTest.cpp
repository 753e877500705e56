// Exchanges over real loopback sockets against the scripted server.

#include "app/MyAppContext.h"
#include "platform/SystemInfo.h"
#include "platform/TcpListener.h"
#include "support/ExchangeDriver.h"
#include "support/RecordingExchange.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ExchangeRecord;
using testsupport::HttpResponse;
using testsupport::RecordingExchange;
using testsupport::RecordingExchangeOptions;
using testsupport::Script;
using testsupport::ScriptedServer;

std::shared_ptr<const StationConnectionData> StationAt(const std::string& host, std::uint16_t port,
                                                       std::string basePath = "/") {
    auto data = std::make_shared<StationConnectionData>(host);
    data->port = port;
    data->basePath = std::move(basePath);
    return data;
}

struct ExchangeRun {
    std::shared_ptr<ExchangeRecord> record = std::make_shared<ExchangeRecord>();
    testsupport::ExchangeOutcome outcome;
};

// Plays `script` once and drives one recording exchange against it.
ExchangeRun Exchange(const Script& script, RecordingExchangeOptions options = {},
                     MyAppContext* context = nullptr,
                     ScriptedServer::Family family = ScriptedServer::Family::IPv4) {
    MyAppContext defaultContext;
    ScriptedServer server(script, family);
    EXPECT_TRUE(server.listening());
    ExchangeRun run;
    RecordingExchange exchange(context ? context : &defaultContext, StationAt(server.host(), server.port()),
                               run.record, std::move(options));
    run.outcome = testsupport::DriveExchange(exchange);
    EXPECT_FALSE(exchange.connected()) << "an ended exchange has closed its socket";
    return run;
}

std::string ChunkedResponse(const std::string& chunks) {
    return HttpResponse(chunks, {"Transfer-Encoding: chunked"});
}

// The User-Agent names the operating system the program runs on ("Linux" or "Windows").
const std::string kExpectedRequest = std::string("GET /test/path?x=1 HTTP/1.1\r\n"
                                                 "HOST: 127.0.0.1\r\n"
                                                 "User-Agent: Vantri/6 (") +
                                     platform::OperatingSystemName() +
                                     ") Vantri/0.19\r\n"
                                     "Connection: Close\r\n"
                                     "\r\n";

TEST(ExchangeRequest, SendsTheRequestLineAndHeadersByteForByte) {
    testsupport::RecordingMessageBoxes boxes;
    MyAppContext context;
    ScriptedServer server(Script().AwaitRequest().Send(HttpResponse("ok")).Close());
    auto record = std::make_shared<ExchangeRecord>();
    RecordingExchangeOptions options;
    options.pathAndQuery = "test/path?x=1";
    RecordingExchange exchange(&context, StationAt(server.host(), server.port()), record, options);
    auto outcome = testsupport::DriveExchange(exchange);
    ASSERT_TRUE(outcome.connected);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(server.request(0), kExpectedRequest);
    EXPECT_EQ(record->Body(), "ok");
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeRequest, DebugModeWritesTheDebugTailAndKeepsThePortOutOfTheHostLine) {
    MyAppContext context;
    context.debug = 1;
    ScriptedServer server(Script().AwaitRequest().Close());
    auto record = std::make_shared<ExchangeRecord>();
    RecordingExchangeOptions options;
    // The catalogue requests put their whole path into the tails.
    options.pathAndQuery = "";
    options.normalTail = "getstations/ HTTP/1.1\r\n";
    options.debugTail = "getstations/?debug HTTP/1.1\r\n";
    RecordingExchange exchange(&context, StationAt(server.host(), server.port()), record, options);
    ASSERT_TRUE(testsupport::DriveExchange(exchange).ended);
    std::string request = server.request(0);
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /getstations/?debug HTTP/1.1");
    EXPECT_NE(request.find("\r\nHOST: 127.0.0.1\r\n"), std::string::npos);
}

TEST(ExchangeRequest, ABasePathComesRightAfterGet) {
    MyAppContext context;
    ScriptedServer server(Script().AwaitRequest().Close());
    auto record = std::make_shared<ExchangeRecord>();
    RecordingExchange exchange(&context, StationAt(server.host(), server.port(), "/station/7/"), record);
    ASSERT_TRUE(testsupport::DriveExchange(exchange).ended);
    EXPECT_EQ(server.request(0).rfind("GET /station/7/test/ HTTP/1.1\r\n", 0), 0u);
}

TEST(ExchangeRequest, WorksOverIPv6) {
    testsupport::RecordingMessageBoxes boxes;
    ExchangeRun run = Exchange(Script().AwaitRequest().Send(HttpResponse("six")).Close(), {}, nullptr,
                               ScriptedServer::Family::IPv6);
    ASSERT_TRUE(run.outcome.ended);
    EXPECT_EQ(run.record->Body(), "six");
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeHeaders, HeadersAndBodyInOneReadAreParsedInTheSameCall) {
    testsupport::RecordingMessageBoxes boxes;
    RecordingExchangeOptions options;
    options.expectedLength = 5;
    // The server stalls after sending: only the parser can end this exchange.
    ExchangeRun run =
        Exchange(Script().AwaitRequest().Send(HttpResponse("hello", {"Content-Type: x"})).Stall(), options);
    ASSERT_TRUE(run.outcome.ended);
    std::lock_guard guard(run.record->lock);
    EXPECT_EQ(run.record->body, "hello");
    EXPECT_TRUE(run.record->resultDelivered);
    EXPECT_EQ(run.record->headerLines, (std::vector<std::string>{"HTTP/1.1 200 OK", "Content-Type: x"}));
    EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeHeaders, TwentyLinesAreAcceptedAndATwentyFirstEndsTheExchange) {
    auto headers = [](int count) {
        std::vector<std::string> lines;
        for (int i = 1; i < count; ++i) // the status line is the first of `count`
            lines.push_back("X-Line-" + std::to_string(i) + ": v");
        return lines;
    };
    {
        testsupport::RecordingMessageBoxes boxes;
        ExchangeRun run = Exchange(Script().AwaitRequest().Send(HttpResponse("body", headers(20))).Close());
        EXPECT_EQ(run.record->Body(), "body");
        EXPECT_EQ(run.record->headerLines.size(), 20u);
        EXPECT_EQ(boxes.count(), 0u);
    }
    {
        testsupport::RecordingMessageBoxes boxes;
        ExchangeRun run = Exchange(Script().AwaitRequest().Send(HttpResponse("body", headers(21))).Stall());
        ASSERT_TRUE(run.outcome.ended);
        EXPECT_EQ(run.record->Body(), "");
        EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_INVALIDHEADERS});
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_EQ(boxes.utf8()[0].rfind(
                      "NetworkError == NETWORKERROR_INVALIDHEADERS!\r\n\r\n(file: NetworkPackets, "
                      "row: ",
                      0),
                  0u);
        EXPECT_EQ(boxes.captions()[0], u"Error!");
    }
}

TEST(ExchangeHeaders, OnlyTheTransferEncodingHeaderSwitchesChunkedDecodingOn) {
    const std::string chunked = "5\r\nhello\r\n0\r\n\r\n";
    // The word in another header's value or name, or in the status line, frames nothing.
    for (const std::vector<std::string>& headers :
         {std::vector<std::string>{"Set-Cookie: mode=chunked"},
          {"X-Transfer-Encoding: chunked"},
          {"X-Note: Transfer-Encoding: chunked"},
          {"Transfer-Encoding: chunked, gzip"},
          {"Transfer-Encoding: chunked", "Transfer-Encoding: identity"}}) {
        ExchangeRun run = Exchange(Script().AwaitRequest().Send(HttpResponse(chunked, headers)).Close());
        EXPECT_FALSE(run.record->chunked) << headers[0];
        EXPECT_EQ(run.record->Body(), chunked) << headers[0];
    }
    {
        ExchangeRun run =
            Exchange(Script().AwaitRequest().Send("HTTP/1.1 200 chunked\r\n\r\n" + chunked).Close());
        EXPECT_FALSE(run.record->chunked);
        EXPECT_EQ(run.record->Body(), chunked);
    }
    // The header's own name and its last coding, whatever their case.
    for (const std::string& header :
         {std::string("Transfer-Encoding: chunked"), std::string("transfer-encoding:Chunked"),
          std::string("TRANSFER-ENCODING: gzip, CHUNKED \t")}) {
        ExchangeRun run = Exchange(Script().AwaitRequest().Send(HttpResponse(chunked, {header})).Close());
        EXPECT_TRUE(run.record->chunked) << header;
        EXPECT_EQ(run.record->Body(), "hello") << header;
    }
}

TEST(ExchangeHeaders, AHeaderBlockSplitAcrossReadsShowsNoBox) {
    testsupport::RecordingMessageBoxes boxes;
    ExchangeRun run = Exchange(Script()
                                   .AwaitRequest()
                                   .Send("HTTP/1.1 200 O")
                                   .Pause(30)
                                   .Send("K\r\nX-A: 1\r")
                                   .Pause(30)
                                   .Send("\nX-B: 2\r\n\r")
                                   .Pause(30)
                                   .Send("\nbody")
                                   .Close());
    EXPECT_EQ(run.record->Body(), "body");
    EXPECT_EQ(run.record->headerLines, (std::vector<std::string>{"HTTP/1.1 200 OK", "X-A: 1", "X-B: 2"}));
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
}

TEST(ExchangeChunked, AcceptsEverySizeLineFormAndEndsAtTheLastChunk) {
    testsupport::RecordingMessageBoxes boxes;
    const std::string big(0x1000, 'a');
    const std::string small(0x1f, 'b');
    RecordingExchangeOptions options;
    options.expectedLength = big.size() + small.size() + 1; // more than will come: the close ends it
    ExchangeRun run =
        Exchange(Script()
                     .AwaitRequest()
                     .Send(ChunkedResponse("1000\r\n" + big + "\r\n1f\r\n" + small + "\r\n0\r\n\r\n"))
                     .Close(),
                 options);
    ASSERT_TRUE(run.outcome.ended);
    EXPECT_EQ(run.record->Body(), big + small);
    EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeChunked, ASizeLineWithAnExtensionOrOfSeventeenCharactersIsInvalid) {
    for (const std::string& line : {std::string("5;name=value\r\n"), std::string("00000000000000005\r\n"),
                                    std::string("5 \r\n"), std::string("1g\r\n")}) {
        testsupport::RecordingMessageBoxes boxes;
        ExchangeRun run =
            Exchange(Script().AwaitRequest().Send(ChunkedResponse(line + "hello\r\n0\r\n\r\n")).Stall());
        ASSERT_TRUE(run.outcome.ended) << line;
        EXPECT_EQ(run.record->Body(), "") << line;
        EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_INVALIDDATA}) << line;
        ASSERT_EQ(boxes.count(), 1u) << line;
        EXPECT_EQ(boxes.utf8()[0].rfind("NetworkError == NETWORKERROR_INVALIDDATA!", 0), 0u);
    }
}

TEST(ExchangeChunked, ASizeLineSplitAcrossReadsIsCompletedByTheNextRead) {
    testsupport::RecordingMessageBoxes boxes;
    const std::string data(16, 'z');
    ExchangeRun run = Exchange(Script()
                                   .AwaitRequest()
                                   .Send(ChunkedResponse("1"))
                                   .Pause(30)
                                   .Send("0\r")
                                   .Pause(30)
                                   .Send("\n" + data + "\r")
                                   .Pause(30)
                                   .Send("\n0\r\n\r\n")
                                   .Close());
    EXPECT_EQ(run.record->Body(), data);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeChunked, EveryTwoReadSplitOfASmallResponseGivesTheSameBody) {
    const std::string response = ChunkedResponse("3\r\nabc\r\n1a\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n");
    const std::string expected = "abcabcdefghijklmnopqrstuvwxyz";
    std::vector<Script> scripts;
    for (std::size_t split = 1; split < response.size(); ++split) {
        scripts.push_back(Script()
                              .AwaitRequest()
                              .Send(response.substr(0, split))
                              .Pause(5)
                              .Send(response.substr(split))
                              .Close());
    }
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(scripts);
    MyAppContext context;
    for (std::size_t split = 1; split < response.size(); ++split) {
        auto record = std::make_shared<ExchangeRecord>();
        RecordingExchange exchange(&context, StationAt(server.host(), server.port()), record);
        ASSERT_TRUE(testsupport::DriveExchange(exchange).ended) << split;
        EXPECT_EQ(record->Body(), expected) << "split after " << split;
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeEnd, APeerThatClosesEarlyEndsTheExchangeWithoutABox) {
    testsupport::RecordingMessageBoxes boxes;
    RecordingExchangeOptions options;
    options.expectedLength = 100;
    ExchangeRun run = Exchange(Script().AwaitRequest().Send(HttpResponse("only part")).Close(), options);
    ASSERT_TRUE(run.outcome.ended);
    EXPECT_EQ(run.record->Body(), "only part");
    EXPECT_FALSE(run.record->resultDelivered);
    EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeEnd, AClosedConnectionBeforeAnyResponseEndsTheExchange) {
    testsupport::RecordingMessageBoxes boxes;
    ExchangeRun run = Exchange(Script().AwaitRequest().Close());
    ASSERT_TRUE(run.outcome.ended);
    EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(ExchangeEnd, AResetWhileReadingShowsTheReceiveBoxAndEnds) {
    testsupport::RecordingMessageBoxes boxes;
    ExchangeRun run = Exchange(Script().AwaitRequest().Send(HttpResponse("part")).Pause(30).Reset());
    ASSERT_TRUE(run.outcome.ended);
    EXPECT_EQ(run.record->Body(), "part");
    EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
    // A reset is a failed read, reported once.
    ASSERT_LE(boxes.count(), 1u);
    if (boxes.count() == 1) {
        EXPECT_EQ(boxes.utf8()[0].rfind("received == SOCKET_ERROR!", 0), 0u);
    }
}

TEST(ExchangeEnd, AnAnswerThatIsNotASuccessEndsAtItsStatusLineAndItsBodyIsNeverData) {
    // The server stalls after its answer: only the status can end these exchanges.
    for (const std::string& status :
         {std::string("HTTP/1.1 404 Not Found"), std::string("HTTP/1.1 500"),
          std::string("HTTP/1.1 301 Moved Permanently"), std::string("HTTP/1.0 199 Odd"),
          std::string("HTTP/1.1 2000 OK"), std::string("HTTP/1.1 20x OK"), std::string("ICY 200 OK"),
          std::string("No such stream")}) {
        testsupport::RecordingMessageBoxes boxes;
        ExchangeRun run =
            Exchange(Script().AwaitRequest().Send(status + "\r\nX-A: 1\r\n\r\nNo such stream").Stall());
        ASSERT_TRUE(run.outcome.ended) << status;
        EXPECT_EQ(run.record->Body(), "") << status;
        EXPECT_TRUE(run.record->offers.empty()) << status;
        EXPECT_FALSE(run.record->resultDelivered) << status;
        EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE}) << status;
        EXPECT_EQ(run.record->headerLines, std::vector<std::string>{status});
        EXPECT_EQ(boxes.count(), 0u) << status;
    }
    // Every 2xx status is an answer.
    for (const std::string& status :
         {std::string("HTTP/1.1 200 OK"), std::string("HTTP/1.1 206 Partial Content"),
          std::string("HTTP/1.0 299"), std::string("HTTP/1.1 203 ")}) {
        ExchangeRun run = Exchange(Script().AwaitRequest().Send(status + "\r\n\r\nbody").Close());
        EXPECT_EQ(run.record->Body(), "body") << status;
    }
}

TEST(ExchangeEnd, RecordsAlreadyReceivedAreAllParsedWhenThePeerClosesAtOnce) {
    RecordingExchangeOptions options;
    options.recordSize = 4;
    options.recordsPerCall = 1; // a parser that takes one record per offer
    ExchangeRun run =
        Exchange(Script().AwaitRequest().Send(HttpResponse("aaaabbbbccccdddd")).Close(), options);
    EXPECT_EQ(run.record->Body(), "aaaabbbbccccdddd");
}

TEST(ExchangeConnect, ARefusedConnectionEndsTheExchangeWithoutWaiting) {
    testsupport::RecordingMessageBoxes boxes;
    std::uint16_t port = 0;
    {
        platform::TcpListener listener; // a port that was free a moment ago and is closed now
        ASSERT_TRUE(listener.Listen(false));
        port = listener.port();
    }
    MyAppContext context;
    auto record = std::make_shared<ExchangeRecord>();
    RecordingExchange exchange(&context, StationAt("127.0.0.1", port), record);
    auto outcome = testsupport::DriveExchange(exchange);
    // Either connect fails at once or its failure is notified; either way the exchange is over.
    EXPECT_TRUE(!outcome.connected || outcome.ended);
    EXPECT_FALSE(exchange.connected());
    EXPECT_EQ(exchange.requestStatus(), RequestStatus_Disconnected);
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_TRUE(record->request.empty()) << "no request is sent on a refused connection";
}

TEST(ExchangeConnect, AnUnresolvableHostShowsTheResolverBox) {
    testsupport::RecordingMessageBoxes boxes;
    MyAppContext context;
    auto record = std::make_shared<ExchangeRecord>();
    RecordingExchange exchange(&context, StationAt("no-such-host.invalid", 80), record);
    auto outcome = testsupport::DriveExchange(exchange);
    // The lookup runs off the thread: the exchange starts, then ends as a start that failed.
    EXPECT_TRUE(outcome.ended);
    EXPECT_TRUE(exchange.startFailed());
    ASSERT_EQ(boxes.count(), 1u);
    std::string text = boxes.utf8()[0];
    // Without any resolver at all the lookup fails in another way, shown as "error == ?!".
    EXPECT_TRUE(text.rfind("error == WSAHOST_NOT_FOUND!\r\n\r\n(file: NetworkPackets, row: ", 0) == 0 ||
                text.rfind("error == ?!", 0) == 0)
        << text;
}

TEST(ExchangeConnect, ASecondDoConnectIsRefused) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Stall());
    MyAppContext context;
    auto record = std::make_shared<ExchangeRecord>();
    RecordingExchange exchange(&context, StationAt(server.host(), server.port()), record);
    ASSERT_TRUE(exchange.DoConnect());
    EXPECT_FALSE(exchange.DoConnect());
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.utf8()[0].rfind("RequestStatus != RequestStatus_Disconnected!", 0), 0u);
}

} // namespace
