// The configuration step: log4net's XML configuration format, read with pugixml, applied to the
// library's loggers. A configuration applies whole or not at all.
#include "connector/implementation/LogConfiguration.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "connector/implementation/LogDiagnostic.h"
#include "connector/implementation/LogLevel.h"
#include "connector/implementation/LogRepository.h"
#include "connector/implementation/LogSettings.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation::LogConfiguration {
namespace {
constexpr char kExternalFile[] = "experts\\config\\log4net_qvmt4_config.xml";

class ConfigurationError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return out;
}

// A type name without its ", assembly" part, in lower case (log4net ignores the case of type names).
std::string TypeOf(const pugi::xml_node& element) {
  std::string type = element.attribute("type").value();
  type = type.substr(0, type.find(','));
  type.erase(type.find_last_not_of(" \t") + 1);
  return Lower(type);
}

bool ReadBool(const std::string& owner, const std::string& name, const std::string& value) {
  const std::string v = Lower(value);
  if (v == "true") return true;
  if (v == "false") return false;
  throw ConfigurationError(owner + ": " + name + " must be true or false, not \"" + value + "\"");
}

int ReadInt(const std::string& owner, const std::string& name, const std::string& value) {
  int n = 0;
  const char* end = value.data() + value.size();
  const auto r = std::from_chars(value.data(), end, n);
  if (r.ec != std::errc() || r.ptr != end) {
    throw ConfigurationError(owner + ": " + name + " must be a whole number, not \"" + value + "\"");
  }
  return n;
}

std::int32_t ReadThreshold(const std::string& value) {
  const std::string v = Lower(value);
  if (v == "all" || v == "trace" || v == "verbose" || v == "finest" || v == "finer" || v == "fine") return kThresholdAll;
  if (v == "debug") return Globals::LOG_DEBUG;
  if (v == "info" || v == "notice") return Globals::LOG_INFO;
  if (v == "warn") return Globals::LOG_WARN;
  if (v == "error") return Globals::LOG_ERROR;
  if (v == "fatal" || v == "severe" || v == "critical" || v == "alert" || v == "emergency") return Globals::LOG_FATAL;
  if (v == "off") return kThresholdOff;
  throw ConfigurationError("unknown level \"" + value + "\"");
}

// One setting of an element: <param name="X" value="Y"/> and <X value="Y"/> say the same.
struct Property {
  std::string name;  // lower case: names are matched without regard to case
  std::string value;
  pugi::xml_node node;
};

template <class Visit>
void ForEachProperty(const pugi::xml_node& element, Visit visit) {
  for (const pugi::xml_node& child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    const bool param = Lower(child.name()) == "param";
    visit(Property{Lower(param ? child.attribute("name").value() : child.name()), child.attribute("value").value(),
                   child});
  }
}

void Ignored(const std::string& owner, const Property& p) {
  LogDiagnostic(owner + ": the setting \"" + p.node.attribute("name").as_string(p.node.name()) +
         "\" is not supported and is ignored");
}

std::string ReadLayout(const std::string& owner, const pugi::xml_node& layout) {
  const std::string type = TypeOf(layout);
  if (type == "log4net.layout.simplelayout") return "%level - %message%newline";
  if (type != "log4net.layout.patternlayout") {
    throw ConfigurationError(owner + ": unsupported layout type \"" + std::string(layout.attribute("type").value()) + "\"");
  }
  std::string pattern = "%message%newline";
  ForEachProperty(layout, [&](const Property& p) {
    if (p.name == "conversionpattern") {
      pattern = p.value;
    } else {
      Ignored(owner + " layout", p);
    }
  });
  return pattern;
}

AppenderSettings ReadAppender(const pugi::xml_node& element) {
  AppenderSettings a;
  a.name = element.attribute("name").value();
  const std::string owner = "appender \"" + a.name + "\"";
  const std::string type = TypeOf(element);
  if (type == "log4net.appender.rollingfileappender") {
    a.kind = AppenderSettings::Kind::RollingFile;
  } else if (type == "log4net.appender.consoleappender") {
    a.kind = AppenderSettings::Kind::Console;
  } else {
    throw ConfigurationError(owner + ": unsupported type \"" + std::string(element.attribute("type").value()) + "\"");
  }

  bool hasLayout = false;
  bool hasFile = false;
  RollingFileSettings& f = a.rollingFile;
  ForEachProperty(element, [&](const Property& p) {
    if (p.name == "layout") {
      a.pattern = ReadLayout(owner, p.node);
      hasLayout = true;
    } else if (a.kind == AppenderSettings::Kind::Console) {
      if (p.name != "target") return Ignored(owner, p);
      const std::string target = Lower(p.value);
      if (target != "console.out" && target != "console.error") {
        throw ConfigurationError(owner + ": target must be Console.Out or Console.Error, not \"" + p.value + "\"");
      }
      a.standardError = target == "console.error";
    } else if (p.name == "file") {
      f.file = p.value;
      hasFile = !p.value.empty();
    } else if (p.name == "datepattern") {
      f.datePattern = p.value;
    } else if (p.name == "appendtofile") {
      f.appendToFile = ReadBool(owner, p.name, p.value);
    } else if (p.name == "maxdaterollbackups") {
      f.maxDateRollBackups = ReadInt(owner, p.name, p.value);
    } else if (p.name == "preservelogfilenameextension") {
      f.preserveExtension = ReadBool(owner, p.name, p.value);
    } else if (p.name == "rollingstyle") {
      if (Lower(p.value) != "date") LogDiagnostic(owner + ": only the Date rolling style is supported; it is used");
    } else if (p.name == "staticlogfilename") {
      if (ReadBool(owner, p.name, p.value)) LogDiagnostic(owner + ": the active file always carries its date");
    } else {
      Ignored(owner, p);
    }
  });
  if (!hasLayout) throw ConfigurationError(owner + " has no layout");
  if (a.kind == AppenderSettings::Kind::RollingFile && !hasFile) throw ConfigurationError(owner + " has no file");
  return a;
}

void FindElements(const pugi::xml_node& node, const char* name, std::vector<pugi::xml_node>& found) {
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    if (std::string_view(child.name()) == name) found.push_back(child);
    FindElements(child, name, found);
  }
}

LogSettings Read(const pugi::xml_document& document) {
  std::vector<pugi::xml_node> found;
  FindElements(document, "log4net", found);
  if (found.size() != 1) {
    throw ConfigurationError("expected exactly one log4net element, found " + std::to_string(found.size()));
  }
  const pugi::xml_node log4net = found.front();

  LogSettings settings;
  for (const pugi::xml_node& child : log4net.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name != "appender" && name != "root") LogDiagnostic("the element <" + name + "> is not supported and is ignored");
  }
  const pugi::xml_node root = log4net.child("root");
  for (const pugi::xml_node& child : root.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string name = child.name();
    if (name == "level" || name == "priority") {
      settings.threshold = ReadThreshold(child.attribute("value").value());
    } else if (name == "appender-ref") {
      const std::string ref = child.attribute("ref").value();
      const pugi::xml_node appender = log4net.find_child_by_attribute("appender", "name", ref.c_str());
      if (!appender) throw ConfigurationError("the root refers to the missing appender \"" + ref + "\"");
      settings.appenders.push_back(ReadAppender(appender));
    } else {
      LogDiagnostic("the root's element <" + name + "> is not supported and is ignored");
    }
  }
  return settings;
}

void Apply(const pugi::xml_parse_result& parsed, const pugi::xml_document& document, const std::string& source) {
  if (!parsed) {
    throw ConfigurationError(source + " is not a well-formed XML document (" + parsed.description() + " at offset " +
                             std::to_string(parsed.offset) + ")");
  }
  try {
    LogRepository::Apply(Read(document));
  } catch (const ConfigurationError& e) {
    throw ConfigurationError(source + ": " + e.what());
  }
}
}  // namespace

void Configure(std::string_view builtInText) noexcept {
  try {
    const std::filesystem::path external = ConfiguredPath(kExternalFile, Platform::CurrentDirectory());
    std::error_code ec;
    pugi::xml_document document;
    const bool present = std::filesystem::exists(external, ec);
    if (ec) throw ConfigurationError("cannot look for " + external.string() + ": " + ec.message());
    if (present) {
      const std::string source = "the configuration file " + external.string();
      Apply(document.load_file(external.string().c_str()), document, source);
    } else {
      Apply(document.load_buffer(builtInText.data(), builtInText.size()), document, "the built-in configuration");
    }
  } catch (const std::exception& e) {
    LogDiagnostic(std::string(e.what()) + "; the log configuration is left as it was");
  } catch (...) {
    LogDiagnostic("unknown failure; the log configuration is left as it was");
  }
}

}  // namespace QvMT4Connector::Implementation::LogConfiguration
