#include "platform/system/logging.h"

Q_LOGGING_CATEGORY(lcLink, "tq.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPort, "tq.port", QtWarningMsg)
