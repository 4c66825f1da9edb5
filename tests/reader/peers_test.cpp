// Images made by other programs (genisoimage, xorriso): ISO 9660 only,
// with Joliet, with Rock Ridge, and with two sessions (genisoimage -C/-M,
// xorriso appending to an image file). Each imports with the source tree's
// names, sizes and dates, and every file extracts byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "burner/name_rules.h"
#include "peer_tools.h"
#include "platform/date_time.h"
#include "reader_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace reader_test;
using peers::Quote;

std::string Content(const std::string& tag, size_t size) {
  std::string s;
  uint32_t x = 2166136261u;
  for (char c : tag) x = (x ^ static_cast<uint8_t>(c)) * 16777619u;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    s.push_back(static_cast<char>(x >> 24));
  }
  return s;
}

// A tree under Folder; LongNames adds names only Joliet keeps.
void MakeTree(TempTree& t, const std::string& Folder, bool LongNames) {
  int64_t when = 1100000000;
  const auto file = [&](const std::string& rel, size_t size) {
    t.File(Folder + "/" + rel, Content(rel, size));
    t.Touch(Folder + "/" + rel, when += 7);
  };
  file("readme.txt", 12);
  file("docs/notes.txt", 5000);
  file("docs/deep/level3/data.bin", 70000);
  file("empty.txt", 0);
  file("big.bin", 300000);
  t.Dir(Folder + "/emptydir");
  if (LongNames) {
    file("A long file name with spaces.txt", 100);
    file("docs/caf\xC3\xA9 au lait.txt", 33);
    file("docs/Mixed Case Folder/inside.dat", 4097);
  }
}

// What an import must hold for the tree under Folder: compilation path ->
// host path. Iso: names as ISO 9660 level 1 holds them (upper case).
std::map<std::string, std::string> Expected(TempTree& t, const std::string& Folder, bool Iso,
                                            const std::string& Under = "") {
  std::map<std::string, std::string> out;
  const std::string root = t.Path(Folder);
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = fs::relative(e.path(), root).string();
    for (char& c : rel)
      if (c == '/') c = '\\';
    out[Under + "\\" + (Iso ? burner::UpperAscii(rel) : rel)] = e.path().string();
  }
  return out;
}

// The import holds exactly Want; its files read back as the host files
// and carry their dates.
void CheckImport(TzqCDBurner& b, TempTree& t, const std::map<std::string, std::string>& Want) {
  const auto got = EntriesByPath(b);
  std::vector<std::string> got_paths, want_paths;
  for (const auto& [p, e] : got) got_paths.push_back(p);
  for (const auto& [p, h] : Want) want_paths.push_back(p);
  ASSERT_EQ(got_paths, want_paths);
  int n = 0;
  for (const auto& [path, host] : Want) {
    SCOPED_TRACE(path);
    const PFileEntry e = got.at(path);
    if (fs::is_directory(host)) {
      EXPECT_NE(e->Dir, nullptr);
      continue;
    }
    const auto source = ReadBytes(host);
    EXPECT_EQ(e->Size, static_cast<int64_t>(source.size()));
    const auto mtime = fs::last_write_time(host);
    const int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::file_clock::to_sys(mtime).time_since_epoch())
                                .count();
    EXPECT_EQ(e->DateTime,
              platform::DosDateTimeToDateTime(platform::UnixTimeToDosDateTime(seconds)));
    const std::string out = t.Path("extracted-" + std::to_string(n++));
    ASSERT_TRUE(b.ExtractFile(e, out));
    EXPECT_TRUE(ReadBytes(out) == source);
  }
}

bool HavePeers(const std::vector<std::string>& Programs) {
  for (const std::string& p : Programs)
    if (!peers::Have(p)) return false;
  return true;
}

void Make(const std::string& Command) {
  const peers::Result r = peers::Run(Command);
  ASSERT_EQ(r.status, 0) << Command << "\n" << r.output;
}

TEST(PeerImages, SingleSessionImagesOfGenisoimageAndXorriso) {
  if (!HavePeers({"genisoimage", "xorriso"})) GTEST_SKIP() << "genisoimage or xorriso missing";
  ScopedTimeZone tz("UTC");
  struct Case {
    const char* what;
    std::string command;  // %I the image, %S the source folder
    bool joliet;
  } cases[] = {
      {"genisoimage ISO 9660", "genisoimage -quiet -o %I %S", false},
      {"genisoimage Rock Ridge", "genisoimage -quiet -r -o %I %S", false},
      {"genisoimage Joliet", "genisoimage -quiet -J -o %I %S", true},
      {"genisoimage Joliet and Rock Ridge", "genisoimage -quiet -J -r -o %I %S", true},
      {"xorriso as mkisofs", "xorriso -as mkisofs -quiet -J -r -o %I %S", true},
      {"xorriso", "xorriso -outdev stdio:%I -joliet on -map %S / -commit", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree t;
    MakeTree(t, "src", c.joliet);
    std::string cmd = c.command;
    cmd.replace(cmd.find("%I"), 2, Quote(t.Path("x.iso")));
    cmd.replace(cmd.find("%S"), 2, Quote(t.Path("src")));
    Make(cmd);
    MemoryDisc disc;
    disc.bytes = ReadBytes(t.Path("x.iso"));
    Reader r(disc);
    ASSERT_TRUE(r.b.ImportSession(-1, nullptr));
    CheckImport(r.b, t, Expected(t, "src", !c.joliet));
    EXPECT_FALSE(r.log.Has("ERROR")) << r.log.lines.back().text;
  }
}

TEST(PeerImages, TwoSessionsOfGenisoimageReadPerSession) {
  if (!HavePeers({"genisoimage"})) GTEST_SKIP() << "genisoimage missing";
  ScopedTimeZone tz("UTC");
  TempTree t;
  MakeTree(t, "one", true);
  MakeTree(t, "two/second", true);
  Make("genisoimage -quiet -J -r -o " + Quote(t.Path("s1.iso")) + " " + Quote(t.Path("one")));
  MemoryDisc disc;
  disc.bytes = ReadBytes(t.Path("s1.iso"));
  // The second session starts a little after the first, as on a disc.
  const uint32_t next = disc.Sectors() + 11;
  Make("genisoimage -quiet -J -r -C 0," + std::to_string(next) + " -M " + Quote(t.Path("s1.iso")) +
       " -o " + Quote(t.Path("s2.iso")) + " " + Quote(t.Path("two")));
  const auto s2 = ReadBytes(t.Path("s2.iso"));
  disc.Sector(next + static_cast<uint32_t>(s2.size() / 2048) - 1);
  std::copy(s2.begin(), s2.end(), disc.bytes.begin() + size_t{next} * 2048);
  disc.sessions = {0, next};
  {
    SCOPED_TRACE("session 1");
    Reader r(disc);
    ASSERT_TRUE(r.b.ImportSession(1, nullptr));
    CheckImport(r.b, t, Expected(t, "one", false));
  }
  {
    SCOPED_TRACE("the last session: the first one's files and the second's");
    Reader r(disc);
    ASSERT_TRUE(r.b.ImportSession(-1, nullptr));
    auto want = Expected(t, "one", false);
    want.merge(Expected(t, "two", false));
    CheckImport(r.b, t, want);
    EXPECT_LT(EntriesByPath(r.b).at("\\big.bin")->IsoSector, static_cast<int32_t>(next))
        << "session 1's files stay where session 1 put them";
  }
}

TEST(PeerImages, XorrisoAppendingToAnImageFileUpdatesTheFirstDescriptors) {
  if (!HavePeers({"xorriso"})) GTEST_SKIP() << "xorriso missing";
  ScopedTimeZone tz("UTC");
  TempTree t;
  MakeTree(t, "one", true);
  MakeTree(t, "two", true);
  const std::string img = Quote("stdio:" + t.Path("x.iso"));
  Make("xorriso -dev " + img + " -joliet on -map " + Quote(t.Path("one")) + " / -commit");
  Make("xorriso -dev " + img + " -joliet on -map " + Quote(t.Path("two")) + " /two -commit");
  MemoryDisc disc;
  disc.bytes = ReadBytes(t.Path("x.iso"));
  Reader r(disc);
  ASSERT_TRUE(r.b.ImportSession(-1, nullptr));
  auto want = Expected(t, "one", false);
  want.merge(Expected(t, "two", false, "\\two"));
  want["\\two"] = t.Path("two");
  CheckImport(r.b, t, want);
}

}  // namespace
