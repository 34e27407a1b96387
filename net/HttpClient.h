#pragma once
// One HTTP/1.0 (or 1.1) request over a TTcpSocket, with the response's status, header lines and body kept
// in memory, and FetchText, the one-call GET the feedback report uses. Everything blocks the caller's
// thread; there is no cache, no cookie handling, no redirect following and no retry.
#include <cstdint>
#include <string>
#include <vector>

#include "net/BlockSocket.h"
#include "net/NetHelpers.h"
#include "platform/codepage.h"

class TNetClient {
public:
    AnsiString ConnectHost = "localhost";
    AnsiString ConnectPort = "0";
    AnsiString BindAddress = "0.0.0.0";
    std::int32_t TimeoutMs = 5000;  // limit of each single wait for incoming data

    virtual ~TNetClient() = default;
};

enum class TBodyMode : std::uint8_t { UntilClose = 0, ByLength = 1, Chunked = 2 };

class THttpClient : public TNetClient {
public:
    TTcpSocket Socket;
    TBodyMode BodyMode = TBodyMode::UntilClose;
    AnsiString LiveHost, LivePort;           // the open connection; empty when none
    // Before Execute: extra request header lines. After: status line, header lines and the closing empty line.
    std::vector<AnsiString> HeaderLines;
    // Before Execute: the request body. After: the response body.
    AnsiString Body;
    AnsiString ContentType = "text/html";
    AnsiString HttpVersion = "1.0";          // "0.9" and "1.1" change the exchange
    bool KeepConnection = true;              // false sends "Connection: close"
    AnsiString ProxyServer;                  // empty: no proxy
    AnsiString ProxyServerPort = "8080";
    AnsiString ProxyUserName, ProxyPassword;
    std::int32_t StatusCode = 0;             // 500 while a request runs; 0 for a reply without status line
    AnsiString StatusText;

    // Limits against broken or hostile servers; none unless the caller sets them. The received line limit
    // is Socket.LineLimit.
    std::int64_t MaxBodySize = 0;            // bytes kept of a response body; reading stops there; 0 = none
    std::int64_t MaxHeaderSize = 0;          // bytes of the response's header block; 0 = none
    std::int32_t DeadlineMs = 0;             // bound on one whole Execute (connect included); 0 = none

    THttpClient();

    // One request. True exactly when a connection was made and the whole request was sent; errors while
    // reading the response only end the reading.
    bool Execute(const AnsiString& method, const AnsiString& url);
    // Empties Body and HeaderLines; ContentType back to "text/html".
    void ResetDocument();
    // "HTTP/1.0 200 OK" gives 200 and "OK"; a code that is no number gives 0.
    void ParseStatusLine(const AnsiString& line);

    // Body readers; each appends to Body as data arrives.
    bool ReadUntilClose();
    bool ReadCounted(std::int64_t count);
    bool ReadChunks();

private:
    // What one Execute carries from step to step.
    struct TExchange {
        AnsiString method, target;
        net::UrlParts url;
        bool tunnel = false;        // HTTPS through the proxy's CONNECT tunnel
        bool sending = false;       // a request body goes out
        bool expect100 = false;
        AnsiString keptStatus;      // a final status that came instead of 100 Continue
        std::int64_t declaredLength = -1;
        bool closeAfter = false;
        bool headersCut = false;    // the header block broke off: no body follows
    };

    bool ChooseTransport(TExchange& exchange);
    void BuildHead(TExchange& exchange);
    bool ConnectToServer();
    bool SendHead();
    void AwaitContinue(TExchange& exchange);
    void ReadStatusLine(TExchange& exchange);
    void ReadHeaders(TExchange& exchange);
    void ReadBody(const TExchange& exchange);
    bool Reconnect();
    bool SendAll(const AnsiString& data);
    AnsiString ReadLine();
    // Appends to Body within MaxBodySize; false once the limit is reached.
    bool AppendBody(const char* data, std::size_t size);
    // Room left in Body under MaxBodySize.
    std::int64_t BodyRoom() const;

    bool truncated_ = false;
};

// FetchText limits: what a statistics reply may reasonably be.
constexpr std::int64_t kFetchMaxBody = 1 << 20;
constexpr std::int32_t kFetchMaxLine = 64 << 10;
constexpr std::int32_t kFetchTimeoutMs = 300000;

// One GET of the URL (used unchanged; the caller encodes the query). The body replaces the contents of
// lines, split at CR LF, LF and CR. True exactly when a connection was made and the whole request was
// sent; it says nothing about the status or the body. Never raises on network failures.
// The body and the header block are capped at 1 MiB each, a received line at 64 KiB, and the whole exchange ends after timeoutMs,
// which also limits each single wait.
bool FetchText(const AnsiString& url, std::vector<AnsiString>& lines, std::int32_t timeoutMs = kFetchTimeoutMs);

// Splits text into lines at CR LF, LF and CR; a final line end adds no empty line.
void SplitTextLines(const AnsiString& text, std::vector<AnsiString>& lines);
