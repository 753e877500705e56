#pragma once
// A test-only concrete exchange that records the body bytes it is handed and how it ended. What it records
// lives in a shared ExchangeRecord, so a test can read it after the network thread has deleted the exchange.
// Header-only, so that fuzz targets can use it.

#include "net/MyNetworkPacketBase.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

struct ExchangeRecord {
    mutable std::mutex lock;
    std::string body;                      // every byte consumed, in order
    std::vector<int> offers;               // the length offered by each HandleData call
    std::vector<NetworkError> disconnects; // each Disconnect call's code
    std::vector<std::string> headerLines;  // copied at the first Disconnect
    bool chunked = false;
    bool resultDelivered = false;
    bool destroyed = false;
    std::string request; // the request text composed by SendRequest
    std::string host;    // the connection data seen at construction
    std::uint16_t port = 0;

    std::string Body() const {
        std::lock_guard guard(lock);
        return body;
    }
    bool Ended() const {
        std::lock_guard guard(lock);
        return !disconnects.empty();
    }
    bool Destroyed() const {
        std::lock_guard guard(lock);
        return destroyed;
    }
};

struct RecordingExchangeOptions {
    std::string pathAndQuery = "test/";
    const char* normalTail = " HTTP/1.1\r\n";
    const char* debugTail = "&debug HTTP/1.1\r\n";
    // Consume whole records of this many bytes (0: take everything offered).
    int recordSize = 0;
    // Take at most this many records per HandleData call (0: no limit).
    int recordsPerCall = 0;
    // The result is complete after this many body bytes: the exchange ends itself (0: read until close).
    std::size_t expectedLength = 0;
};

class RecordingExchange : public MyNetworkPacketBase {
public:
    RecordingExchange(MyAppContext* context, std::shared_ptr<const StationConnectionData> station,
                      std::shared_ptr<ExchangeRecord> record, RecordingExchangeOptions options = {})
        : MyNetworkPacketBase(context, NetworkPacketType_RequestStreamData), record_(std::move(record)),
          options_(std::move(options)) {
        connectionData = std::move(station);
        std::lock_guard guard(record_->lock);
        if (connectionData) {
            record_->host = connectionData->host;
            record_->port = connectionData->port;
        }
    }
    ~RecordingExchange() override {
        std::lock_guard guard(record_->lock);
        record_->destroyed = true;
    }

    bool SendRequest() override {
        {
            std::lock_guard guard(record_->lock);
            record_->request = ComposeRequest(options_.pathAndQuery, options_.normalTail, options_.debugTail);
        }
        return SendRequestText(options_.pathAndQuery, options_.normalTail, options_.debugTail);
    }

    int HandleData(const char* data, int length) override {
        int take = length;
        if (options_.recordSize > 0) {
            int records = length / options_.recordSize;
            if (options_.recordsPerCall > 0)
                records = std::min(records, options_.recordsPerCall);
            take = records * options_.recordSize;
        }
        bool complete = false;
        {
            std::lock_guard guard(record_->lock);
            record_->offers.push_back(length);
            record_->body.append(data, static_cast<std::size_t>(take));
            complete = options_.expectedLength > 0 && record_->body.size() >= options_.expectedLength;
            if (complete)
                record_->resultDelivered = true;
        }
        if (complete) {
            resultDelivered = true;
            Disconnect(NETWORKERROR_NONE);
            return -1;
        }
        return take;
    }

    void Disconnect(NetworkError error) override {
        MyNetworkPacketBase::Disconnect(error);
        std::lock_guard guard(record_->lock);
        if (record_->disconnects.empty()) {
            record_->headerLines = headerLines();
            record_->chunked = chunked();
        }
        record_->disconnects.push_back(error);
    }

    using MyNetworkPacketBase::ComposeRequest;

private:
    std::shared_ptr<ExchangeRecord> record_;
    RecordingExchangeOptions options_;
};

} // namespace testsupport
