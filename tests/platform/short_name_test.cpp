// 8.3 names: which names are valid, and the alternates of a folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/short_name.h"

namespace {

TEST(ShortName, Valid83Names) {
  struct Case {
    const char* name;
    bool valid;
  };
  for (const Case c : {
           Case{"NOTES.TXT", true},
           Case{"notes.txt", true},
           Case{"Makefile", true},
           Case{"A", true},
           Case{"ABCDEFGH.IJK", true},
           Case{"ABCDEFGHI", false},
           Case{"A.IJKL", false},
           Case{"a.b.c", false},
           Case{"my file", false},
           Case{".bashrc", false},
           Case{"foo.", false},
           Case{"", false},
           Case{"a+b", false},
           Case{"caf\xC3\xA9", false},
           Case{"{X}~1!.#$%", true},
           Case{"LONGFI~1.TXT", true},
           Case{".", false},
       }) {
    EXPECT_EQ(platform::IsValid83Name(c.name), c.valid) << c.name;
  }
}

TEST(ShortName, AlternatesOfAFolder) {
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> alternates;
  };
  const std::vector<Case> cases = {
      {{"notes.txt", "longfilename.txt", "longfilename2.txt"},
       {"", "LONGFI~1.TXT", "LONGFI~2.TXT"}},
      // A real 8.3 name already in the folder is not handed out again.
      {{"longfilename.txt", "LONGFI~1.TXT"}, {"LONGFI~2.TXT", ""}},
      {{".bashrc"}, {"BASHRC~1"}},
      {{"my file.tar.gz"}, {"MYFILE~1.GZ"}},
      {{"caf\xC3\xA9.txt"}, {"CAF_~1.TXT"}},
      {{"a+b=c.txt"}, {"A_B_C~1.TXT"}},
      {{"foo."}, {"FOO~1"}},
      {{"x.abcd"}, {"X~1.ABC"}},
      {{"..."}, {"_~1"}},
      {{"Program Files (x86)"}, {"PROGRA~1"}},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::SynthesizeAlternateNames(c.names), c.alternates);
}

TEST(ShortName, NumbersGrowIntoTheBase) {
  std::vector<std::string> names;
  for (int i = 0; i < 120; ++i) names.push_back("document number " + std::to_string(i) + ".doc");
  const auto alt = platform::SynthesizeAlternateNames(names);
  EXPECT_EQ(alt[0], "DOCUME~1.DOC");
  EXPECT_EQ(alt[8], "DOCUME~9.DOC");
  EXPECT_EQ(alt[9], "DOCUM~10.DOC");
  EXPECT_EQ(alt[99], "DOCU~100.DOC");
  EXPECT_EQ(alt[119], "DOCU~120.DOC");
}

}  // namespace
