#pragma once
// A small option parser shared by the subcommands: long options with or
// without a value (--speed 8x, --speed=8x), short flags (-v, -l), "--" to end
// options, and positional arguments. Unknown options are usage errors.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

class Options {
 public:
  // Declares an option. `names` is a comma-separated list ("-v,--verbose").
  // `value` names the argument an option takes ("BLOCKS"); empty for a flag.
  Options& Add(const std::string& names, const std::string& value, const std::string& help);

  // Parses args. Returns false on a usage error, with the message in Error().
  bool Parse(const std::vector<std::string>& args);

  bool Has(const std::string& name) const;  // by any of its names, e.g. "--verbose"
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  const std::string& Error() const { return error_; }

  // The option table, one option a line, for --help.
  std::string HelpText() const;

 private:
  struct Spec {
    std::vector<std::string> names;
    std::string value;
    std::string help;
  };
  const Spec* Find(const std::string& name) const;

  std::vector<Spec> specs_;
  std::map<std::string, std::string> seen_;  // primary name -> value ("" for flags)
  std::vector<std::string> positional_;
  std::string error_;
};

// Typed values of options, one parser each for every subcommand.

// A size in bytes: digits with an optional K, M or G (binary) suffix
// ("4M", "4194304"); at least 1, at most Max. nullopt for anything else.
std::optional<int64_t> ParseSize(std::string_view Text, int64_t Max);
// A count: plain digits, from Min to Max.
std::optional<uint64_t> ParseCount(std::string_view Text, uint64_t Min, uint64_t Max);

// A write speed: "max" (any letter case) or "Nx" in the loaded medium's
// own units, 1 to 1000. 0 stands for the maximum.
std::optional<uint32_t> ParseSpeedX(std::string_view Text);

// --session N: 1 to 255; without the option, 255 (the last).
std::optional<uint8_t> SessionOption(const Options& Opts);

}  // namespace cli
