#pragma once
// The substitute service's answer to one signal text: which reply it sends, and under which key.
#include <optional>
#include <string>
#include <string_view>

namespace QvMT4Connector::SubstituteService {

struct Reply {
  std::string routingKey;  // tsqv.response.human.<word>.<system id>
  std::string text;
};

// The reply to one signal, or none when the text carries no system id to address it to.
// The reply's wording is described in docs/protocol.md ("The substitute service").
std::optional<Reply> Answer(std::string_view signal);

}  // namespace QvMT4Connector::SubstituteService
