#include "support/Mp3Fixtures.h"

#include <mpg123.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace testsupport {

namespace {

// Makes (once per build folder) `name` in `directory`: what `synth` (sox's synth effect and its
// arguments) makes in the fixture's format, encoded with lame.
std::string MakeMp3(const std::string& directory, const std::string& name, const ToneFixture& format,
                    const std::string& synth) {
    namespace fs = std::filesystem;
    const fs::path target = fs::path(directory) / name;
    std::error_code error;
    if (fs::exists(target, error))
        return target.string();
    fs::create_directories(directory, error);
    // Built under a name of its own and renamed into place, so a reader never sees half a file.
    const std::string unique = std::to_string(std::random_device{}());
    const fs::path wav = fs::path(directory) / (name + "." + unique + ".wav");
    const fs::path mp3 = fs::path(directory) / (name + "." + unique + ".part");
    char resample[32];
    std::snprintf(resample, sizeof resample, "%g", format.rate / 1000.0);
    // -R: the same noise in every build, so that a fixture's frames are the same everywhere.
    const std::string command = "sox -D -R -n -r " + std::to_string(format.rate) + " -c " +
                                std::to_string(format.channels) + " -b 16 '" + wav.string() + "' synth " +
                                std::to_string(format.seconds) + " " + synth +
                                " vol 0.5 && lame --quiet -b " + std::to_string(format.kbps) +
                                " --resample " + resample + " '" + wav.string() + "' '" + mp3.string() + "'";
    const int status = std::system(command.c_str());
    fs::remove(wav, error);
    if (status != 0) {
        fs::remove(mp3, error);
        return "";
    }
    fs::rename(mp3, target, error);
    if (error)
        return "";
    return target.string();
}

std::string FixtureName(const char* kind, const ToneFixture& format) {
    return std::string(kind) + "-" + std::to_string(format.rate) + "-" + std::to_string(format.channels) +
           "ch-" + std::to_string(static_cast<int>(format.seconds * 1000)) + "ms-" +
           std::to_string(format.kbps) + "k.mp3";
}

} // namespace

std::string MakeToneMp3(const std::string& directory, const ToneFixture& tone) {
    return MakeMp3(directory, FixtureName("tone", tone), tone,
                   tone.channels == 1 ? "sine 440" : "sine 440 sine 660");
}

std::string MakeNoiseMp3(const std::string& directory, const ToneFixture& format) {
    return MakeMp3(directory, FixtureName("noise", format), format, "pinknoise");
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    // One read of the whole file: captures run to hundreds of megabytes, also in unoptimised builds.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::vector<std::uint8_t> ReferenceDecode(const std::vector<std::uint8_t>& mp3, std::size_t offset) {
    std::vector<std::uint8_t> pcm;
    if (offset >= mp3.size())
        return pcm;
    mpg123_init();
    int error = 0;
    mpg123_pars* pars = mpg123_new_pars(&error);
    mpg123_par(pars, MPG123_ADD_FLAGS, MPG123_GAPLESS, 0);
    mpg123_fmt_none(pars);
    mpg123_fmt(pars, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_handle* handle = mpg123_parnew(pars, nullptr, &error);
    mpg123_delete_pars(pars);
    if (!handle)
        return pcm;
    mpg123_open_feed(handle);
    mpg123_feed(handle, mp3.data() + offset, mp3.size() - offset);
    std::vector<std::uint8_t> chunk(65536);
    for (;;) {
        std::size_t done = 0;
        const int answer = mpg123_read(handle, chunk.data(), chunk.size(), &done);
        pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(done));
        if (answer != MPG123_OK && answer != MPG123_NEW_FORMAT)
            break;
    }
    mpg123_delete(handle);
    return pcm;
}

std::vector<std::uint8_t> WithoutSilentFrames(const std::vector<std::uint8_t>& pcm) {
    std::vector<std::uint8_t> kept;
    kept.reserve(pcm.size());
    for (std::size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        if (pcm[i] == 0 && pcm[i + 1] == 0 && pcm[i + 2] == 0 && pcm[i + 3] == 0)
            continue;
        kept.insert(kept.end(), pcm.begin() + static_cast<std::ptrdiff_t>(i),
                    pcm.begin() + static_cast<std::ptrdiff_t>(i + 4));
    }
    return kept;
}

} // namespace testsupport
