#pragma once
// File-name wildcards as the programs' home system matches them, without
// regard to (ASCII) case:
//   *   any run of characters; "*" and "*.*" match every name, also one
//       without a dot;
//   *.  (a star before a dot) any run of characters up to the name's last dot;
//   ?   one character other than a dot; at a dot or the end of the name it
//       matches nothing, so "a?.txt" also matches "a.txt";
//   .   before ?, * or the end of the pattern: a dot, or the end of a name
//       that has no more characters ("abc.*" and "abc." match "abc");
//       elsewhere a dot.

#include <string_view>

namespace basrt {

bool wildcard_match(std::string_view pattern, std::string_view name);

}  // namespace basrt
