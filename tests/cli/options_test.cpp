#include <gtest/gtest.h>

#include "cli/cli_options.h"

namespace {

cli::Options MakeOptions() {
  cli::Options o;
  o.Add("-v,--verbose", "", "more output")
      .Add("--speed", "Nx", "write speed")
      .Add("-o,--output", "FILE", "image file");
  return o;
}

TEST(CliOptions, ParsesFlagsValuesAndPositionals) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    bool verbose;
    std::string speed;
    std::vector<std::string> positional;
  };
  const Case cases[] = {
      {{"a", "-v", "b"}, true, true, "", {"a", "b"}},
      {{"--speed", "8x", "x"}, true, false, "8x", {"x"}},
      {{"--speed=max"}, true, false, "max", {}},
      {{"--", "-v", "--speed"}, true, false, "", {"-v", "--speed"}},
      {{"-"}, true, false, "", {"-"}},
      {{"--speed"}, false, false, "", {}},
      {{"--nope"}, false, false, "", {}},
      {{"--verbose=1"}, false, false, "", {}},
  };
  for (const Case& c : cases) {
    cli::Options o = MakeOptions();
    EXPECT_EQ(o.Parse(c.args), c.ok) << c.args.size();
    if (!c.ok) {
      EXPECT_FALSE(o.Error().empty());
      continue;
    }
    EXPECT_EQ(o.Has("--verbose"), c.verbose);
    EXPECT_EQ(o.Has("-v"), c.verbose);
    EXPECT_EQ(o.Value("--speed").value_or(""), c.speed);
    EXPECT_EQ(o.Positional(), c.positional);
  }
}

TEST(CliOptions, HelpListsEveryOption) {
  std::string help = MakeOptions().HelpText();
  EXPECT_NE(help.find("-v, --verbose"), std::string::npos);
  EXPECT_NE(help.find("--speed Nx"), std::string::npos);
  EXPECT_NE(help.find("-o, --output FILE"), std::string::npos);
}

}  // namespace
