#include "platform/short_name.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/utf8.h"

namespace platform {
namespace {

char ShortChar(char32_t ch) {
  if (ch >= 'a' && ch <= 'z') return static_cast<char>(ch - 'a' + 'A');
  return IsShortNameChar(ch) ? static_cast<char>(ch) : '_';
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// Base and extension of the generated form: spaces and leading dots are
// dropped, the extension follows the last remaining dot, other dots vanish.
void SplitForAlternate(std::string_view name, std::string& base, std::string& ext) {
  base.clear();
  ext.clear();
  // Dots and spaces are single bytes in UTF-8, so byte positions will do.
  const size_t start = name.find_first_not_of(". ");
  if (start == std::string_view::npos) {
    base = "_";
    return;
  }
  const size_t dot = name.rfind('.');
  const size_t base_end = dot != std::string_view::npos && dot > start ? dot : name.size();
  size_t pos = start;
  while (pos < base_end && base.size() < 6) {
    const char32_t ch = DecodeUtf8(name, pos);
    if (ch != ' ' && ch != '.') base += ShortChar(ch);
  }
  if (base_end < name.size()) {
    pos = base_end + 1;
    while (pos < name.size() && ext.size() < 3) {
      const char32_t ch = DecodeUtf8(name, pos);
      if (ch != ' ') ext += ShortChar(ch);
    }
  }
  if (base.empty()) base = "_";
}

std::string Candidate(const std::string& base, const std::string& ext, unsigned n) {
  const std::string tail = "~" + std::to_string(n);
  std::string out = base.substr(0, tail.size() >= 8 ? 0 : 8 - tail.size());
  out += tail;
  if (!ext.empty()) out += "." + ext;
  return out;
}

}  // namespace

bool IsShortNameChar(char32_t Ch) {
  if ((Ch >= 'A' && Ch <= 'Z') || (Ch >= 'a' && Ch <= 'z') || (Ch >= '0' && Ch <= '9')) return true;
  return Ch < 0x80 && kShortNameSpecials.find(static_cast<char>(Ch)) != std::string_view::npos;
}

bool IsValid83Name(std::string_view Name) {
  size_t base = 0;
  size_t ext = 0;
  bool dot = false;
  for (char c : Name) {
    if (c == '.') {
      if (dot) return false;
      dot = true;
      continue;
    }
    if (!IsShortNameChar(static_cast<unsigned char>(c))) return false;
    if (dot) {
      if (++ext > 3) return false;
    } else if (++base > 8) {
      return false;
    }
  }
  return base > 0 && (!dot || ext > 0);
}

std::vector<std::string> SynthesizeAlternateNames(const std::vector<std::string>& Names) {
  std::vector<std::string> out(Names.size());
  // Short names already taken in the folder: every valid 8.3 name and every
  // alternate handed out so far.
  std::unordered_set<std::string> taken;
  taken.reserve(Names.size());
  bool any_long = false;
  for (const std::string& n : Names) {
    if (IsValid83Name(n))
      taken.insert(UpperAscii(n));
    else
      any_long = true;
  }
  if (!any_long) return out;
  // Smallest free number per base and extension; numbers only get used up,
  // so the search for each key resumes where it stopped.
  std::unordered_map<std::string, unsigned> next;
  next.reserve(Names.size());
  for (size_t i = 0; i < Names.size(); ++i) {
    if (IsValid83Name(Names[i])) continue;
    std::string base;
    std::string ext;
    SplitForAlternate(Names[i], base, ext);
    unsigned& n = next.try_emplace(base + "." + ext, 1).first->second;
    std::string cand = Candidate(base, ext, n);
    while (taken.count(cand) != 0 && n < 9999999) cand = Candidate(base, ext, ++n);
    taken.insert(cand);
    out[i] = std::move(cand);
  }
  return out;
}

}  // namespace platform
