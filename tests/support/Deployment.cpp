// The deployment values alone, so that the Windows build (which lacks the rest of Broker.cpp:
// rabbitmqctl, /proc) has them too.
#include "Broker.h"

namespace QvMT4Connector::TestSupport {

const char* const Deployment::Host = "127.0.0.1";
const char* const Deployment::VirtualHost = QV_BROKER_VHOST;
const char* const Deployment::User = QV_BROKER_USER;
const char* const Deployment::Password = QV_BROKER_PASSWORD;
const char* const Deployment::SignalsExchange = QV_SIGNALS_EXCHANGE;
const char* const Deployment::ResponsesExchange = QV_RESPONSES_EXCHANGE;

}  // namespace QvMT4Connector::TestSupport
