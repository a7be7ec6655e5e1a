#include "hx_av_log.h"

Q_LOGGING_CATEGORY(lcHxAv, "hx.av")
