// The checks every job makes before it starts, through the job layer's
// plan steps: what the compilation left out, the volume label, folder
// paths, and the image output.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "jobs/compilation.h"
#include "jobs/save_image.h"
#include "temp_tree.h"

namespace {

std::vector<jobs::Source> Sources(const std::vector<std::string>& Args) {
  auto s = jobs::ParseSources(Args);
  EXPECT_TRUE(s) << (s ? "" : s.Refused->Message);
  return s.Value;
}

std::vector<TOmissionReason> Reasons(const TzqCDBurner& B) {
  std::vector<TOmissionReason> out;
  for (const TOmission& o : B.Omissions()) out.push_back(o.Reason);
  return out;
}

// Each kind of entry a compilation cannot take is left out, recorded, and
// refuses the job unless the user goes on without it.
TEST(JobPlan, WhatCouldNotBeAddedRefusesTheJob) {
  TempTree t;
  t.File("src/ok.txt", "ok");
  t.SizedFile("src/huge.bin", int64_t{4} << 30);  // sparse: 4 GiB
  t.File("src/" + std::string(130, 'n') + ".txt", "long");
  ASSERT_EQ(mkfifo(t.Path("src/pipe").c_str(), 0644), 0);
  t.Link("src/loop/back", "..");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::vector<TOmissionReason> reasons;
  } cases[] = {
      {"a file of 4 GiB", {t.Path("src/huge.bin")}, {TOmissionReason::TooLarge}},
      {"a whole folder",
       {t.Path("src")},
       {TOmissionReason::TooLarge, TOmissionReason::NameTooLong, TOmissionReason::NotRegular,
        TOmissionReason::LinkLoop}},
      {"the same name twice",
       {t.Path("src/ok.txt"), t.Path("src/ok.txt")},
       {TOmissionReason::Duplicate}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TzqCDBurner b;
    b.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
    b.StripSourcePath = true;
    jobs::AddSources(b, Sources(c.args), false);
    std::vector<TOmissionReason> got = Reasons(b);
    std::sort(got.begin(), got.end());
    std::vector<TOmissionReason> want = c.reasons;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    const auto refused = jobs::CheckOmissions(b, false);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->Kind, jobs::Category::Input);
    EXPECT_EQ(refused->Code, "omissions");
    EXPECT_EQ(refused->Message, jobs::OmissionsSummary(want.size()));
    EXPECT_EQ(refused->Omitted.size(), want.size());
    EXPECT_FALSE(jobs::CheckOmissions(b, true)) << "--skip-unadded goes on";
  }
}

// The tables' limits, met through the compilation's own operations: every
// folder a stopped walk never reached counts, and the refusal names the
// first 20 with a count of the rest.
TEST(JobPlan, LimitsOfTheCompilationAreOmissions) {
  TempTree t;
  for (int i = 0; i < 30; ++i) t.File("tree/d" + std::to_string(i) + "/f.txt", "x");
  TzqCDBurner folders;
  folders.ClearAll(1000, 11);  // the root and ten folders
  folders.StripSourcePath = true;
  jobs::AddSources(folders, Sources({t.Path("tree")}), false);
  EXPECT_EQ(folders.DirCount(), 11);
  // "tree" took one folder, d* nine more; the other 21 are each left out.
  EXPECT_EQ(folders.Omissions().size(), 21u);
  for (const TOmission& o : folders.Omissions()) EXPECT_EQ(o.Reason, TOmissionReason::Limit);
  const auto refused = jobs::CheckOmissions(folders, false);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->Details.size(), jobs::kOmissionsShown + 1);
  EXPECT_EQ(refused->Details.back(), "... and 1 more");

  TzqCDBurner entries;
  entries.ClearAll(5, 100);
  for (int i = 0; i < 8; ++i) entries.CreateDir(entries.RootDir(), "f" + std::to_string(i), 0x10);
  EXPECT_EQ(entries.FileCount(), 5);
  // Folders made by name are no source the user asked for; a file is.
  jobs::AddSources(entries, Sources({t.Path("tree/d0/f.txt")}), false);
  ASSERT_EQ(entries.Omissions().size(), 1u);
  EXPECT_EQ(entries.Omissions()[0].Reason, TOmissionReason::Limit);
}

TEST(JobPlan, OneOnDiskTreeOverTheFolderLimit) {
  TempTree t;
  const std::string root = t.Dir("many");
  for (int i = 0; i < jobs::kMaxFolders + 1; ++i)
    ASSERT_EQ(mkdir((root + "/" + std::to_string(i)).c_str(), 0755), 0);
  TzqCDBurner b;
  b.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
  b.StripSourcePath = true;
  jobs::AddSources(b, Sources({root}), false);
  EXPECT_EQ(b.DirCount(), jobs::kMaxFolders);
  // The root and "many" take two of the 20,000 slots.
  EXPECT_EQ(b.Omissions().size(), 3u);
  EXPECT_TRUE(jobs::CheckOmissions(b, false));
}

TEST(JobPlan, VolumeLabels) {
  struct Case {
    std::string label;
    bool joliet;
    bool refused;
    bool warned;
  } cases[] = {
      {"", true, false, false},
      {std::string(16, 'A'), true, false, false},
      {std::string(17, 'A'), true, false, true},
      {std::string(17, 'A'), false, false, false},
      {std::string(32, 'A'), true, false, true},
      {std::string(33, 'A'), true, true, false},
      // Characters, not bytes: 32 two-byte characters fit.
      {[] {
         std::string s;
         for (int i = 0; i < 32; ++i) s += "\xC3\xA9";
         return s;
       }(),
       true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> warnings;
    const auto refused = jobs::CheckVolume(c.label, c.joliet, warnings);
    EXPECT_EQ(refused.has_value(), c.refused);
    if (refused) {
      EXPECT_EQ(refused->Code, "volume-too-long");
    }
    EXPECT_EQ(warnings.size(), c.warned ? 1u : 0u);
  }
}

// What stands where the image goes.
TEST(JobPlan, ImageOutputs) {
  TempTree t;
  t.File("src/a.txt", "a");
  t.File("old.iso", "OLD");
  t.Link("dangling.iso", t.Path("nowhere/x.iso"));
  t.Link("linked.iso", t.Path("old.iso"));
  t.Link("to-source.iso", t.Path("src/a.txt"));
  ASSERT_EQ(mkfifo(t.Path("fifo").c_str(), 0644), 0);
  TzqCDBurner b;
  b.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
  b.StripSourcePath = true;
  jobs::AddSources(b, Sources({t.Path("src")}), false);
  struct Case {
    std::string output;
    bool force;
    const char* code;  // empty: planned
    bool replaces;
    bool in_place;
  } cases[] = {
      {t.Path("new.iso"), false, "", false, false},
      {t.Path("old.iso"), false, "output-exists", false, false},
      {t.Path("old.iso"), true, "", true, false},
      {t.Path("dangling.iso"), false, "output-exists", false, false},
      {t.Path("dangling.iso"), true, "", true, false},
      {t.Path("linked.iso"), true, "", true, false},
      {t.Path("src/a.txt"), true, "output-is-source", false, false},
      {t.Path("to-source.iso"), true, "output-is-source", false, false},
      {t.Path("src"), true, "output-is-folder", false, false},
      {t.Path("fifo"), true, "", false, true},
      {t.Path("nowhere/x.iso"), false, "no-such-folder", false, false},
      // A new image inside a source folder is allowed: it is not a source.
      {t.Path("src/image.iso"), false, "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    jobs::SaveImagePlan plan;
    const auto refused = jobs::CheckImageOutput(b, c.output, c.force, plan);
    EXPECT_EQ(refused ? refused->Code : "", c.code);
    if (refused) continue;
    EXPECT_EQ(plan.Replaces, c.replaces);
    EXPECT_EQ(plan.InPlace, c.in_place);
  }
}

TEST(JobPlan, AnEmptyCompilationAndOneThatCannotBeLaidOut) {
  TzqCDBurner b;
  b.ClearAll(jobs::kMaxEntries, jobs::kMaxFolders);
  const auto empty = jobs::PlanSaveImage(b, {.Output = "/tmp/x.iso"});
  ASSERT_FALSE(empty);
  EXPECT_EQ(empty.Refused->Message, "Please add the file or directory first!");
  // A name renamed past what a record holds is refused by the layout.
  PDirEntry d = b.CreateDir(b.RootDir(), "dir", 0x10);
  ASSERT_NE(d, nullptr);
  b.RenameEntry(d->Entry, std::string(200, 'L'), "");
  TempTree t;
  const auto laid = jobs::PlanSaveImage(b, {.Output = t.Path("x.iso")});
  ASSERT_FALSE(laid);
  EXPECT_EQ(laid.Refused->Code, "layout");
  EXPECT_EQ(laid.Refused->Kind, jobs::Category::Job);
  EXPECT_NE(laid.Refused->Message.find("NAME TOO LONG FOR THE IMAGE"), std::string::npos);
}

}  // namespace
