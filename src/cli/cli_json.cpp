#include "cli/cli_json.h"

#include <cstdio>

#include "platform/utf8.h"

namespace cli {

std::string JsonString(std::string_view Text) {
  const std::string clean = platform::SanitizeUtf8(Text);
  std::string out = "\"";
  for (const char c : clean) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void JsonObject::Key(std::string_view Key) {
  if (body_.size() > 1) body_ += ',';
  body_ += JsonString(Key);
  body_ += ':';
}

JsonObject& JsonObject::Add(std::string_view K, std::string_view Value) {
  Key(K);
  body_ += JsonString(Value);
  return *this;
}

JsonObject& JsonObject::Add(std::string_view K, int64_t Value) {
  Key(K);
  body_ += std::to_string(Value);
  return *this;
}

JsonObject& JsonObject::Add(std::string_view K, bool Value) {
  Key(K);
  body_ += Value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::AddNull(std::string_view K) {
  Key(K);
  body_ += "null";
  return *this;
}

void JsonObject::Print() const {
  const std::string line = Text() + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace cli
