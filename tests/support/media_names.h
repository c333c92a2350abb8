#pragma once

#include <string>

namespace torvane::test {

// What ffprobe calls the format a catalogue container writes ("mp4" gives
// "mov,mp4,m4a,3gp,3g2,mj2"); fails the test for a container it does not know.
std::string ffprobeFormatName(const std::string& container);
// What ffprobe calls the stream a catalogue codec writes ("xvid" gives "mpeg4").
std::string ffprobeCodecName(const std::string& codec);

}  // namespace torvane::test
