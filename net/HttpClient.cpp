#include "net/HttpClient.h"

#include <algorithm>

#include "net/NetHelpers.h"
#include "platform/text.h"

namespace {

constexpr int kSocketBufferSize = 65536;
// Piece of a counted body received at a time: memory follows the data that really arrives.
constexpr std::int64_t kBodyPiece = 1 << 20;

bool StartsWith(const AnsiString& text, std::string_view prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// The largest Content-Length the client has always taken: the last digit is refused once the value so
// far exceeds (INT64_MAX - 9) / 10.
constexpr std::int64_t kLargestLength = (INT64_MAX - 9) / 10 * 10 + 9;

// A chunk size: hexadecimal digits only (an extension after ";" makes it invalid); 0 when invalid.
std::int64_t ParseChunkSize(const AnsiString& text) {
    if (text.empty() || text.size() > 15) return 0;
    std::int64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return 0;
        value = value * 16 + digit;
    }
    return value;
}

// Ends the overall limit of one Execute on every path.
struct DeadlineScope {
    TBlockingSocket& socket;
    DeadlineScope(TBlockingSocket& s, std::int32_t ms) : socket(s) {
        if (ms > 0) socket.SetDeadline(ms);
        else socket.ClearDeadline();
    }
    ~DeadlineScope() { socket.ClearDeadline(); }
};

}  // namespace

THttpClient::THttpClient() {
    Socket.AnyLineEnd = true;
    TimeoutMs = 300000;
    ConnectPort = "80";
    ResetDocument();
}

void THttpClient::ResetDocument() {
    Body.clear();
    HeaderLines.clear();
    ContentType = "text/html";
}

void THttpClient::ParseStatusLine(const AnsiString& line) {
    AnsiString rest = net::TextAfter(line, " ");
    std::int32_t code = 0;
    if (!platform::ParseInt32(net::TextBefore(rest, " "), code)) code = 0;
    StatusCode = code;
    StatusText = net::TextAfter(rest, " ");
    if (StatusText == rest) StatusText.clear();
}

bool THttpClient::Reconnect() {
    Socket.Close();
    Socket.OpenHandle();
    if (Socket.Handle != platform::kNoSocket) {
        Socket.SetSendBufferSize(kSocketBufferSize);
        Socket.SetReceiveBufferSize(kSocketBufferSize);
    }
    Socket.Bind(BindAddress, "0");
    if (Socket.ErrorCode != 0) return false;
    Socket.TlsTimeoutMs = TimeoutMs;
    Socket.Connect(ConnectHost, ConnectPort);
    return Socket.ErrorCode == 0;
}

// A blocking send normally takes everything; should the platform take less, the rest follows.
bool THttpClient::SendAll(const AnsiString& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        int piece = static_cast<int>(std::min<std::size_t>(data.size() - done, 1 << 30));
        int sent = Socket.SendBytes(data.data() + done, piece);
        if (Socket.ErrorCode != 0 || sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

AnsiString THttpClient::ReadLine() { return Socket.ReceiveLine(TimeoutMs); }

std::int64_t THttpClient::BodyRoom() const {
    if (MaxBodySize <= 0) return INT64_MAX;
    return std::max<std::int64_t>(MaxBodySize - static_cast<std::int64_t>(Body.size()), 0);
}

bool THttpClient::AppendBody(const char* data, std::size_t size) {
    std::int64_t room = BodyRoom();
    if (static_cast<std::int64_t>(size) > room) {
        Body.append(data, static_cast<std::size_t>(room));
        truncated_ = true;
        return false;
    }
    Body.append(data, size);
    return true;
}

bool THttpClient::Execute(const AnsiString& method, const AnsiString& url) {
    DeadlineScope deadline(Socket, DeadlineMs);
    const std::vector<AnsiString> callerLines = HeaderLines;
    auto fail = [&] {
        // The request's own head lines go; the caller's lines stay as they were.
        HeaderLines = callerLines;
        LiveHost.clear();
        LivePort.clear();
        Socket.Close();
        return false;
    };
    truncated_ = false;
    StatusCode = 500;
    StatusText.clear();
    TExchange exchange;
    exchange.method = method;
    exchange.target = net::SplitUrl(url, exchange.url);

    if (!ChooseTransport(exchange)) return fail();
    BuildHead(exchange);
    if (!ConnectToServer() || !SendHead()) return fail();
    AwaitContinue(exchange);
    if (exchange.sending && !SendAll(Body)) return fail();

    ResetDocument();
    BodyMode = TBodyMode::UntilClose;
    ReadStatusLine(exchange);
    ReadHeaders(exchange);
    ReadBody(exchange);

    // A read that ended early leaves the stream in an unknown state: never reuse it.
    if (exchange.closeAfter || exchange.headersCut || truncated_ || Socket.ErrorCode != 0) {
        Socket.Close();
        LiveHost.clear();
        LivePort.clear();
    }
    return true;
}

// TLS and the CONNECT tunnel for HTTPS, plain TCP otherwise. False when HTTPS has no TLS library: the
// request would go out in clear text to a TLS port.
bool THttpClient::ChooseTransport(TExchange& exchange) {
    if (platform::AsciiUpperCase(exchange.url.protocol) != "HTTPS") {
        Socket.SetTlsEnabled(false);
        Socket.TunnelProxy.clear();
        Socket.TunnelPort.clear();
        Socket.TunnelUser.clear();
        Socket.TunnelPassword.clear();
        return true;
    }
    Socket.SetTlsEnabled(true);
    if (!Socket.TlsEnabled()) return false;
    exchange.tunnel = !ProxyServer.empty();
    Socket.TunnelProxy = ProxyServer;
    Socket.TunnelPort = ProxyServerPort;
    Socket.TunnelUser = ProxyUserName;
    Socket.TunnelPassword = ProxyPassword;
    return true;
}

// The request head goes in front of the caller's own lines, each line inserted at the top, so that the
// wire order is: request line, Host, Proxy-Authorization, Authorization, Connection, Content-Type,
// Content-Length, Expect, the caller's lines, an empty line. Also picks where to connect.
void THttpClient::BuildHead(TExchange& exchange) {
    const net::UrlParts& url = exchange.url;
    const bool viaProxy = !ProxyServer.empty() && !exchange.tunnel;
    exchange.sending = !Body.empty();
    exchange.expect100 = exchange.sending && HttpVersion == "1.1";
    auto insertTop = [this](AnsiString line) { HeaderLines.insert(HeaderLines.begin(), std::move(line)); };
    if (exchange.expect100) insertTop("Expect: 100-continue");
    if (exchange.sending) {
        insertTop("Content-Length: " + std::to_string(Body.size()));
        if (!ContentType.empty()) insertTop("Content-Type: " + ContentType);
    }
    if (!KeepConnection) insertTop("Connection: close");
    if (!url.user.empty()) insertTop("Authorization: Basic " + net::Base64Encode(url.user + ":" + url.password));
    if (viaProxy && !ProxyUserName.empty())
        insertTop("Proxy-Authorization: Basic " + net::Base64Encode(ProxyUserName + ":" + ProxyPassword));
    insertTop("Host: " + url.host + (url.port == "80" ? AnsiString() : ":" + url.port));
    AnsiString target = exchange.target;
    if (viaProxy) target = url.protocol + "://" + url.host + ":" + url.port + target;
    if (target == "/*") target = "*";
    insertTop(platform::AsciiUpperCase(exchange.method) + " " + target + (HttpVersion == "0.9" ? AnsiString() : " HTTP/" + HttpVersion));
    if (!HeaderLines.back().empty()) HeaderLines.push_back("");

    ConnectHost = viaProxy ? ProxyServer : url.host;
    ConnectPort = viaProxy ? ProxyServerPort : url.port;
}

// A new connection unless the open one goes to the same place and is still quiet.
bool THttpClient::ConnectToServer() {
    if (LiveHost != ConnectHost || LivePort != ConnectPort) {
        if (!Reconnect()) return false;
        LiveHost = ConnectHost;
        LivePort = ConnectPort;
        return true;
    }
    // Closed by the server, or it sent something unasked: a fresh connection.
    if (Socket.Handle == platform::kNoSocket || Socket.WaitReadable(0)) return Reconnect();
    return true;
}

bool THttpClient::SendHead() {
    AnsiString head;
    if (HttpVersion == "0.9") {
        head = HeaderLines.front() + "\r\n";
    } else {
        for (const AnsiString& line : HeaderLines) head += line + "\r\n";
    }
    return SendAll(head);
}

// With "Expect: 100-continue" the body waits for the interim reply; a final status instead keeps the body
// back and is the response's status line.
void THttpClient::AwaitContinue(TExchange& exchange) {
    if (!exchange.expect100) return;
    AnsiString line;
    do line = ReadLine();
    while (line.empty() && Socket.ErrorCode == 0);
    ParseStatusLine(line);
    if (StatusCode >= 100 && StatusCode <= 199) {
        do line = ReadLine();
        while (!line.empty() && Socket.ErrorCode == 0);
        return;
    }
    exchange.sending = false;
    exchange.keptStatus = line;
}

void THttpClient::ReadStatusLine(TExchange& exchange) {
    if (exchange.expect100 && !exchange.sending) {
        HeaderLines.push_back(exchange.keptStatus);
        return;
    }
    AnsiString line;
    do line = ReadLine();
    while (line.empty() && Socket.ErrorCode == 0);
    if (StartsWith(platform::AsciiUpperCase(line), "HTTP/")) {
        HeaderLines.push_back(line);
        ParseStatusLine(line);
        return;
    }
    // The first line of a reply without status line, or the empty line of a silent or closed server.
    AppendBody(line.data(), line.size());
    AppendBody("\r\n", 2);
    StatusCode = 0;
}

// Only after a status line: a reply without one has no header block.
void THttpClient::ReadHeaders(TExchange& exchange) {
    exchange.closeAfter = HttpVersion != "1.1";
    // A line over the limit is no HTTP; a header block that broke off has no body to follow.
    exchange.headersCut = Socket.ErrorCode == kSocketLineTooLong;
    if (HeaderLines.empty() || exchange.headersCut) return;
    std::int64_t headerSize = static_cast<std::int64_t>(HeaderLines.front().size());
    do {
        AnsiString line = ReadLine();
        headerSize += static_cast<std::int64_t>(line.size()) + 2;
        if (MaxHeaderSize > 0 && headerSize > MaxHeaderSize) {
            exchange.headersCut = true;
            return;
        }
        HeaderLines.push_back(line);
        if (line.empty()) {
            exchange.headersCut = Socket.ErrorCode != 0;
            return;
        }
        // A later header overrides an earlier one.
        AnsiString upper = platform::AsciiUpperCase(line);
        if (StartsWith(upper, "CONTENT-LENGTH:")) {
            std::int64_t value;
            exchange.declaredLength =
                platform::ParseDecimal(net::TextAfter(line, " "), -kLargestLength, kLargestLength, value) ? value : -1;
            // A negative length is no length; only a usable one selects counted reading.
            if (exchange.declaredLength < 0) exchange.declaredLength = -1;
            else BodyMode = TBodyMode::ByLength;
        } else if (StartsWith(upper, "CONTENT-TYPE:")) {
            ContentType = net::TextAfter(line, " ");
        } else if (StartsWith(upper, "TRANSFER-ENCODING:")) {
            if (net::TextAfter(upper, " ").find("CHUNKED") != AnsiString::npos) BodyMode = TBodyMode::Chunked;
        } else if (upper == "CONNECTION: CLOSE") {
            exchange.closeAfter = true;
        }
    } while (Socket.ErrorCode == 0);
}

void THttpClient::ReadBody(const TExchange& exchange) {
    if (exchange.headersCut || exchange.method == "HEAD" || StatusCode == 204 || StatusCode == 304) return;
    switch (BodyMode) {
    case TBodyMode::UntilClose: ReadUntilClose(); break;
    case TBodyMode::ByLength: ReadCounted(exchange.declaredLength); break;
    case TBodyMode::Chunked: ReadChunks(); break;
    }
}

bool THttpClient::ReadUntilClose() {
    for (;;) {
        AnsiString piece = Socket.ReceiveAvailable(TimeoutMs);
        if (Socket.ErrorCode != 0) break;
        if (!AppendBody(piece.data(), piece.size())) break;
    }
    return true;
}

bool THttpClient::ReadCounted(std::int64_t count) {
    // Received straight into Body, a piece at a time: a declared size alone reserves nothing.
    std::int64_t remaining = count;
    while (remaining > 0) {
        std::int64_t want = std::min({remaining, kBodyPiece, BodyRoom()});
        if (want <= 0) {
            truncated_ = true;
            break;
        }
        std::size_t old = Body.size();
        Body.resize(old + static_cast<std::size_t>(want));
        int got = Socket.ReceiveExactly(Body.data() + old, static_cast<int>(want), TimeoutMs);
        Body.resize(old + static_cast<std::size_t>(std::max(got, 0)));
        if (Socket.ErrorCode != 0) break;
        remaining -= got;
    }
    return Socket.ErrorCode == 0 && !truncated_;
}

bool THttpClient::ReadChunks() {
    for (;;) {
        AnsiString line;
        do line = ReadLine();
        while (line.empty() && Socket.ErrorCode == 0);
        if (Socket.ErrorCode != 0) break;
        std::int64_t size = ParseChunkSize(net::TextBefore(line, " "));
        if (size == 0) break;
        if (!ReadCounted(size)) break;
    }
    return Socket.ErrorCode == 0;
}

void SplitTextLines(const AnsiString& text, std::vector<AnsiString>& lines) {
    lines.clear();
    for (std::string_view line : platform::SplitLines(text)) lines.emplace_back(line);
}

bool FetchText(const AnsiString& url, std::vector<AnsiString>& lines, std::int32_t timeoutMs) {
    THttpClient client;
    client.TimeoutMs = timeoutMs;
    client.DeadlineMs = timeoutMs;
    client.MaxBodySize = kFetchMaxBody;
    client.MaxHeaderSize = kFetchMaxBody;
    client.Socket.LineLimit = kFetchMaxLine;
    bool sent = client.Execute("GET", url);
    SplitTextLines(client.Body, lines);
    return sent;
}
