#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

// The frame number that make_card burns into every frame as a 12-bit block
// code: bit i is a white block of width/16 at the top left of the picture,
// black for 0.
namespace HxFrameCode {

// The picture of `videoSize` as a pane of `pane` shows it: scaled to fit,
// centred.
QRectF fittedPicture(const QRectF &pane, const QSizeF &videoSize);

// The code in `picture` of `image`, read from the block centres; -1 when a
// block is neither clearly black nor clearly white (no such picture there).
// A picture mirrored left to right carries its blocks from the right edge.
// Only the lowest `bits` are read where the others lie outside the view.
int read(const QImage &image, const QRectF &picture, bool mirrored = false, int bits = 12);

} // namespace HxFrameCode
