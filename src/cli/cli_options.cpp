#include "cli/cli_options.h"

#include <charconv>
#include <sstream>

namespace cli {

Options& Options::Add(const std::string& names, const std::string& value, const std::string& help) {
  Spec spec;
  std::stringstream in(names);
  std::string name;
  while (std::getline(in, name, ',')) {
    if (!name.empty()) spec.names.push_back(name);
  }
  spec.value = value;
  spec.help = help;
  specs_.push_back(spec);
  return *this;
}

const Options::Spec* Options::Find(const std::string& name) const {
  for (const Spec& s : specs_) {
    for (const std::string& n : s.names) {
      if (n == name) return &s;
    }
  }
  return nullptr;
}

bool Options::Parse(const std::vector<std::string>& args) {
  seen_.clear();
  positional_.clear();
  error_.clear();
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') {
      positional_.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::string name = a;
    std::optional<std::string> inline_value;
    if (a.rfind("--", 0) == 0) {
      size_t eq = a.find('=');
      if (eq != std::string::npos) {
        name = a.substr(0, eq);
        inline_value = a.substr(eq + 1);
      }
    }
    const Spec* spec = Find(name);
    if (spec == nullptr) {
      error_ = "unknown option " + name;
      return false;
    }
    std::string value;
    if (!spec->value.empty()) {
      if (inline_value) {
        value = *inline_value;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error_ = "option " + name + " needs a value (" + spec->value + ")";
        return false;
      }
    } else if (inline_value) {
      error_ = "option " + name + " takes no value";
      return false;
    }
    seen_[spec->names.front()] = value;
  }
  return true;
}

bool Options::Has(const std::string& name) const {
  const Spec* spec = Find(name);
  return spec != nullptr && seen_.count(spec->names.front()) != 0;
}

std::optional<std::string> Options::Value(const std::string& name) const {
  const Spec* spec = Find(name);
  if (spec == nullptr) return std::nullopt;
  auto it = seen_.find(spec->names.front());
  if (it == seen_.end()) return std::nullopt;
  return it->second;
}

std::string Options::HelpText() const {
  std::string out;
  for (const Spec& s : specs_) {
    std::string left = "  ";
    for (size_t i = 0; i < s.names.size(); ++i) {
      if (i) left += ", ";
      left += s.names[i];
    }
    if (!s.value.empty()) left += " " + s.value;
    if (left.size() < 30)
      left.resize(30, ' ');
    else
      left += "  ";
    out += left + s.help + "\n";
  }
  return out;
}

std::optional<uint64_t> ParseCount(std::string_view Text, uint64_t Min, uint64_t Max) {
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), v);
  if (Text.empty() || ec != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
  if (v < Min || v > Max) return std::nullopt;
  return v;
}

std::optional<int64_t> ParseSize(std::string_view Text, int64_t Max) {
  int64_t scale = 1;
  if (!Text.empty()) {
    switch (Text.back()) {
      case 'K':
      case 'k':
        scale = int64_t{1} << 10;
        break;
      case 'M':
      case 'm':
        scale = int64_t{1} << 20;
        break;
      case 'G':
      case 'g':
        scale = int64_t{1} << 30;
        break;
      default:
        break;
    }
  }
  if (scale != 1) Text.remove_suffix(1);
  const auto v = ParseCount(Text, 1, static_cast<uint64_t>(Max / scale));
  if (!v) return std::nullopt;
  return static_cast<int64_t>(*v) * scale;
}

std::optional<uint32_t> ParseSpeedX(std::string_view Text) {
  if (Text == "max" || Text == "Max" || Text == "MAX") return 0;
  if (Text.size() < 2 || (Text.back() != 'x' && Text.back() != 'X')) return std::nullopt;
  Text.remove_suffix(1);
  const auto v = ParseCount(Text, 1, 1000);
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(*v);
}

std::optional<uint8_t> SessionOption(const Options& Opts) {
  const auto text = Opts.Value("--session");
  if (!text) return uint8_t{255};
  const auto v = ParseCount(*text, 1, 255);
  if (!v) return std::nullopt;
  return static_cast<uint8_t>(*v);
}

}  // namespace cli
