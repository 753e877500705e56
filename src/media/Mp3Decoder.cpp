#include "media/Mp3Decoder.h"

#include "app/ShowErrorBox.h"
#include "platform/Audio.h"
#include "records/CatalogueRecords.h"

#include <mpg123.h>

#include <algorithm>

static_assert(kMpg123Ok == MPG123_OK && kMpg123NeedMore == MPG123_NEED_MORE &&
              kMpg123NewFormat == MPG123_NEW_FORMAT);

namespace {

void Report(const char16_t* condition, int line) {
    ShowErrorBox(condition, VANTRI_SOURCE_NAME("MediaHandler"), line);
}

// Frees a parameter set when the decoder has been made from it.
struct ParsDeleter {
    void operator()(mpg123_pars* pars) const { mpg123_delete_pars(pars); }
};

} // namespace

void Mp3DecoderLibraryInit() {
    mpg123_init();
}

int Mp3Decoder::Start(const Mp3DataBlock& block, std::unique_ptr<Mp3Decoder>& decoder) {
    decoder.reset();
    int error = MPG123_OK;
    std::unique_ptr<mpg123_pars, ParsDeleter> pars(mpg123_new_pars(&error));
    // Quiet: libmpg123 prints nothing on standard error itself. What it would print is a frame it could
    // not decode (made silent, and the normal case for the first frame after a start or seek in the middle
    // of the stream, whose data begins in bytes the decoder never saw) or a failure that also comes back
    // as an answer, which the media thread reports with its own boxes.
    if (pars) {
        mpg123_par(pars.get(), MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
        // The device plays 44,100 Hz 16-bit stereo only: allowing nothing else makes libmpg123 convert
        // every stream to it (channel duplication, its own resampler).
        mpg123_fmt_none(pars.get());
        mpg123_fmt(pars.get(), platform::kWaveSampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    mpg123_handle* handle = mpg123_parnew(pars.get(), nullptr, &error);
    if (!handle || error != MPG123_OK) {
        if (handle)
            mpg123_delete(handle);
        Report(u"mpg123_parnew FAILED!", __LINE__);
        return -1;
    }
    if (!pars)
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    decoder.reset(new Mp3Decoder(handle));
    if (mpg123_open_feed(handle) != MPG123_OK) {
        Report(u"mpg123_open_feed FAILED!", __LINE__);
        return -1;
    }
    const std::size_t fill = std::min<std::size_t>(block.fill, Mp3DataBlock::kCapacity);
    const int answer = mpg123_decode(handle, block.data, fill, nullptr, 0, nullptr);
    if (answer == MPG123_NEED_MORE)
        return 0;
    if (answer != MPG123_NEW_FORMAT) {
        Report(u"mpg123_decode != MPG123_NEW_FORMAT!", __LINE__);
        return -1;
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK ||
        rate != static_cast<long>(platform::kWaveSampleRate) || channels != MPG123_STEREO ||
        encoding != MPG123_ENC_SIGNED_16) {
        Report(u"mpg123_getformat FAILED!", __LINE__);
        return -1;
    }
    return 1;
}

Mp3Decoder::~Mp3Decoder() {
    mpg123_delete(handle_);
}

int Mp3Decoder::Read(std::uint8_t* out, std::size_t room, std::size_t& done) {
    done = 0;
    return mpg123_read(handle_, out, room, &done);
}

void Mp3Decoder::Feed(const std::uint8_t* data, std::size_t size) {
    mpg123_feed(handle_, data, size);
}
