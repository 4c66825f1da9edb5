#pragma once
// JSON text for machine readers: the --json output of the tidemark
// command. Every string is valid UTF-8: bytes that are not (a file name
// from a disc or from a foreign file system) become U+FFFD, and a field
// whose text was changed that way is followed by KEY_hex with the raw
// bytes in lowercase hexadecimal, so that nothing of the name is lost.
// Lists are arrays; keys are plain words joined with "_".

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Text as a JSON string literal, quotes included.
std::string JsonString(std::string_view Text);
// Lowercase hexadecimal of every byte.
std::string HexBytes(std::string_view Bytes);

class JsonArray;

class JsonObject {
 public:
  JsonObject& Add(std::string_view Key, std::string_view Value);
  JsonObject& Add(std::string_view Key, const std::string& Value) {
    return Add(Key, std::string_view(Value));
  }
  JsonObject& Add(std::string_view Key, const char* Value) {
    return Add(Key, std::string_view(Value));
  }
  JsonObject& Add(std::string_view Key, bool Value);
  template <std::integral T>
  requires(!std::same_as<T, bool>) JsonObject& Add(std::string_view Key, T Value) {
    Raw(Key, std::to_string(Value));
    return *this;
  }
  JsonObject& Add(std::string_view Key, const JsonObject& Value);
  JsonObject& Add(std::string_view Key, const JsonArray& Value);
  JsonObject& AddNull(std::string_view Key);
  // A field whose value is already JSON text.
  JsonObject& Raw(std::string_view Key, std::string_view Json);
  // Every field of Other, after the fields already here.
  JsonObject& Merge(const JsonObject& Other);

  bool Empty() const { return body_.size() == 1; }
  std::string Text() const { return body_ + "}"; }

 private:
  std::string body_ = "{";
};

class JsonArray {
 public:
  JsonArray& Push(std::string_view Value);
  JsonArray& Push(const std::string& Value) { return Push(std::string_view(Value)); }
  JsonArray& Push(const char* Value) { return Push(std::string_view(Value)); }
  template <std::integral T>
  requires(!std::same_as<T, bool>) JsonArray& Push(T Value) { return Raw(std::to_string(Value)); }
  JsonArray& Push(const JsonObject& Value) { return Raw(Value.Text()); }
  JsonArray& Raw(std::string_view Json);

  size_t Size() const { return count_; }
  std::string Text() const { return body_ + "]"; }

 private:
  std::string body_ = "[";
  size_t count_ = 0;
};

}  // namespace platform
