#include "connector/Globals.h"

namespace QvMT4Connector {
// Provisional: the stored forms come with the setting cipher.
const char* const Globals::MT4User = "";
const char* const Globals::MT4UserPassword = "";
const char* const Globals::MT4SignalsVirtualHost = "";
const char* const Globals::MT4ResponsesVirtualHost = "";
const char* const Globals::MT4SignalsExchange = "";
const char* const Globals::MT4ReponsesExchange = "";
}  // namespace QvMT4Connector
