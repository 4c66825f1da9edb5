// The shared pieces of the command line that mkiso brought: the progress
// bar's text, JSON strings, compilation paths and sources.

#include <gtest/gtest.h>

#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "jobs/compilation.h"
#include "platform/json.h"
#include "temp_tree.h"

namespace {

TEST(CliHelpers, ProgressLineFitsEveryWidth) {
  cli::ProgressValues v;
  v.Written = 50 * 1048576;
  v.Total = 100 * 1048576;
  v.HostBuffer = 87;
  v.RecorderSize = 4 << 20;
  v.RecorderUsed = 1 << 20;
  v.Phase = "closing-session";
  v.BytesPerX = 1385000;
  cli::ProgressRates r;
  r.Elapsed = 65;
  r.BytesPerSecond = 11080000;
  r.Remaining = 4.7;
  struct Case {
    int width;
    std::vector<std::string> shown;  // fields that fit at this width
    std::vector<std::string> hidden;
  } cases[] = {
      {40, {"50%", "closing-session"}, {"[", "recorder"}},
      {60, {"50%", "closing-session", "50.00/100.00 MB"}, {"recorder", "host"}},
      {80, {"50%", "closing-session", "50.00/100.00 MB", "8.0x 10.6 MB/s", "1:05"}, {}},
      {120,
       {"Burning [", "50%", "closing-session", "50.00/100.00 MB", "8.0x 10.6 MB/s", "1:05",
        "ETA 0:05", "host 87%", "recorder 25%"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    const std::string line = cli::ProgressDisplay::BarText("Burning", v, r, c.width);
    EXPECT_LE(static_cast<int>(line.size()), c.width) << line;
    for (const std::string& s : c.shown) EXPECT_NE(line.find(s), std::string::npos) << line;
    for (const std::string& s : c.hidden) EXPECT_EQ(line.find(s), std::string::npos) << line;
  }
  // Narrow terminals get less, never a wrapped line.
  for (int width = 1; width < 200; ++width)
    EXPECT_LE(cli::ProgressDisplay::BarText("Burning", v, r, width).size(),
              static_cast<size_t>(width));
  EXPECT_EQ(cli::ProgressDisplay::Duration(65), "1:05");
  EXPECT_EQ(cli::ProgressDisplay::Duration(3727), "1:02:07");
}

TEST(CliHelpers, JsonTextIsAlwaysValidUtf8) {
  EXPECT_EQ(platform::JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(platform::JsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
  EXPECT_EQ(platform::JsonString("\xFF"), "\"\xEF\xBF\xBD\"");
  platform::JsonObject o;
  o.Add("event", "result").Add("ok", true).Add("n", int64_t{-3}).AddNull("x");
  EXPECT_EQ(o.Text(), "{\"event\":\"result\",\"ok\":true,\"n\":-3,\"x\":null}");
  // A name that is not UTF-8 keeps its bytes beside the shown text.
  platform::JsonObject name;
  name.Add("path", "a\xFF\xFE.txt").Add("fine", "b.txt");
  EXPECT_EQ(name.Text(),
            "{\"path\":\"a\xEF\xBF\xBD\xEF\xBF\xBD.txt\",\"path_hex\":\"61fffe2e747874\","
            "\"fine\":\"b.txt\"}");
  platform::JsonArray list;
  list.Push("x").Push(int64_t{2}).Push(platform::JsonObject().Add("k", false));
  EXPECT_EQ(list.Text(), "[\"x\",2,{\"k\":false}]");
  EXPECT_EQ(platform::JsonObject().Add("a", 1).Merge(platform::JsonObject().Add("b", 2)).Text(),
            "{\"a\":1,\"b\":2}");
}

TEST(CliHelpers, CompilationFolders) {
  for (const auto& [in, out] :
       std::vector<std::pair<std::string, std::string>>{{"", "\\"},
                                                        {"/", "\\"},
                                                        {"\\", "\\"},
                                                        {"docs", "\\docs"},
                                                        {"/docs/2004/", "\\docs\\2004"},
                                                        {"\\docs\\2004\\", "\\docs\\2004"},
                                                        {"docs\\2004", "\\docs\\2004"},
                                                        {"a.b/..c", "\\a.b\\..c"}}) {
    std::string error;
    const auto folder = jobs::CompilationFolder(in, error);
    ASSERT_TRUE(folder) << in << ": " << error;
    EXPECT_EQ(*folder, out) << in;
  }
  // An empty name between separators, "." and ".." name no folder.
  for (const char* bad :
       {"a//b", "///", "/a//", ".", "..", "a/./b", "a/../b", "../x", "a\\..\\b"}) {
    std::string error;
    EXPECT_FALSE(jobs::CompilationFolder(bad, error)) << bad;
    EXPECT_NE(error.find("cannot hold"), std::string::npos) << bad;
  }
}

TEST(CliHelpers, SourcesAndDestinations) {
  TempTree t;
  t.File("a.txt", "a");
  t.File("x=y.txt", "b");  // exists as a whole: a source, not DEST=SOURCE
  t.Dir("folder");
  const auto s = jobs::ParseSources({t.Path("a.txt"), t.Path("x=y.txt"),
                                     "d/e=" + t.Path("folder") + "/", "k=v=" + t.Path("a.txt")});
  ASSERT_TRUE(s) << s.Refused->Message;
  ASSERT_EQ(s.Value.size(), 4u);
  EXPECT_EQ(s.Value[0].Dest, "\\");
  EXPECT_FALSE(s.Value[0].IsFolder);
  EXPECT_EQ(s.Value[1].Path, t.Path("x=y.txt"));
  EXPECT_EQ(s.Value[2].Dest, "\\d\\e");
  EXPECT_EQ(s.Value[2].Path, t.Path("folder"));
  EXPECT_TRUE(s.Value[2].IsFolder);
  EXPECT_EQ(s.Value[3].Dest, "\\k=v");
  const auto missing = jobs::ParseSources({t.Path("nothing")});
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.Refused->Message.find("no such file or folder"), std::string::npos);
  const auto dotted = jobs::ParseSources({"../up=" + t.Path("a.txt")});
  ASSERT_FALSE(dotted);
  EXPECT_EQ(dotted.Refused->Code, "bad-folder-path");
}

TEST(CliHelpers, SizesAndSpeeds) {
  struct Case {
    const char* text;
    int64_t size;  // -1: refused
  } sizes[] = {{"4194304", 4194304}, {"4M", 4 << 20}, {"4m", 4 << 20}, {"2K", 2048},
               {"1G", 1 << 30},      {"0", -1},       {"M", -1},       {"4MB", -1},
               {"-4M", -1},          {"2G", -1},      {"", -1},        {"4.5M", -1}};
  for (const Case& c : sizes) {
    const auto v = cli::ParseSize(c.text, INT32_MAX);
    EXPECT_EQ(v.value_or(-1), c.size) << c.text;
  }
}

}  // namespace
