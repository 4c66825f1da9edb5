#include "vrec/faults.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace vrec {
namespace {

bool ParseHexByte(std::string_view s, std::uint8_t* out) {
  if (s.size() != 2) return false;
  unsigned v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (ec != std::errc() || p != s.data() + s.size()) return false;
  *out = static_cast<std::uint8_t>(v);
  return true;
}

bool ParseDecimal(std::string_view s, std::uint32_t* out) {
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), *out, 10);
  return ec == std::errc() && p == s.data() + s.size();
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

}  // namespace

std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<FaultRule> {
    *error = "bad fault rule \"" + std::string(text) + "\": " + why;
    return std::nullopt;
  };
  std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return fail("expected OP[@FIRST[-LAST]][#N][*COUNT]=RESULT");
  std::string_view lhs = text.substr(0, eq);
  std::string_view rhs = text.substr(eq + 1);

  FaultRule rule;
  if (lhs.size() < 2 || !ParseHexByte(lhs.substr(0, 2), &rule.op)) {
    return fail("the operation code must be two hexadecimal digits");
  }
  std::string_view rest = lhs.substr(2);
  // The parts may come in this order only: @range, #N, *COUNT.
  if (!rest.empty() && rest[0] == '@') {
    std::size_t end = rest.find_first_of("#*");
    std::string_view range = rest.substr(1, end == std::string_view::npos ? end : end - 1);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    std::size_t dash = range.find('-');
    if (dash == std::string_view::npos) {
      if (!ParseDecimal(range, &rule.first)) return fail("bad block address after @");
      rule.last = rule.first;
    } else if (!ParseDecimal(range.substr(0, dash), &rule.first) ||
               !ParseDecimal(range.substr(dash + 1), &rule.last)) {
      return fail("bad block range after @");
    }
    if (rule.last < rule.first) return fail("the range ends before it begins");
    rule.has_range = true;
  }
  if (!rest.empty() && rest[0] == '#') {
    std::size_t end = rest.find('*');
    if (!ParseDecimal(rest.substr(1, end == std::string_view::npos ? end : end - 1), &rule.nth) ||
        rule.nth == 0) {
      return fail("#N needs a number of 1 or more");
    }
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  }
  if (!rest.empty() && rest[0] == '*') {
    if (!ParseDecimal(rest.substr(1), &rule.count) || rule.count == 0) {
      return fail("*COUNT needs a number of 1 or more");
    }
    rest = {};
  }
  if (!rest.empty()) return fail("unexpected \"" + std::string(rest) + "\"");

  std::string result = Lower(rhs);
  if (result == "busy") {
    rule.result = FaultResult::kBusy;
  } else if (result == "timeout") {
    rule.result = FaultResult::kTimeout;
  } else if (result == "eject") {
    rule.result = FaultResult::kEject;
  } else {
    if (rhs.size() != 8 || rhs[2] != '/' || rhs[5] != '/' ||
        !ParseHexByte(rhs.substr(0, 2), &rule.sense.key) ||
        !ParseHexByte(rhs.substr(3, 2), &rule.sense.asc) ||
        !ParseHexByte(rhs.substr(6, 2), &rule.sense.ascq)) {
      return fail("the result must be KK/AA/QQ, busy, timeout or eject");
    }
    if (rule.sense.key == 0 || rule.sense.key > 0x0F) {
      return fail("the sense key must be 01 to 0F");
    }
    rule.result = FaultResult::kSense;
  }
  return rule;
}

std::string FormatFaultRule(const FaultRule& rule) {
  char buf[96];
  std::string s;
  std::snprintf(buf, sizeof buf, "%02X", rule.op);
  s = buf;
  if (rule.has_range) {
    if (rule.first == rule.last) {
      std::snprintf(buf, sizeof buf, "@%u", rule.first);
    } else {
      std::snprintf(buf, sizeof buf, "@%u-%u", rule.first, rule.last);
    }
    s += buf;
  }
  if (rule.nth != 1) s += "#" + std::to_string(rule.nth);
  if (rule.count != 0) s += "*" + std::to_string(rule.count);
  switch (rule.result) {
    case FaultResult::kBusy:
      return s + "=busy";
    case FaultResult::kTimeout:
      return s + "=timeout";
    case FaultResult::kEject:
      return s + "=eject";
    case FaultResult::kSense:
      break;
  }
  std::snprintf(buf, sizeof buf, "=%02X/%02X/%02X", rule.sense.key, rule.sense.asc,
                rule.sense.ascq);
  return s + buf;
}

bool FaultRuleFires(FaultRule& rule, std::uint8_t op, const BlockRange& blocks) {
  if (rule.op != op || rule.spent()) return false;
  if (rule.has_range) {
    if (!blocks.valid) return false;
    std::int64_t first = blocks.first;
    std::int64_t last = blocks.first + (blocks.count > 0 ? blocks.count - 1 : 0);
    if (last < rule.first || first > rule.last) return false;
  }
  ++rule.matched;
  if (rule.matched < rule.nth) return false;
  ++rule.fired;
  return true;
}

}  // namespace vrec
