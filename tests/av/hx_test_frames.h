#pragma once

#include <QImage>

struct AVFrame;

// Synthetic pictures with known content for the filter and rendering tests.
namespace hxtest {

// A black yuv420p picture with a white square of `mark` pixels in its
// top-left corner.
AVFrame *makeMarkedFrame(int width, int height, int mark, qint64 pts = 0);

// A yuv420p picture whose luma rises from `low` at the left to `high` at the
// right, with neutral chroma.
AVFrame *makeGradientFrame(int width, int height, int low, int high);

// Copies a packed 32-bit BGRA or RGB24 frame into a QImage.
QImage toImage(const AVFrame *frame);

// Which corner of the picture holds the white mark: "TL", "TR", "BL", "BR",
// or "none"/"many".
QString markedCorner(const QImage &image, int mark);

// Mean and standard deviation of the luminance of an image.
void lumaStats(const QImage &image, double *mean, double *spread);

} // namespace hxtest
