#include "hx_ui_log.h"

Q_LOGGING_CATEGORY(lcHxUi, "hx.ui")
