#include "hx_logo_widget.h"

#include <QLabel>
#include <QVBoxLayout>

HxLogoWidget::HxLogoWidget(bool big, QWidget *parent)
    : QWidget(parent)
    , _big(big)
{
    // A QWidget subclass draws its style sheet's border image only when asked to.
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("HxLogoWidget {border-image: url(:/image/video_bg.png) 0 0 0 0 repeat repeat;}"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setAlignment(Qt::AlignCenter);
    _label = new QLabel(this);
    layout->addWidget(_label);
    setCamera(big);
}

void HxLogoWidget::setCamera(bool front)
{
    _front = front;
    _label->setPixmap(QPixmap(QStringLiteral(":/image/logo_%1_%2_kv.png")
                                  .arg(front ? QLatin1String("front") : QLatin1String("rear"),
                                       _big ? QLatin1String("big") : QLatin1String("small"))));
}
