#include "eval/wildcard.h"

#include <vector>

#include "engine/text.h"

namespace basrt {

namespace {

enum class Token : char { kStar, kDosStar, kDosQuestion, kDosDot, kChar };

struct Item {
  Token token;
  char c;
};

std::vector<Item> compile(std::string_view p) {
  std::vector<Item> items;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    const char next = i + 1 < p.size() ? p[i + 1] : '\0';
    if (c == '*') items.push_back({next == '.' ? Token::kDosStar : Token::kStar, c});
    else if (c == '?') items.push_back({Token::kDosQuestion, c});
    else if (c == '.' && (next == '\0' || next == '?' || next == '*')) items.push_back({Token::kDosDot, c});
    else items.push_back({Token::kChar, c});
  }
  return items;
}

// Matching with stars backtracks; the (pattern, name) positions known to
// fail are remembered, so that no pattern takes more than quadratic time.
struct Matcher {
  const std::vector<Item>& p;
  std::string_view n;
  std::vector<bool> failed;

  Matcher(const std::vector<Item>& pattern, std::string_view name)
      : p(pattern), n(name), failed((pattern.size() + 1) * (name.size() + 1), false) {}

  bool match(std::size_t pi, std::size_t ni) {
    const std::size_t key = pi * (n.size() + 1) + ni;
    if (failed[key]) return false;
    if (run(pi, ni)) return true;
    failed[key] = true;
    return false;
  }

  bool run(std::size_t pi, std::size_t ni) {
    while (pi < p.size()) {
      const Item& it = p[pi];
      switch (it.token) {
        case Token::kStar:
          for (std::size_t k = n.size() + 1; k-- > ni;)
            if (match(pi + 1, k)) return true;
          return false;
        case Token::kDosStar: {
          // Up to the last dot of the name, or to its end when it has none.
          const std::size_t dot = n.rfind('.');
          const std::size_t limit = dot == std::string_view::npos || dot < ni ? n.size() : dot;
          for (std::size_t k = limit + 1; k-- > ni;)
            if (match(pi + 1, k)) return true;
          return false;
        }
        case Token::kDosQuestion:
          if (ni < n.size() && n[ni] != '.') {
            ++ni;
            ++pi;
          } else {
            while (pi < p.size() && p[pi].token == Token::kDosQuestion) ++pi;
          }
          break;
        case Token::kDosDot:
          if (ni < n.size() && n[ni] == '.') ++ni;
          else if (ni != n.size()) return false;
          ++pi;
          break;
        case Token::kChar:
          if (ni >= n.size() || ascii_upper(n[ni]) != ascii_upper(it.c)) return false;
          ++ni;
          ++pi;
          break;
      }
    }
    return ni == n.size();
  }
};

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  const std::vector<Item> items = compile(pattern);
  return Matcher(items, name).match(0, 0);
}

}  // namespace basrt
