#include "hx_platform_log.h"

Q_LOGGING_CATEGORY(lcHxPlatform, "hx.platform")
