#include "vw_graphics_adapter.h"

#include "hx_app_log.h"
#include "hx_display_adapters.h"

bool legacyGraphicsAdapter = false;

bool isLegacyGraphicsAdapter()
{
    const QStringList descriptions = HxDisplayAdapters().descriptions();
    for (const QString &description : descriptions) {
        if (HxDisplayAdapters::isLegacyChipset(description)) {
            qCInfo(lcHxApp) << "isLegacyGraphicsAdapter" << description;
            legacyGraphicsAdapter = true;
            return true;
        }
    }
    return false;
}
