#pragma once
// The registry store as a text file in the .reg format of Windows, so that
// users can move settings into and out of the store (basrt-reg).
//
// Export writes "Windows Registry Editor Version 5.00" files in UTF-8 with
// CR LF line ends: one [ROOT\Key\Path] section per key, then its values:
//   "name"="text"          a string
//   "name"=dword:0000002a  a 32-bit integer
//   "name"=hex:01,02       binary data (also the floating-point values)
//   "name"=hex(2):...      other types: their number and the data, strings
//                          of such types in UTF-16LE as Windows writes them
//   @=...                  the value without a name
// Import reads the same, in UTF-8, UTF-16LE (with its byte-order mark) or
// Windows-1252 ("REGEDIT4" files), with [-KEY] deleting a key and "name"=-
// deleting a value. Engine text is Windows-1252: characters outside it
// arrive as '?'.

#include <optional>
#include <string>
#include <string_view>

#include "dataobj/registry_store.h"

namespace basrt::registry {

// The text of the whole store, or of the key `key` ("HKEY_CURRENT_USER\Software\Demo")
// and everything below it; nullopt when that key does not exist.
std::optional<std::string> export_text(Store& store, std::string_view key = {});

struct ImportResult {
  bool ok = true;
  std::string error;  // "line 4: ..." when not ok; nothing was changed then
  int keys = 0;       // sections read
  int values = 0;     // values written or deleted
};

// Reads a .reg text into the store as one transaction.
ImportResult import_text(Store& store, std::string_view text);

}  // namespace basrt::registry
