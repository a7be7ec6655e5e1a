#include "hx_frame_code.h"

#include <QColor>

namespace HxFrameCode {

namespace {
constexpr int kBits = 12;
constexpr int kBlocksAcross = 16;
constexpr int kDarkBelow = 80;
constexpr int kLightAbove = 175;
} // namespace

QRectF fittedPicture(const QRectF &pane, const QSizeF &videoSize)
{
    const QSizeF size = videoSize.scaled(pane.size(), Qt::KeepAspectRatio);
    return QRectF(pane.center().x() - size.width() / 2, pane.center().y() - size.height() / 2,
                  size.width(), size.height());
}

int read(const QImage &image, const QRectF &picture, bool mirrored, int bits)
{
    const double block = picture.width() / kBlocksAcross;
    const int y = int(picture.top() + block / 2);
    int code = 0;
    for (int bit = 0; bit < qMin(bits, kBits); ++bit) {
        const double offset = (bit + 0.5) * block;
        const int x = int(mirrored ? picture.right() - offset : picture.left() + offset);
        if (!image.valid(x, y))
            return -1;
        const int level = qGray(image.pixel(x, y));
        if (level > kLightAbove)
            code |= 1 << bit;
        else if (level >= kDarkBelow)
            return -1;
    }
    return code;
}

} // namespace HxFrameCode
