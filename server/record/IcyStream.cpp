#include "IcyStream.h"

#include "Text.h"

#include <algorithm>

namespace station::record {

bool IcyStream::Feed(std::string_view bytes, IcySink& sink) {
    if (!error_.empty())
        return false;
    if (!head_) {
        // The head ends at the first empty line (CR LF CR LF, or LF LF from lax servers).
        const std::size_t before = headText_.size();
        headText_.append(bytes.substr(0, kMaxHeadBytes + 4 - std::min(before, kMaxHeadBytes + 4)));
        std::size_t end = headText_.find("\r\n\r\n");
        std::size_t length = 4;
        if (const std::size_t lf = headText_.find("\n\n"); lf != std::string::npos && lf < end) {
            end = lf;
            length = 2;
        }
        if (end == std::string::npos) {
            if (headText_.size() > kMaxHeadBytes) {
                error_ = "the server's answer has no end of its head within " +
                         std::to_string(kMaxHeadBytes) + " bytes";
                return false;
            }
            return true;
        }
        if (!ParseHead(std::string_view(headText_).substr(0, end)))
            return false;
        const std::size_t used = end + length - before;
        bytes.remove_prefix(std::min(used, bytes.size()));
        headText_.clear();
        headText_.shrink_to_fit();
        untilMeta_ = head_->metaint;
        if (head_->status != 200)
            return true; // the body of a refusal is not audio
    }
    if (head_->status != 200)
        return true;
    while (!bytes.empty()) {
        if (head_->metaint == 0) {
            sink.OnAudio(bytes);
            return true;
        }
        if (!inMeta_ && untilMeta_ > 0) {
            const std::size_t n = std::min(untilMeta_, bytes.size());
            sink.OnAudio(bytes.substr(0, n));
            bytes.remove_prefix(n);
            untilMeta_ -= n;
            continue;
        }
        if (!inMeta_) {
            metaLeft_ = static_cast<unsigned char>(bytes.front()) * std::size_t{16};
            bytes.remove_prefix(1);
            inMeta_ = metaLeft_ != 0;
            if (!inMeta_)
                untilMeta_ = head_->metaint;
            continue;
        }
        const std::size_t n = std::min(metaLeft_, bytes.size());
        meta_.append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        metaLeft_ -= n;
        if (metaLeft_ == 0) {
            inMeta_ = false;
            untilMeta_ = head_->metaint;
            if (auto title = StreamTitleOf(meta_))
                sink.OnTitle(*title);
            meta_.clear();
        }
    }
    return true;
}

bool IcyStream::ParseHead(std::string_view text) {
    IcyHead head;
    const auto lines = SplitLines(text);
    if (lines.empty()) {
        error_ = "the server sent an empty answer";
        return false;
    }
    // "HTTP/1.x 200 OK" or SHOUTcast's "ICY 200 OK".
    const std::string_view statusLine = lines[0];
    const std::size_t space = statusLine.find(' ');
    std::uint64_t status = 0;
    if ((!StartsWith(statusLine, "HTTP/") && !StartsWith(statusLine, "ICY")) ||
        space == std::string_view::npos || !ParseUnsigned(statusLine.substr(space + 1, 3), 999, status)) {
        error_ = "the server's answer is not HTTP: '" + EscapedForLog(statusLine.substr(0, 80)) + "'";
        return false;
    }
    head.status = static_cast<int>(status);
    head.reason = std::string(Trim(statusLine.substr(std::min(statusLine.size(), space + 4))));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t colon = lines[i].find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string name = ToLower(Trim(lines[i].substr(0, colon)));
        const std::string_view value = Trim(lines[i].substr(colon + 1));
        if (name == "icy-metaint") {
            std::uint64_t metaint = 0;
            if (!ParseUnsigned(value, 1u << 24, metaint)) {
                error_ = "icy-metaint is not a number from 0 to 16777216: '" + EscapedForLog(value) + "'";
                return false;
            }
            head.metaint = static_cast<std::size_t>(metaint);
        } else if (name == "icy-name") {
            head.name = RepairUtf8(value);
        } else if (name == "content-type") {
            head.contentType = std::string(value);
        } else if (name == "transfer-encoding" && ToLower(value) != "identity") {
            error_ = "the server sends the stream with transfer coding '" + EscapedForLog(value) +
                     "', which is not an Icecast stream";
            return false;
        }
    }
    head_ = std::move(head);
    return true;
}

std::optional<std::string> StreamTitleOf(std::string_view metadata) {
    metadata = metadata.substr(0, metadata.find('\0'));
    const std::string_view key = "StreamTitle='";
    const std::size_t start = metadata.find(key);
    if (start == std::string_view::npos)
        return std::nullopt;
    std::string_view value = metadata.substr(start + key.size());
    // The value ends at "';" (a title may hold apostrophes of its own), or at the last apostrophe.
    std::size_t end = value.find("';");
    if (end == std::string_view::npos)
        end = value.rfind('\'');
    if (end == std::string_view::npos)
        end = value.size();
    std::string title = RepairUtf8(value.substr(0, end));
    for (char& c : title)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return std::string(Trim(title));
}

void SplitTitle(std::string_view title, std::string& artist, std::string& name) {
    const std::size_t dash = title.find(" - ");
    if (dash == std::string_view::npos) {
        artist.clear();
        name = std::string(Trim(title));
        return;
    }
    artist = std::string(Trim(title.substr(0, dash)));
    name = std::string(Trim(title.substr(dash + 3)));
}

} // namespace station::record
