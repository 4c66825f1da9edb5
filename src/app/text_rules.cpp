#include "app/text_rules.h"

#include "platform/utf8.h"

int CharCount(const QString& s) {
  int n = 0;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (!(s[i].isLowSurrogate() && i > 0 && s[i - 1].isHighSurrogate())) ++n;
  }
  return n;
}

int CharCount(const std::string& utf8) {
  return static_cast<int>(platform::Utf8Length(utf8));
}

QString LeftChars(const QString& s, int n) {
  int seen = 0;
  for (qsizetype i = 0; i < s.size(); ++i) {
    bool starts = !(s[i].isLowSurrogate() && i > 0 && s[i - 1].isHighSurrogate());
    if (starts) {
      if (seen == n) return s.left(i);
      ++seen;
    }
  }
  return s;
}

bool IsValidCompilationName(const QString& s) {
  return !s.contains(QLatin1Char('\\')) && !s.contains(QLatin1Char('/'));
}

QString RenamedShortName(const QString& s) {
  qsizetype dot = s.lastIndexOf(QLatin1Char('.'));
  QString extension = dot >= 0 ? s.mid(dot) : s;
  return LeftChars(s, 6) + QStringLiteral("~1") + extension;
}
