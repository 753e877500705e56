#include "Mp3Probe.h"

#include <mpg123.h>

#include <memory>

namespace station {
namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};

} // namespace

Result<Mp3Facts> ProbeMp3(const std::filesystem::path& path) {
    const std::string file = path.string();
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, HandleDeleter> handle(mpg123_new(nullptr, &error));
    if (!handle)
        return Failure{file, 0, std::string("libmpg123: ") + mpg123_plain_strerror(error)};
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    if (mpg123_open(handle.get(), file.c_str()) != MPG123_OK)
        return Failure{file, 0, std::string("not an MP3 recording: ") + mpg123_strerror(handle.get())};
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0)
        return Failure{file, 0, "not an MP3 recording: no MPEG audio frame found"};
    if (mpg123_scan(handle.get()) != MPG123_OK)
        return Failure{file, 0, std::string("cannot scan the recording: ") + mpg123_strerror(handle.get())};
    const off_t samples = mpg123_length(handle.get());
    if (samples <= 0)
        return Failure{file, 0, "the recording holds no audio"};
    Mp3Facts facts;
    facts.samples = static_cast<std::uint64_t>(samples);
    facts.rate = rate;
    facts.channels = channels;
    facts.durationSeconds = static_cast<std::uint32_t>(
        (facts.samples + static_cast<std::uint64_t>(rate) / 2) / static_cast<std::uint64_t>(rate));
    return facts;
}

} // namespace station
