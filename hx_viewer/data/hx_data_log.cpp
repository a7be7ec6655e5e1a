#include "hx_data_log.h"

Q_LOGGING_CATEGORY(lcHxData, "hx.data")
