#include "net/MyNetworkPacketBase.h"

#include "app/MyAppContext.h"
#include "app/ShowErrorBox.h"
#include "platform/SystemInfo.h"
#include "records/ProgramVersion.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kSourceName = VANTRI_SOURCE_NAME("NetworkPackets");

// The most bytes ever held, so that a terminating zero byte always fits after them.
constexpr std::uint32_t kMaxHeld = MyNetworkPacketBase::kReceiveBufferSize - 1;

void Report(std::u16string_view condition, int line) {
    ShowErrorBox(condition, kSourceName, line);
}

// The error box each code shows when an exchange ends with it; null for the codes that show none.
const char16_t* ErrorBoxText(NetworkError error) {
    switch (error) {
    case NETWORKERROR_INVALIDHEADERS:
        return u"NetworkError == NETWORKERROR_INVALIDHEADERS!";
    case NETWORKERROR_INVALIDDATA:
        return u"NetworkError == NETWORKERROR_INVALIDDATA!";
    case NETWORKERROR_SENDREQUESTFAILED:
        return u"NetworkError == NETWORKERROR_SENDREQUESTFAILED!";
    case NETWORKERROR_PROGRAMMINGERROR:
        return u"NetworkError == NETWORKERROR_PROGRAMMINGERROR!";
    case NETWORKERROR_FILEACCESSERROR:
        return u"NetworkError == NETWORKERROR_FILEACCESSERROR!";
    case NETWORKERROR_NONE:
    case NETWORKERROR_WRONGVERSION:
        break;
    }
    return nullptr;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool IsSuccessStatusLine(std::string_view line) {
    // "HTTP/" version, one blank, three digits, then the end or a blank and the reason.
    if (line.substr(0, 5) != "HTTP/")
        return false;
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos || line.size() < blank + 4)
        return false;
    for (std::size_t i = blank + 1; i < blank + 4; ++i)
        if (line[i] < '0' || line[i] > '9')
            return false;
    if (line.size() > blank + 4 && line[blank + 4] != ' ')
        return false;
    return line[blank + 1] == '2';
}

std::optional<bool> TransferEncodingIsChunked(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !SameIgnoringCase(line.substr(0, colon), "Transfer-Encoding"))
        return std::nullopt;
    // The codings are applied in order; the body is chunked when chunked is the last of them.
    std::string_view codings = line.substr(colon + 1);
    const std::size_t comma = codings.rfind(',');
    if (comma != std::string_view::npos)
        codings.remove_prefix(comma + 1);
    return SameIgnoringCase(TrimBlanks(codings), "chunked");
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

ChunkSizeLine ParseChunkSizeLine(const char* data, std::size_t available, std::uint32_t* size,
                                 std::size_t* lineLength) {
    std::size_t digitsStart = 0;
    std::size_t i = 0;
    while (i + 2 <= available) {
        if (data[i] == '\r' && data[i + 1] == '\n') {
            if (i == 0) {
                // The CR LF that ends the previous chunk's data.
                digitsStart = 2;
                i = 2;
                continue;
            }
            std::uint64_t value = 0;
            for (std::size_t d = digitsStart; d < i; ++d) {
                int digit = HexDigit(data[d]);
                if (digit < 0)
                    return ChunkSizeLine::Invalid; // a space, a ";" chunk extension, ...
                value = (value << 4) | static_cast<std::uint64_t>(digit);
                // A size that does not fit the 32-bit counters would wrap and misplace every later line.
                if (value > std::numeric_limits<std::uint32_t>::max())
                    return ChunkSizeLine::Invalid;
            }
            *size = static_cast<std::uint32_t>(value);
            *lineLength = i + 2;
            return ChunkSizeLine::Valid;
        }
        ++i;
        if (i > 16)
            return ChunkSizeLine::Invalid;
    }
    return ChunkSizeLine::Incomplete;
}

MyNetworkPacketBase::MyNetworkPacketBase(MyAppContext* context, std::int32_t type)
    : context(context), type_(type) {
    receiveBuffer_[0] = 0;
}

MyNetworkPacketBase::~MyNetworkPacketBase() = default;

bool MyNetworkPacketBase::debugMode() const {
    return context && context->debug == 1;
}

bool MyNetworkPacketBase::DoConnect() {
    if (requestStatus_ != RequestStatus_Disconnected) {
        Report(u"RequestStatus != RequestStatus_Disconnected!", __LINE__);
        return false;
    }
    if (!connectionData) {
        Report(u"connectionData == NULL!", __LINE__);
        return false;
    }
    requestStatus_ = RequestStatus_Connecting;
    deadline_ = Clock::now() + connectTimeout_;
    lookup_ = std::make_unique<NameLookup>(
        resolver_, connectionData->host, std::to_string(static_cast<unsigned>(connectionData->port)), event_);
    return true;
}

void MyNetworkPacketBase::SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle) {
    connectTimeout_ = connect;
    idleTimeout_ = idle;
}

void MyNetworkPacketBase::TimeOut() {
    lookup_.reset();
    Disconnect(NETWORKERROR_NONE);
}

bool MyNetworkPacketBase::ConnectResolved() {
    platform::ResolveResult resolved = lookup_->Take();
    lookup_.reset();
    auto fail = [this] {
        startFailed_ = true;
        Disconnect(NETWORKERROR_NONE);
        return false;
    };
    if (resolved.error == platform::kHostNotFound) {
        Report(u"error == WSAHOST_NOT_FOUND!", __LINE__);
        return fail();
    }
    if (resolved.error != platform::kSocketOk || resolved.addresses.empty()) {
        Report(u"error == ?!", __LINE__);
        return fail();
    }
    // The first result only.
    const platform::ResolvedAddress& address = resolved.addresses.front();
    if (!clientSocket_.Create(address.family)) {
        Report(u"ClientSocket == INVALID_SOCKET!", __LINE__);
        return fail();
    }
    if (!clientSocket_.EventSelect(event_, platform::kRead | platform::kWrite | platform::kConnect |
                                               platform::kClose))
        return fail();
    // The address carries its own length, so IPv6 results connect as well as IPv4 ones.
    int error = clientSocket_.Connect(address);
    if (error == platform::kSocketOk || error == platform::kWouldBlock)
        return true;
    return fail();
}

bool MyNetworkPacketBase::HandleNetworkEvent() {
    if (lookup_) {
        if (!lookup_->finished())
            return true;
        return ConnectResolved();
    }
    if (!clientSocket_.valid()) {
        Disconnect(NETWORKERROR_PROGRAMMINGERROR);
        return false;
    }
    platform::NetworkEvents events;
    if (!clientSocket_.EnumNetworkEvents(events)) {
        Disconnect(NETWORKERROR_NONE);
        return false;
    }
    if (events.events & platform::kConnect) {
        // A failed attempt is followed by no kWrite, so the request could never be sent: end it here.
        if (events.connectError != platform::kSocketOk) {
            startFailed_ = true;
            Disconnect(NETWORKERROR_NONE);
            return false;
        }
        requestStatus_ = RequestStatus_Connected;
        ExtendDeadline();
    }
    if (events.events & platform::kRead) {
        if (requestStatus_ == RequestStatus_ReceivingHeaders ||
            requestStatus_ == RequestStatus_ReceivingData) {
            for (;;) {
                int error = 0;
                long received = clientSocket_.Recv(receiveBuffer_ + receiveBufferPos_,
                                                   kMaxHeld - receiveBufferPos_, &error);
                if (received < 0) {
                    if (error == platform::kWouldBlock)
                        return true; // everything available was read; the next kRead resumes
                    Report(u"received == SOCKET_ERROR!", __LINE__);
                    Disconnect(NETWORKERROR_NONE);
                    return false;
                }
                // The peer closed, or the buffer is full and the parser took nothing.
                if (received < 1) {
                    Disconnect(NETWORKERROR_NONE);
                    return false;
                }
                ExtendDeadline();
                bool answer = false;
                if (!TakeReceived(static_cast<std::uint32_t>(received), answer))
                    return answer;
            }
        }
        Report(u"RequestStatus == ?!", __LINE__);
    }
    if (events.events & platform::kClose) {
        Disconnect(NETWORKERROR_NONE);
        return false;
    }
    if ((events.events & platform::kWrite) && requestStatus_ == RequestStatus_Connected) {
        if (!SendRequest()) {
            Disconnect(NETWORKERROR_SENDREQUESTFAILED);
            return false;
        }
    }
    return true;
}

bool MyNetworkPacketBase::TakeReceived(std::uint32_t count, bool& answer) {
    receiveBufferPos_ += count;
    if (receiveBufferPos_ >= kReceiveBufferSize) {
        Report(u"receiveBufferPos >= sizeof(receiveBuffer)!", __LINE__);
        Disconnect(NETWORKERROR_NONE);
        answer = false;
        return false;
    }
    receiveBuffer_[receiveBufferPos_] = 0;
    if (requestStatus_ == RequestStatus_ReceivingHeaders && !ParseHeaders()) {
        answer = clientSocket_.valid();
        return false;
    }
    const bool goOn = requestStatus_ != RequestStatus_ReceivingData || ParseBody();
    // Checked after parsing, so that a response that completes within the bytes of this read still ends
    // normally whatever follows it.
    if (clientSocket_.valid() && requestStatus_ == RequestStatus_ReceivingData &&
        bodyBytesSeen() > bodyLimit_) {
        Disconnect(NETWORKERROR_INVALIDDATA);
        answer = false;
        return false;
    }
    if (!goOn) {
        answer = clientSocket_.valid();
        return false;
    }
    return true;
}

std::uint64_t MyNetworkPacketBase::bodyBytesSeen() const {
    const std::uint32_t held = chunked_ ? std::min(receiveBufferPos_, chunkDataReady_) : receiveBufferPos_;
    return bodyConsumed_ + held;
}

void MyNetworkPacketBase::Disconnect(NetworkError error) {
    if (const char16_t* text = ErrorBoxText(error))
        Report(text, __LINE__);
    clientSocket_.Close();
    requestStatus_ = RequestStatus_Disconnected;
}

std::string MyNetworkPacketBase::ComposeRequest(const std::string& pathAndQuery, const char* normalTail,
                                                const char* debugTail) const {
    std::string request = "GET ";
    if (connectionData)
        request += connectionData->basePath;
    request += pathAndQuery;
    request += debugMode() ? debugTail : normalTail;
    request += "HOST: ";
    if (connectionData)
        request += connectionData->host;
    request += "\r\n";
    request += "User-Agent: Vantri/6 (";
    request += platform::OperatingSystemName();
    request += ") Vantri/";
    request += FormatProgramVersion(kProgramVersion);
    request += "\r\n";
    request += "Connection: Close\r\n";
    request += "\r\n";
    return request;
}

bool MyNetworkPacketBase::SendRequestText(const std::string& pathAndQuery, const char* normalTail,
                                          const char* debugTail) {
    requestStatus_ = RequestStatus_ReceivingHeaders;
    const std::string requestString = ComposeRequest(pathAndQuery, normalTail, debugTail);
    int error = 0;
    long result = clientSocket_.Send(requestString.data(), requestString.length(), &error);
    if (result < 0) {
        Report(u"result == SOCKET_ERROR!", __LINE__);
        return false;
    }
    if (static_cast<std::size_t>(result) != requestString.length()) {
        Report(u"result != requestString.length()!", __LINE__);
        return false;
    }
    return true;
}

void MyNetworkPacketBase::RemoveFront(std::size_t count) {
    RemoveAt(0, count);
}

void MyNetworkPacketBase::RemoveAt(std::size_t offset, std::size_t count) {
    std::memmove(receiveBuffer_ + offset, receiveBuffer_ + offset + count,
                 receiveBufferPos_ - offset - count);
    receiveBufferPos_ -= static_cast<std::uint32_t>(count);
    receiveBuffer_[receiveBufferPos_] = 0;
}

bool MyNetworkPacketBase::ParseHeaders() {
    // Lines end at CR LF; like a C-string search, the scan does not look past a zero byte.
    std::size_t lineStart = 0;
    for (;;) {
        std::size_t lineEnd = lineStart;
        bool found = false;
        while (lineEnd + 1 < receiveBufferPos_ && receiveBuffer_[lineEnd] != 0) {
            if (receiveBuffer_[lineEnd] == '\r' && receiveBuffer_[lineEnd + 1] == '\n') {
                found = true;
                break;
            }
            ++lineEnd;
        }
        if (!found)
            break;
        if (lineEnd == lineStart) {
            // The empty line: the body bytes after it stay in the buffer and are parsed at once.
            RemoveFront(lineEnd + 2);
            requestStatus_ = RequestStatus_ReceivingData;
            return true;
        }
        std::string line(receiveBuffer_ + lineStart, lineEnd - lineStart);
        // Only the Transfer-Encoding header says how the body is framed; a later one overrides.
        if (!headerLines_.empty())
            if (std::optional<bool> isChunked = TransferEncodingIsChunked(line))
                chunked_ = *isChunked;
        headerLines_.push_back(std::move(line));
        if (headerLines_.size() == 1 && !IsSuccessStatusLine(headerLines_.front())) {
            // An error page, a redirect or no HTTP at all is not the answer asked for: the exchange ends as
            // a server that failed to answer, and its body never reaches the parser.
            Disconnect(NETWORKERROR_NONE);
            return false;
        }
        if (headerLines_.size() > kMaxHeaderLines) {
            Disconnect(NETWORKERROR_INVALIDHEADERS);
            return false;
        }
        lineStart = lineEnd + 2;
    }
    // The header block goes on in a later read (normal TCP): keep the partial line, report nothing.
    if (receiveBufferPos_ >= kMaxHeld) {
        Disconnect(NETWORKERROR_INVALIDHEADERS);
        return false;
    }
    RemoveFront(lineStart);
    return true;
}

bool MyNetworkPacketBase::ParseBody() {
    // Offers the body to the parser until it takes nothing more, so that records already received are not
    // left behind when the peer closes right after them.
    for (;;) {
        int answer = ParseBodyOnce();
        if (answer <= 0)
            return answer == 0;
        if (!clientSocket_.valid())
            return false; // the parser ended the exchange itself
        if (receiveBufferPos_ == 0)
            return true;
    }
}

int MyNetworkPacketBase::ParseBodyOnce() {
    if (receiveBufferPos_ == 0)
        return 0;
    std::uint32_t offered = receiveBufferPos_;
    if (chunked_) {
        while (receiveBufferPos_ > chunkDataReady_) {
            std::uint32_t size = 0;
            std::size_t lineLength = 0;
            ChunkSizeLine line = ParseChunkSizeLine(receiveBuffer_ + chunkDataReady_,
                                                    receiveBufferPos_ - chunkDataReady_, &size, &lineLength);
            if (line == ChunkSizeLine::Valid &&
                size > std::numeric_limits<std::uint32_t>::max() - chunkDataReady_)
                line = ChunkSizeLine::Invalid;
            if (line == ChunkSizeLine::Invalid) {
                Disconnect(NETWORKERROR_INVALIDDATA);
                return -1;
            }
            // An incomplete line waits for the next read; the last chunk's line stays where it is.
            if (line == ChunkSizeLine::Incomplete || size == 0)
                break;
            RemoveAt(chunkDataReady_, lineLength);
            chunkDataReady_ += size;
        }
        offered = std::min(receiveBufferPos_, chunkDataReady_);
        if (offered == 0)
            return 0;
    }
    int consumed = HandleData(receiveBuffer_, static_cast<int>(offered));
    if (consumed < 0)
        return -1;
    if (consumed == 0)
        return 0;
    if (static_cast<std::uint32_t>(consumed) > offered) {
        // A parser that claims more than it was given would make the buffer arithmetic run off its end.
        Disconnect(NETWORKERROR_PROGRAMMINGERROR);
        return -1;
    }
    RemoveFront(static_cast<std::size_t>(consumed));
    bodyConsumed_ += static_cast<std::uint32_t>(consumed);
    if (chunked_)
        chunkDataReady_ -= static_cast<std::uint32_t>(consumed);
    return 1;
}
