#pragma once
// MP3 fixtures made at test time with sox and lame (no downloads), and a reference decode straight
// through libmpg123 to compare the program's output against.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct ToneFixture {
    int rate = 44100;     // frames per second of the source and of the MP3
    int channels = 2;     // the left channel holds 440 Hz, the right one 660 Hz
    double seconds = 5.0; // length of the source
    int kbps = 128;       // constant bit rate
};

// Makes (once per build folder) an MP3 of a tone in `directory`; answers its path, or "" when sox or
// lame failed. Safe when several test processes ask for the same file at once.
std::string MakeToneMp3(const std::string& directory, const ToneFixture& tone);
// The same for pink noise in the fixture's format. At a low bit rate (22,050 Hz mono, 48 kbit/s) its frames
// keep borrowing from the bit reservoir, as music does, so a decoder that starts at an arbitrary byte
// mostly meets a first frame whose data begins in frames it never saw.
std::string MakeNoiseMp3(const std::string& directory, const ToneFixture& format);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// 44,100 Hz 16-bit stereo PCM that libmpg123 gives for `mp3`, converted by its own resampler, decoded
// from one feed of all bytes from `offset` on.
std::vector<std::uint8_t> ReferenceDecode(const std::vector<std::uint8_t>& mp3, std::size_t offset = 0);

// PCM with every frame whose two samples are both 0 left out: the silence a starved or paused device
// writes between buffers.
std::vector<std::uint8_t> WithoutSilentFrames(const std::vector<std::uint8_t>& pcm);

} // namespace testsupport
