#pragma once

#include <string>

#include "media/media_summary.h"

namespace torvane {

class EncodeSettings;
struct ContainerEntry;
struct SourceItem;

// What a finished output must hold: an encoder that exits 0 may still have written a file
// without its picture, or a quarter of the movie (a source cut short, a renderer that died).
struct OutputPromise {
    bool picture = false;
    bool sound = false;
    // The length the output must have; 0 when it cannot be known beforehand (not checked).
    double seconds = 0.0;
    // A Flash movie's sound may outlast its frames: only a shorter output is wrong then.
    bool mayRunLonger = false;
    // The subtitle was to go in as a track.
    bool subtitleTrack = false;
};

// The promise of one item: the streams the settings keep and the source has, and the length of
// the source, or its range, or the test length, divided by the speed the command applies.
OutputPromise promisedOutput(const EncodeSettings& settings, const SourceItem& item, const ContainerEntry& container,
                             bool fullRun, int testSeconds, double appliedSpeed);

// The speed the encoder's command really changes the length by (mencoder's -speed, ffmpeg's
// setpts and atempo).
double speedTheCommandApplies(const EncodeSettings& settings, bool mencoder);

// Why the probed output breaks the promise ("출력 길이 0:00:03 / 예상 0:01:05"); empty when it
// keeps it. The length may differ by 2 % or half a second, whichever is more, and never exceed
// the promise by more than a second.
std::string outputShortfall(const MediaSummary& output, const OutputPromise& promise);

// Seconds as "h:mm:ss", as the reasons show lengths.
std::string lengthText(double seconds);

}  // namespace torvane
