#include "connector/implementation/PatternLayout.h"

#include <cctype>

#include "connector/Utils.h"
#include "connector/implementation/LogDate.h"
#include "connector/implementation/LogDiagnostic.h"

namespace QvMT4Connector::Implementation {
namespace {
constexpr char kNewLine[] = "\r\n";
constexpr char kIso8601[] = "yyyy-MM-dd HH:mm:ss,fff";

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t ReadNumber(std::string_view s, std::size_t& i) {
  std::size_t n = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (n < 100000) n = n * 10 + static_cast<std::size_t>(s[i] - '0');
    ++i;
  }
  return n;
}

// log4net's named date formats, or the option as a .NET format.
std::string DateFormatOf(const std::string& option) {
  if (option.empty() || option == "ISO8601") return kIso8601;
  if (option == "ABSOLUTE") return "HH:mm:ss,fff";
  if (option == "DATE") return "dd MMM yyyy HH:mm:ss,fff";
  return option;
}
}  // namespace

PatternLayout::PatternLayout(std::string_view pattern) {
  auto literal = [this](std::string_view text) {
    if (parts_.empty() || parts_.back().kind != Kind::Literal) parts_.emplace_back();
    parts_.back().text.append(text);
  };

  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::size_t percent = pattern.find('%', i);
    if (percent == std::string_view::npos) {
      literal(pattern.substr(i));
      break;
    }
    literal(pattern.substr(i, percent - i));
    std::size_t j = percent + 1;
    if (j < pattern.size() && pattern[j] == '%') {
      literal("%");
      i = j + 1;
      continue;
    }
    Part part;
    if (j < pattern.size() && pattern[j] == '-') {
      part.leftJustify = true;
      ++j;
    }
    part.minWidth = ReadNumber(pattern, j);
    if (j < pattern.size() && pattern[j] == '.') {
      ++j;
      part.maxWidth = ReadNumber(pattern, j);
    }
    const std::size_t nameBegin = j;
    while (j < pattern.size() && IsLetter(pattern[j])) ++j;
    const std::string_view name = pattern.substr(nameBegin, j - nameBegin);
    std::string option;
    if (j < pattern.size() && pattern[j] == '{') {
      const std::size_t close = pattern.find('}', j);
      if (close != std::string_view::npos) {
        option = std::string(pattern.substr(j + 1, close - j - 1));
        j = close + 1;
      }
    }

    if (name == "date" || name == "d") {
      part.kind = Kind::Date;
      part.text = DateFormatOf(option);
    } else if (name == "level" || name == "p") {
      part.kind = Kind::Level;
    } else if (name == "logger" || name == "c") {
      part.kind = Kind::Logger;
    } else if (name == "message" || name == "m") {
      part.kind = Kind::Message;
    } else if (name == "newline" || name == "n") {
      part.kind = Kind::NewLine;
    } else if (name == "thread" || name == "t") {
      part.kind = Kind::Thread;
      showsThread_ = true;
    } else {
      const std::string_view unknown = pattern.substr(percent, j - percent);
      LogDiagnostic("unknown conversion \"" + std::string(unknown) +
                           "\" in the layout \"" + std::string(pattern) + "\"; it is written as text");
      literal(unknown);
      i = j;
      continue;
    }
    parts_.push_back(std::move(part));
    i = j;
  }
}

void PatternLayout::RenderPart(const Part& part, const LogEvent& event, std::string& out) const {
  switch (part.kind) {
    case Kind::Literal: out += part.text; break;
    case Kind::Date: AppendDate(out, event.time, part.text); break;
    case Kind::Level: out += LevelName(event.level); break;
    case Kind::Logger: out.append(event.logger); break;
    case Kind::Message: out.append(event.message); break;
    case Kind::NewLine: out += kNewLine; break;
    case Kind::Thread: out += Utils::FormatInt(static_cast<std::int64_t>(event.thread)); break;
  }
}

void PatternLayout::Render(const LogEvent& event, std::string& out) const {
  for (const Part& part : parts_) {
    const std::size_t start = out.size();
    RenderPart(part, event, out);
    std::size_t length = out.size() - start;
    if (length > part.maxWidth) {
      out.erase(start, length - part.maxWidth);  // log4net keeps the end of a long field
      length = part.maxWidth;
    }
    if (length < part.minWidth) {
      const std::size_t pad = part.minWidth - length;
      if (part.leftJustify) {
        out.append(pad, ' ');
      } else {
        out.insert(start, pad, ' ');
      }
    }
  }
  if (!event.errorText.empty()) {
    out.append(event.errorText);
    out += kNewLine;
  }
}

}  // namespace QvMT4Connector::Implementation
