#include "connector/Globals.h"

#include "StoredSettings.h"  // generated from the build's QV_MT4_*_STORED options

namespace QvMT4Connector {
const char* const Globals::MT4User = QV_MT4_USER_STORED;
const char* const Globals::MT4UserPassword = QV_MT4_PASSWORD_STORED;
// Both connections open the same virtual host.
const char* const Globals::MT4SignalsVirtualHost = QV_MT4_VIRTUAL_HOST_STORED;
const char* const Globals::MT4ResponsesVirtualHost = QV_MT4_VIRTUAL_HOST_STORED;
const char* const Globals::MT4SignalsExchange = QV_MT4_SIGNALS_EXCHANGE_STORED;
const char* const Globals::MT4ReponsesExchange = QV_MT4_RESPONSES_EXCHANGE_STORED;
}  // namespace QvMT4Connector
