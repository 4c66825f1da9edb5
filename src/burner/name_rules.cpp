#include "burner/name_rules.h"

#include "platform/utf8.h"

namespace burner {

std::string UpperAscii(std::string_view Text) {
  std::string out(Text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool SameUpperAscii(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    char a = A[i];
    char b = B[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

uint64_t NameKey(std::string_view Name) {
  uint64_t h = 14695981039346656037ull;
  for (char c : Name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return h;
}

std::string FolderShortName(std::string_view Name) {
  std::string out;
  size_t pos = 0;
  for (int n = 0; n < 13 && pos < Name.size(); ++n) {
    const char32_t ch = platform::DecodeUtf8(Name, pos);
    if (ch >= 'a' && ch <= 'z')
      out += static_cast<char>(ch - 'a' + 'A');
    else if (ch < 33 || ch > 122)
      out += '_';
    else
      out += static_cast<char>(ch);
  }
  return out;
}

std::string CompilationName(std::string_view HostName) {
  std::string out = platform::SanitizeUtf8(HostName);
  MakeCompilationName(out);
  return out;
}

bool MakeCompilationName(std::string& Name) {
  bool changed = false;
  for (char& c : Name) {
    if (c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      c = '_';
      changed = true;
    }
  }
  return changed;
}

std::string HostToCompilationPath(std::string_view HostPath) {
  std::string out;
  size_t pos = 0;
  while (pos < HostPath.size()) {
    const size_t slash = HostPath.find('/', pos);
    const size_t end = slash == std::string_view::npos ? HostPath.size() : slash;
    if (end > pos) {
      if (!out.empty() || pos > 0) out += '\\';
      out += CompilationName(HostPath.substr(pos, end - pos));
    }
    if (slash == std::string_view::npos) break;
    pos = slash + 1;
  }
  // A trailing slash stays a trailing backslash; "/" alone is the root.
  if (!HostPath.empty() && HostPath.back() == '/' && (out.empty() || out.back() != '\\'))
    out.push_back('\\');
  return out;
}

}  // namespace burner
