#include "cli/cli_options.h"

#include <sstream>

namespace cli {

Options& Options::Add(const std::string& names, const std::string& value,
                      const std::string& help) {
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
    if (left.size() < 30) left.resize(30, ' ');
    else left += "  ";
    out += left + s.help + "\n";
  }
  return out;
}

}  // namespace cli
