#pragma once

#include "vw_button.h"

#include <array>

// An image button: its whole look comes from a style sheet template filled
// with an image name. The images live under ":/image/" as <name>.png with the
// state variants <name>_1 (hover), <name>_2 (pressed), <name>_3 (disabled)
// and, for checkable buttons, <name>_checked, _checked_1, _checked_2 and
// _checked_3.
class HxButton : public VwButton
{
    Q_OBJECT

public:
    // The five colours of a colour button, each 0xRRGGBB, in this order.
    enum ColorIndex {
        COLOR_NORMAL = 0,
        COLOR_PRESSED = 1,
        COLOR_HOVER = 2,
        COLOR_DISABLED = 3,
        COLOR_CHECKED = 4,
    };
    using Colors = std::array<int, 5>;

    explicit HxButton(QWidget *parent = nullptr);

    // Every factory names the button after its image, fixes its size, adds it
    // to `layout` (when given) and registers a non-empty tooltip as the
    // Japanese one. A negative `index` appends; 0 or more inserts the button
    // at that position of a box layout.
    static HxButton *createImageButton(QWidget *parent, QLayout *layout, const QString &imageName,
                                       const QString &tooltip, const QSize &size, int index = -1);
    static HxButton *createCheckableImageButton(QWidget *parent, QLayout *layout,
                                                const QString &imageName, const QString &tooltip,
                                                const QSize &size);
    // An image button, checkable or not, with the language table's text of
    // `key` as its Japanese tooltip and `english` as its English one.
    static HxButton *createTranslatedButton(QWidget *parent, QLayout *layout, const QString &imageName,
                                            const char *key, const QString &english, const QSize &size,
                                            bool checkable = false);
    // The same picture in every state, for icons that only show something.
    static HxButton *createSingleImageButton(QWidget *parent, QLayout *layout,
                                             const QString &imageName, const QString &tooltip,
                                             const QSize &size);
    static HxButton *createColorButton(QWidget *parent, QLayout *layout, const QString &imageName,
                                       const QString &tooltip, const QSize &size,
                                       const Colors &colors);
    // The template selects by the class name, so it only styles HxButtons.
    static void applyColorStyle(HxButton *button, const QString &imageName, const Colors &colors);

    // The recording types a filter button stands for (a mask of the recording list's groups).
    int typeMask() const { return m_typeMask; }
    void setTypeMask(int mask) { m_typeMask = mask; }

private:
    static HxButton *createFromTemplate(QWidget *parent, QLayout *layout, const QString &styleSheet,
                                        const QString &imageName, const QString &tooltip,
                                        const QSize &size, int index);

    int m_typeMask = 0;
};
