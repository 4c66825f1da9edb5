#include "platform/json.h"

#include <cstdio>

#include "platform/utf8.h"

namespace platform {

std::string JsonString(std::string_view Text) {
  const std::string clean = SanitizeUtf8(Text);
  std::string out;
  out.reserve(clean.size() + 2);
  out += '"';
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
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string HexBytes(std::string_view Bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(Bytes.size() * 2);
  for (const char c : Bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

JsonObject& JsonObject::Raw(std::string_view Key, std::string_view Json) {
  if (body_.size() > 1) body_ += ',';
  body_ += JsonString(Key);
  body_ += ':';
  body_ += Json;
  return *this;
}

JsonObject& JsonObject::Add(std::string_view Key, std::string_view Value) {
  Raw(Key, JsonString(Value));
  if (!IsValidUtf8(Value)) Raw(std::string(Key) + "_hex", JsonString(HexBytes(Value)));
  return *this;
}

JsonObject& JsonObject::Merge(const JsonObject& Other) {
  if (Other.Empty()) return *this;
  if (!Empty()) body_ += ',';
  body_.append(Other.body_, 1, std::string::npos);
  return *this;
}

JsonObject& JsonObject::Add(std::string_view Key, bool Value) {
  return Raw(Key, Value ? "true" : "false");
}

JsonObject& JsonObject::Add(std::string_view Key, const JsonObject& Value) {
  return Raw(Key, Value.Text());
}

JsonObject& JsonObject::Add(std::string_view Key, const JsonArray& Value) {
  return Raw(Key, Value.Text());
}

JsonObject& JsonObject::AddNull(std::string_view Key) {
  return Raw(Key, "null");
}

JsonArray& JsonArray::Raw(std::string_view Json) {
  if (count_ != 0) body_ += ',';
  body_ += Json;
  ++count_;
  return *this;
}

JsonArray& JsonArray::Push(std::string_view Value) {
  // A list of bare strings has no place for the raw bytes: a name that
  // is not valid UTF-8 goes into an object with them.
  if (IsValidUtf8(Value)) return Raw(JsonString(Value));
  return Push(JsonObject().Add("text", Value));
}

}  // namespace platform
