#pragma once

#include <QMetaType>

// Enumerations shared by the player, its clock and its outputs.
namespace av {

enum MediaStatus {
    UnknownMediaStatus,
    NoMedia,        // no file set
    LoadingMedia,   // the file is being opened
    LoadedMedia,    // opened and ready to play
    StalledMedia,
    BufferingMedia,
    BufferedMedia,  // playing: the first frame after start has been shown
    EndOfMedia,     // played to the end (or to the end of its readable part)
    InvalidMedia    // cannot be played; error() tells why
};

// Flags: what the player does with its outputs when the media ends or stops.
enum MediaEndActionFlag {
    MediaEndAction_Default = 0,      // blank the outputs
    MediaEndAction_KeepDisplay = 1,  // the last frame stays shown
    MediaEndAction_Pause = 2         // pause on the last frame instead of stopping
};
using MediaEndAction = int;

enum SeekType {
    AccurateSeek,  // decode forward to the frame at the target
    KeyFrameSeek,  // land on the key frame at or before the target
    AnyFrameSeek = AccurateSeek
};

using VideoRendererId = int;
constexpr VideoRendererId VideoRendererId_Widget = 1;
constexpr VideoRendererId VideoRendererId_OpenGLWidget = 2;

} // namespace av

Q_DECLARE_METATYPE(av::MediaStatus)
