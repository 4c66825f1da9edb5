#pragma once
// Name rules of the editing commands. Lengths count characters (Unicode
// code points), not UTF-16 units or bytes.

#include <QString>

#include <string>

// Characters of a text.
int CharCount(const QString& s);
int CharCount(const std::string& utf8);
// The first `n` characters of `s`.
QString LeftChars(const QString& s, int n);
// A compilation name may hold neither "\" (the compilation's separator)
// nor "/" (the separator of the disc's file system on this system).
bool IsValidCompilationName(const QString& s);
// The short name a renamed file gets: its first six characters, "~1" and
// its extension (from the last "." on; the whole name when it has none).
QString RenamedShortName(const QString& s);
