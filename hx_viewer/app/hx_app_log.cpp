#include "hx_app_log.h"

Q_LOGGING_CATEGORY(lcHxApp, "hx.app")
