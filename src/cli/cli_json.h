#pragma once
// One JSON object per line on standard output: the --json form of every
// subcommand's progress events and final result.

#include <cstdint>
#include <string>
#include <string_view>

namespace cli {

// Text as a JSON string literal, quotes included; bytes that are not
// valid UTF-8 become U+FFFD.
std::string JsonString(std::string_view Text);

// Builds {"key":value,...} in the order the fields are added.
class JsonObject {
 public:
  JsonObject& Add(std::string_view Key, std::string_view Value);
  JsonObject& Add(std::string_view Key, const char* Value) {
    return Add(Key, std::string_view(Value));
  }
  JsonObject& Add(std::string_view Key, int64_t Value);
  JsonObject& Add(std::string_view Key, int32_t Value) { return Add(Key, int64_t{Value}); }
  JsonObject& Add(std::string_view Key, bool Value);
  JsonObject& AddNull(std::string_view Key);
  std::string Text() const { return body_ + "}"; }
  // Writes the object and a newline to standard output and flushes it.
  void Print() const;

 private:
  void Key(std::string_view Key);
  std::string body_ = "{";
};

}  // namespace cli
