// Directory search records from a real folder: order, kinds, sizes, names,
// and the entries that cannot be used.

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "platform/date_time.h"
#include "platform/dir_search.h"
#include "platform/file_attr.h"
#include "temp_tree.h"

namespace {

std::map<std::string, TSearchRec> Search(const std::string& folder) {
  std::map<std::string, TSearchRec> out;
  platform::DirSearch s;
  EXPECT_TRUE(s.Open(folder));
  TSearchRec r;
  while (s.Next(r)) out[r.RawName] = r;
  return out;
}

TEST(DirSearch, KeepsTheFileSystemOrder) {
  TempTree t;
  for (int i = 0; i < 50; ++i) t.File("f" + std::to_string(i * 7919 % 101) + ".txt", "x");
  t.Dir("sub");
  std::vector<std::string> listed;
  DIR* d = opendir(t.Path().c_str());
  while (const dirent* e = readdir(d))
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
      listed.push_back(e->d_name);
  closedir(d);
  platform::DirSearch s;
  ASSERT_TRUE(s.Open(t.Path()));
  EXPECT_EQ(s.Count(), 51u);
  std::vector<std::string> found;
  TSearchRec r;
  while (s.Next(r)) found.push_back(r.RawName);
  EXPECT_EQ(found, listed);
  EXPECT_FALSE(s.Next(r));
}

TEST(DirSearch, KindsSizesAndTimes) {
  ScopedTimeZone tz("UTC0");
  TempTree t;
  t.File("file.txt", "hello");
  t.Touch("file.txt", 1000000000);  // 2001-09-09 01:46:40
  t.Dir("folder");
  t.Link("to-file", t.Path("file.txt"));
  t.Link("to-folder", t.Path("folder"));
  t.Link("dangling", t.Path("nowhere"));
  t.Link("loop", t.Path("loop"));
  ASSERT_EQ(mkfifo(t.Path("pipe").c_str(), 0644), 0);
  const std::string big = t.SizedFile("big.bin", (int64_t{1} << 32) + 3);
  ASSERT_FALSE(big.empty());
  t.File(".hidden", "");

  auto recs = Search(t.Path());
  ASSERT_EQ(recs.size(), 9u);
  const TSearchRec& f = recs["file.txt"];
  EXPECT_EQ(f.Kind, TSearchKind::File);
  EXPECT_EQ(f.Size, 5);
  EXPECT_EQ(f.SizeLow, 5u);
  EXPECT_EQ(f.SizeHigh, 0u);
  EXPECT_EQ(f.Attr, platform::faArchive);
  EXPECT_EQ(f.Time, static_cast<int32_t>(platform::EncodeDosDateTime({2001, 9, 9, 1, 46, 40, 0})));
  EXPECT_EQ(f.AlternateName, "");
  EXPECT_EQ(f.Error, 0);

  EXPECT_EQ(recs["folder"].Kind, TSearchKind::Directory);
  EXPECT_EQ(recs["folder"].Attr & platform::faDirectory, platform::faDirectory);
  EXPECT_EQ(recs["to-file"].Kind, TSearchKind::File);  // links are followed
  EXPECT_EQ(recs["to-file"].Size, 5);
  EXPECT_EQ(recs["to-folder"].Kind, TSearchKind::Directory);
  EXPECT_EQ(recs["to-folder"].Inode, recs["folder"].Inode);
  EXPECT_EQ(recs["dangling"].Kind, TSearchKind::Error);
  EXPECT_EQ(recs["dangling"].Error, ENOENT);
  EXPECT_EQ(recs["loop"].Kind, TSearchKind::Error);
  EXPECT_EQ(recs["loop"].Error, ELOOP);
  EXPECT_EQ(recs["pipe"].Kind, TSearchKind::Special);
  const TSearchRec& b = recs["big.bin"];
  EXPECT_EQ(b.SizeHigh, 1u);
  EXPECT_EQ(b.SizeLow, 3u);
  EXPECT_EQ(b.FullSize(), (int64_t{1} << 32) + 3);
  EXPECT_EQ(recs[".hidden"].Attr, platform::faHidden | platform::faArchive);
  EXPECT_EQ(recs[".hidden"].AlternateName, "HIDDEN~1");
}

TEST(DirSearch, NamesThatAreNotUtf8) {
  TempTree t;
  const std::string raw = "bad\xFFname.txt";
  t.File(raw, "x");
  auto recs = Search(t.Path());
  ASSERT_EQ(recs.count(raw), 1u);
  EXPECT_EQ(recs[raw].Name, "bad\xEF\xBF\xBDname.txt");
  EXPECT_EQ(recs[raw].AlternateName, "BAD_NA~1.TXT");
  TSearchRec one;
  ASSERT_TRUE(platform::FindFile(t.Path(raw), one));
  EXPECT_EQ(one.RawName, raw);
  EXPECT_EQ(one.Name, recs[raw].Name);
}

TEST(DirSearch, SinglePathGivesTheFoldersAlternate) {
  TempTree t;
  t.File("longfilename one.txt", "1");
  t.File("longfilename two.txt", "2");
  const auto recs = Search(t.Path());
  for (const char* n : {"longfilename one.txt", "longfilename two.txt"}) {
    TSearchRec r;
    ASSERT_TRUE(platform::FindFile(t.Path(n), r));
    EXPECT_EQ(r.AlternateName, recs.at(n).AlternateName) << n;
    EXPECT_EQ(r.Name, n);
    EXPECT_EQ(r.Size, 1);
  }
  // A folder that changed is listed again.
  t.File("longfilename three.txt", "3");
  const auto again = Search(t.Path());
  TSearchRec r;
  ASSERT_TRUE(platform::FindFile(t.Path("longfilename three.txt"), r));
  EXPECT_EQ(r.AlternateName, again.at("longfilename three.txt").AlternateName);
  EXPECT_FALSE(platform::FindFile(t.Path("missing"), r));
  ASSERT_TRUE(platform::FindFile(t.Path() + "/", r));
  EXPECT_EQ(r.Kind, TSearchKind::Directory);
}

// File access checks as an unprivileged user for the length of a scope
// (the file-system identity only, so the test can undo it).
class AsNobody {
 public:
  AsNobody() {
    if (geteuid() == 0) {
      setfsuid(65534);
      setfsgid(65534);
    }
  }
  ~AsNobody() {
    if (geteuid() == 0) {
      setfsuid(0);
      setfsgid(0);
    }
  }
};

TEST(DirSearch, UnreadableEntries) {
  TempTree t;
  chmod(t.Path().c_str(), 0755);
  t.File("secret.txt", "x");
  t.File("open.txt", "x");
  t.Dir("closed");
  chmod(t.Path("secret.txt").c_str(), 0);
  chmod(t.Path("closed").c_str(), 0);
  AsNobody nobody;
  auto recs = Search(t.Path());
  EXPECT_EQ(recs["secret.txt"].Kind, TSearchKind::File);
  EXPECT_EQ(recs["secret.txt"].Error, EACCES);
  EXPECT_EQ(recs["open.txt"].Error, 0);
  platform::DirSearch s;
  EXPECT_FALSE(s.Open(t.Path("closed")));
  EXPECT_EQ(s.Error(), EACCES);
  EXPECT_FALSE(s.Open(t.Path("missing")));
  EXPECT_EQ(s.Error(), ENOENT);
}

}  // namespace
