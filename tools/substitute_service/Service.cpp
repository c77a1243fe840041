#include "Service.h"

#include <stdexcept>
#include <vector>

#include "connector/Utils.h"

namespace QvMT4Connector::SubstituteService {
namespace {

struct Kind {
  const char* keyword;
  std::size_t fields;
};
constexpr Kind kKinds[] = {{"Login", 6},   {"Open", 14},   {"Close", 11},
                           {"Cancel", 7},  {"Replace", 14}, {"Params", 17},
                           {"CancelAllPendingSignals", 6}};
constexpr std::string_view kStopMarker = "MT4002";

std::vector<std::string> Split(std::string_view text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    fields.emplace_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

std::string Decode(const std::string& base64) {
  const auto bytes = Utils::Base64Decode(base64);
  return std::string(bytes.begin(), bytes.end());
}

Reply To(const std::string& systemId, const char* word, std::string text) {
  return {std::string("tsqv.response.human.") + word + "." + systemId, std::move(text)};
}

}  // namespace

std::optional<Reply> Answer(std::string_view signal) {
  const auto f = Split(signal);
  if (f.size() < 4) return std::nullopt;  // no system id: nobody to answer
  const std::string& systemId = f[3];
  const Kind* kind = nullptr;
  for (const auto& k : kKinds) {
    if (f[0] == k.keyword) kind = &k;
  }
  if (!kind) return To(systemId, "error", "ERROR unknown signal \"" + f[0] + "\"");
  if (f.size() != kind->fields) {
    return To(systemId, "error",
              "ERROR " + f[0] + " needs " + std::to_string(kind->fields) + " fields, got " + std::to_string(f.size()));
  }
  std::string email, comment;
  try {
    email = Decode(f[1]);
    comment = Decode(f[4]);
  } catch (const std::invalid_argument&) {
    return To(systemId, "error", "ERROR " + f[0] + ": the e-mail or the comment is not Base64");
  }
  if (comment.find(kStopMarker) != std::string::npos) {
    return To(systemId, "stop", "MT4002 Session ended by the service for " + email + " (order " + f[6] + ")");
  }
  const std::string& k = f[0];
  std::string text = "OK " + k + " from " + email + ": ";
  if (k == "Login") {
    text += "welcome, system " + systemId;
  } else if (k == "Open") {
    text += "order " + f[6] + " " + f[7] + " type " + f[8] + " volume " + f[9] + " at " + f[10];
  } else if (k == "Close") {
    text += "order " + f[6] + " " + f[7] + " volume " + f[9] + " closed at " + f[10];
  } else if (k == "Cancel") {
    text += "order " + f[6] + " cancelled";
  } else if (k == "Replace") {
    text += "order " + f[6] + " now at " + f[11] + " SL " + f[12] + " TP " + f[13];
  } else if (k == "Params") {
    text += "EA version " + f[7] + ", lot multiplier " + f[8];
  } else {
    text += "pending signals cancelled";
  }
  return To(systemId, "ok", std::move(text));
}

}  // namespace QvMT4Connector::SubstituteService
