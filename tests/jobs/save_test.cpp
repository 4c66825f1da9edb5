// Saving an image through the job layer: the new image takes the old one's
// place only once it is complete, and the Joliet names it records.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "image_bytes.h"
#include "jobs/compilation.h"
#include "jobs/save_image.h"
#include "recording/job_state.h"
#include "temp_tree.h"

namespace {

using namespace image_bytes;

std::string Content(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in Folder, sorted.
std::vector<std::string> Names(const std::string& Folder) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(Folder))
    out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// A compilation of the tree's src folder.
void Compile(TzqCDBurner& B, TempTree& T) {
  B.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
  B.StripSourcePath = true;
  auto sources = jobs::ParseSources({T.Path("src")});
  ASSERT_TRUE(sources);
  jobs::AddSources(B, sources.Value, false);
}

// Runs a planned save to its end.
jobs::Outcome Save(TzqCDBurner& B, const jobs::SaveImagePlan& Plan,
                   const std::function<void()>& BeforeStart = {}) {
  std::string error;
  bool reported = false;
  B.OnWriteDone = [&](TzqCDBurner*, const std::string& E) {
    error = E;
    reported = true;
  };
  jobs::ImageSave save(B, Plan);
  if (BeforeStart) BeforeStart();
  EXPECT_TRUE(save.Start());
  recording::WaitForJobEnd(std::chrono::seconds(60));
  EXPECT_TRUE(reported);
  B.OnWriteDone = nullptr;
  return save.Finish(error);
}

TEST(ImageSave, ReplacesAnImageOnlyOnceTheNewOneIsComplete) {
  for (const bool quick : {false, true}) {
    SCOPED_TRACE(quick ? "quick save" : "threaded save");
    TempTree t;
    t.File("src/a.txt", "alpha");
    t.File("src/b.bin", std::string(300000, 'b'));
    t.File("out/old.iso", "OLD IMAGE");
    ASSERT_EQ(chmod(t.Path("out/old.iso").c_str(), 0640), 0);
    TzqCDBurner b;
    Compile(b, t);

    // A source that changed since it was added fails the save: the old
    // image stays, and no temporary file is left beside it.
    auto plan =
        jobs::PlanSaveImage(b, {.Output = t.Path("out/old.iso"), .Force = true, .Quick = quick});
    ASSERT_TRUE(plan) << plan.Refused->Message;
    EXPECT_TRUE(plan.Value.Replaces);
    const jobs::Outcome failed = Save(b, plan.Value, [&] { t.File("src/b.bin", "shorter now"); });
    EXPECT_EQ(failed.Kind, jobs::Result::Failure);
    EXPECT_NE(failed.Message.find("HAS CHANGED"), std::string::npos) << failed.Message;
    ASSERT_TRUE(failed.Failure);
    EXPECT_FALSE(failed.Failure->Disc) << "an image file has no disc state";
    EXPECT_TRUE(Content(t.Path("out/old.iso")) == "OLD IMAGE");
    EXPECT_EQ(Names(t.Path("out")), std::vector<std::string>{"old.iso"});

    // Once it can be made, it replaces the old one and keeps its mode.
    Compile(b, t);
    plan = jobs::PlanSaveImage(b, {.Output = t.Path("out/old.iso"), .Force = true, .Quick = quick});
    ASSERT_TRUE(plan);
    const jobs::Outcome done = Save(b, plan.Value);
    EXPECT_TRUE(done.Ok()) << done.Message;
    EXPECT_EQ(Names(t.Path("out")), std::vector<std::string>{"old.iso"});
    const std::string image = Content(t.Path("out/old.iso"));
    // The quick save writes no padding after the data.
    if (!quick) {
      EXPECT_EQ(static_cast<int64_t>(image.size()), plan.Value.Sectors * 2048);
    }
    ASSERT_GT(image.size(), 17u * 2048);
    EXPECT_EQ(image.substr(16 * 2048 + 1, 5), "CD001");
    struct stat st {};
    ASSERT_EQ(stat(t.Path("out/old.iso").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
}

TEST(ImageSave, AnAbortLeavesTheOldImage) {
  TempTree t;
  t.SizedFile("src/big.bin", 256 << 20);
  t.File("old.iso", "OLD");
  TzqCDBurner b;
  Compile(b, t);
  b.SetCacheSize(2 << 20);
  const auto plan = jobs::PlanSaveImage(b, {.Output = t.Path("old.iso"), .Force = true});
  ASSERT_TRUE(plan);
  // Asked once the first blocks are written, as the Abort command would.
  std::thread aborter([&b] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (b.BytesWritten.load() == 0 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    b.AbortWrite();
  });
  const jobs::Outcome aborted = Save(b, plan.Value);
  aborter.join();
  EXPECT_EQ(aborted.Kind, jobs::Result::Aborted);
  EXPECT_EQ(aborted.Message, "OPERATION ABORTED BY USER");
  EXPECT_TRUE(Content(t.Path("old.iso")) == "OLD");
  EXPECT_EQ(Names(t.Path()), (std::vector<std::string>{"old.iso", "src"}));
}

TEST(ImageSave, ALinkIsReplacedItselfNeverWrittenThrough) {
  TempTree t;
  t.File("src/a.txt", "alpha");
  t.File("target.iso", "TARGET");
  t.Link("link.iso", t.Path("target.iso"));
  t.Link("dangling.iso", t.Path("missing/x.iso"));
  TzqCDBurner b;
  for (const char* name : {"link.iso", "dangling.iso"}) {
    SCOPED_TRACE(name);
    Compile(b, t);
    const auto plan = jobs::PlanSaveImage(b, {.Output = t.Path(name), .Force = true});
    ASSERT_TRUE(plan) << plan.Refused->Message;
    EXPECT_TRUE(Save(b, plan.Value).Ok());
    struct stat st {};
    ASSERT_EQ(lstat(t.Path(name).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
  }
  EXPECT_TRUE(Content(t.Path("target.iso")) == "TARGET");
  EXPECT_FALSE(std::filesystem::exists(t.Path("missing")));
}

// Characters Joliet forbids become "_", and a name that then meets another
// of its folder is numbered; records and path tables agree.
TEST(ImageSave, JolietNamesAreMadeValidAndDistinct) {
  TempTree t;
  t.File("src/a?.txt", "1");
  t.File("src/a_.txt", "2");
  t.File("src/b*c", "3");
  t.File("src/d:e;f.txt", "4");
  t.File("src/plain.txt", "5");
  t.File("src/q?/inner.txt", "6");
  TzqCDBurner b;
  b.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
  b.StripSourcePath = true;
  // Added one by one, so that the order is known: a?.txt comes first and
  // keeps the plain name; a_.txt meets it and is numbered.
  for (const char* name : {"a?.txt", "a_.txt", "b*c", "d:e;f.txt", "plain.txt", "q?"}) {
    auto s = jobs::ParseSources({t.Path(std::string("src/") + name)});
    ASSERT_TRUE(s);
    jobs::AddSources(b, s.Value, false);
  }
  ASSERT_TRUE(b.Omissions().empty());
  ASSERT_TRUE(b.Prepare(true));
  const std::vector<uint8_t> header(b.HeaderStream.Bytes().begin(), b.HeaderStream.Bytes().end());
  const auto root = SectorOf(header, static_cast<size_t>(b.JolietDirsSector));
  std::vector<std::u16string> names;
  for (const Record& r : Records(root.subspan(0, b.RootDir()->JolietSize)))
    if (r.id.size() > 1) names.push_back(Utf16(r.id));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"a_.txt;1", u"a_~1.txt;1", u"b_c.;1",
                                                u"d_e_f.txt;1", u"plain.txt;1", u"q_"}));
  // The Joliet path table names the folder the same way.
  const auto table = SectorOf(header, static_cast<size_t>(b.JolietPathLSector));
  const size_t second = 10;  // after the root's record
  EXPECT_EQ(table[second], 4);
  EXPECT_EQ(Utf16({table.begin() + second + 8, table.begin() + second + 12}), u"q_");
  // The compilation's own names are left as they were.
  EXPECT_NE(b.FindEntry(b.RootDir(), "a?.txt"), nullptr);
  // Without such names nothing changes.
  for (PFileEntry e : b.FileTable())
    if (e->LongName == "plain.txt") {
      EXPECT_TRUE(e->JolietId.empty());
    }
}

}  // namespace
