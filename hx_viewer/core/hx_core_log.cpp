#include "hx_core_log.h"

Q_LOGGING_CATEGORY(lcHxCore, "hx.core")
