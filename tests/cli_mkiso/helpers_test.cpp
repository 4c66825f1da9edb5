// The shared pieces of the command line that mkiso brought: the progress
// bar's text, JSON strings, compilation paths and sources.

#include <gtest/gtest.h>

#include "cli/cli_compilation.h"
#include "cli/cli_json.h"
#include "cli/cli_progress.h"
#include "temp_tree.h"

namespace {

TEST(CliHelpers, ProgressBarText) {
  cli::ProgressValues v;
  v.Written = 50 * 1048576;
  v.Total = 100 * 1048576;
  v.HostBuffer = 87;
  EXPECT_EQ(cli::ProgressDisplay::BarText("Saving", v, 60),
            "Saving [#####-----]  50%  50.00/100.00 MB  host 87%  recorder --");
  v.RecorderSize = 4 << 20;
  v.RecorderUsed = 1 << 20;
  v.Written = v.Total;
  const std::string full = cli::ProgressDisplay::BarText("Burning", v, 80);
  EXPECT_EQ(full, "Burning [" + std::string(22, '#') +
                      "] 100%  100.00/100.00 MB  host 87%  recorder 25%");
  EXPECT_EQ(full.size(), 79u) << "one column is left free";
}

TEST(CliHelpers, JsonStrings) {
  EXPECT_EQ(cli::JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(cli::JsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
  EXPECT_EQ(cli::JsonString("\xFF"), "\"\xEF\xBF\xBD\"");
  cli::JsonObject o;
  o.Add("event", "result").Add("ok", true).Add("n", int64_t{-3}).AddNull("x");
  EXPECT_EQ(o.Text(), "{\"event\":\"result\",\"ok\":true,\"n\":-3,\"x\":null}");
}

TEST(CliHelpers, CompilationFolders) {
  for (const auto& [in, out] :
       std::vector<std::pair<std::string, std::string>>{{"", "\\"},
                                                        {"/", "\\"},
                                                        {"\\", "\\"},
                                                        {"docs", "\\docs"},
                                                        {"/docs/2004/", "\\docs\\2004"},
                                                        {"docs\\\\2004", "\\docs\\2004"},
                                                        {"a//b", "\\a\\b"}})
    EXPECT_EQ(cli::CompilationFolder(in), out) << in;
}

TEST(CliHelpers, SourcesAndDestinations) {
  TempTree t;
  t.File("a.txt", "a");
  t.File("x=y.txt", "b");  // exists as a whole: a source, not DEST=SOURCE
  t.Dir("folder");
  std::vector<cli::SourceArg> s;
  std::string error;
  ASSERT_TRUE(cli::ParseSources({t.Path("a.txt"), t.Path("x=y.txt"),
                                 "d/e=" + t.Path("folder") + "/", "k=v=" + t.Path("a.txt")},
                                s, error))
      << error;
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].Dest, "\\");
  EXPECT_FALSE(s[0].IsFolder);
  EXPECT_EQ(s[1].Path, t.Path("x=y.txt"));
  EXPECT_EQ(s[2].Dest, "\\d\\e");
  EXPECT_EQ(s[2].Path, t.Path("folder"));
  EXPECT_TRUE(s[2].IsFolder);
  EXPECT_EQ(s[3].Dest, "\\k=v");
  EXPECT_FALSE(cli::ParseSources({t.Path("nothing")}, s, error));
  EXPECT_NE(error.find("no such file or folder"), std::string::npos);
}

}  // namespace
