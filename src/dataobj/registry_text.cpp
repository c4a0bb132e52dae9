// .reg text export and import.

#include "dataobj/registry_text.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dataobj/text_fold.h"
#include "engine/code_pages.h"
#include "engine/errors.h"

namespace basrt::registry {

namespace {

// ---- character sets ----

std::string utf16le_to_utf8(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    append_utf8(out, c);
  }
  return out;
}

// Windows-1252 bytes as UTF-16LE, and back.
std::string cp1252_to_utf16le(std::string_view bytes) {
  std::string out;
  for (char b : bytes) {
    char32_t c = cp1252_char(static_cast<unsigned char>(b));
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::string utf16le_to_cp1252(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    int b = cp1252_byte(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

// ---- export ----

std::string quoted(std::string_view s) {
  std::string r = "\"";
  for (char c : cp1252_to_utf8(s)) {
    if (c == '\\' || c == '"') r += '\\';
    r += c;
  }
  return r + "\"";
}

// "hex:" or "hex(N):" and the bytes, wrapped as regedit wraps them.
std::string hex_data(const std::string& prefix, std::string_view bytes, std::size_t line_start) {
  std::string r = prefix;
  std::size_t column = line_start + prefix.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(bytes[i]));
    r += b;
    column += 2;
    if (i + 1 < bytes.size()) {
      r += ',';
      ++column;
      if (column > 76) {
        r += "\\\r\n  ";
        column = 2;
      }
    }
  }
  return r;
}

bool plain_text(std::string_view data) {
  if (data.empty() || data.back() != '\0') return false;
  data.remove_suffix(1);
  for (char c : data)
    if (c == '\0' || c == '\r' || c == '\n') return false;
  return true;
}

std::string hex_prefix(int type) {
  char b[24];
  std::snprintf(b, sizeof b, "hex(%x):", static_cast<unsigned>(type));
  return b;
}

std::string value_line(const Value& v) {
  std::string line = v.name.empty() ? "@" : quoted(v.name);
  line += '=';
  switch (v.type) {
    case kString:
      if (plain_text(v.data)) return line + quoted(std::string_view(v.data).substr(0, v.data.size() - 1));
      return line + hex_data(hex_prefix(v.type), cp1252_to_utf16le(v.data), line.size());
    case kExpandString:
    case kMultiString: return line + hex_data(hex_prefix(v.type), cp1252_to_utf16le(v.data), line.size());
    case kBinary: return line + hex_data("hex:", v.data, line.size());
    case kDword:
      if (v.data.size() == 4) {
        std::uint32_t n;
        std::memcpy(&n, v.data.data(), 4);
        char b[24];
        std::snprintf(b, sizeof b, "dword:%08x", n);
        return line + b;
      }
      break;
    default: break;
  }
  return line + hex_data(hex_prefix(v.type), v.data, line.size());
}

void export_key(Store& store, KeyId key, const std::string& name, bool always, std::string& out) {
  std::vector<std::string> values = store.value_names(key);
  if (always || !values.empty()) {
    out += "[" + cp1252_to_utf8(name) + "]\r\n";
    for (const std::string& v : values)
      if (auto value = store.read(key, v)) out += value_line(*value) + "\r\n";
    out += "\r\n";
  }
  for (const std::string& sub : store.subkey_names(key))
    if (KeyId k = store.find(key, {sub})) export_key(store, k, name + "\\" + sub, true, out);
}

// ---- import ----

struct Parser {
  explicit Parser(Store& s) : store(s) {}
  Store& store;
  bool wide_hex = true;  // hex(2) and hex(7) data are UTF-16LE (version 5 files)
  KeyId key = 0;
  ImportResult result;
  int line_no = 0;

  [[noreturn]] void fail(const std::string& what) {
    throw RuntimeError("line " + std::to_string(line_no) + ": " + what);
  }

  // A quoted text at `at`; advances past its closing quote.
  std::string read_quoted(std::string_view line, std::size_t& at) {
    if (at >= line.size() || line[at] != '"') fail("a text in quotes is expected");
    std::string r;
    for (++at; at < line.size(); ++at) {
      char c = line[at];
      if (c == '\\' && at + 1 < line.size()) {
        r += line[++at];
      } else if (c == '"') {
        ++at;
        return utf8_to_cp1252(r);
      } else {
        r += c;
      }
    }
    fail("the closing quote is missing");
  }

  std::string read_hex(std::string_view s) {
    std::string bytes;
    std::size_t i = 0;
    auto skip_space = [&] {
      while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    };
    skip_space();
    while (i < s.size()) {
      unsigned value = 0;
      int digits = 0;
      while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])) && digits < 2) {
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0' : (s[i] | 0x20) - 'a' + 10);
        ++i;
        ++digits;
      }
      if (digits == 0) fail("hexadecimal bytes separated by commas are expected");
      bytes += static_cast<char>(value);
      skip_space();
      if (i < s.size()) {
        if (s[i] != ',') fail("a comma is expected between the bytes");
        ++i;
        skip_space();
      }
    }
    return bytes;
  }

  void section(std::string_view line) {
    std::size_t close = line.rfind(']');
    if (close == std::string_view::npos) fail("the section's ']' is missing");
    std::string_view name = line.substr(1, close - 1);
    bool remove = !name.empty() && name[0] == '-';
    if (remove) name.remove_prefix(1);
    std::string path = utf8_to_cp1252(name);
    std::vector<std::string> parts = split_key_path(path);
    if (parts.empty()) fail("a key name is expected");
    std::optional<std::uint32_t> root = root_of_name(parts.front());
    if (!root) fail("\"" + parts.front() + "\" is not a root key");
    parts.erase(parts.begin());
    ++result.keys;
    if (remove) {
      if (KeyId k = store.find(store.root_key(*root), parts)) store.delete_key(k);
      key = 0;
      return;
    }
    key = store.create(store.root_key(*root), parts);
  }

  void value(std::string_view line) {
    if (!key) fail("a value outside a key section");
    std::size_t at = 0;
    std::string name;
    if (line[0] == '@') at = 1;
    else name = read_quoted(line, at);
    while (at < line.size() && line[at] == ' ') ++at;
    if (at >= line.size() || line[at] != '=') fail("'=' is expected after the value's name");
    ++at;
    while (at < line.size() && line[at] == ' ') ++at;
    std::string_view data = line.substr(at);
    ++result.values;
    if (data == "-") {
      store.delete_value(key, name);
      return;
    }
    if (!data.empty() && data[0] == '"') {
      std::size_t p = 0;
      std::string text = read_quoted(data, p);
      store.write(key, name, kString, text + '\0');
      return;
    }
    if (data.rfind("dword:", 0) == 0) {
      std::string digits(data.substr(6));
      char* end = nullptr;
      unsigned long n = std::strtoul(digits.c_str(), &end, 16);
      if (digits.empty() || digits.size() > 8 || *end) fail("dword: takes up to 8 hexadecimal digits");
      auto v = static_cast<std::uint32_t>(n);
      store.write(key, name, kDword, std::string(reinterpret_cast<const char*>(&v), 4));
      return;
    }
    int type = kBinary;
    std::string_view rest;
    if (data.rfind("hex:", 0) == 0) {
      rest = data.substr(4);
    } else if (data.rfind("hex(", 0) == 0) {
      std::size_t close = data.find("):");
      if (close == std::string_view::npos) fail("hex(type): is expected");
      std::string number(data.substr(4, close - 4));
      char* end = nullptr;
      type = static_cast<int>(std::strtol(number.c_str(), &end, 16));
      if (number.empty() || *end) fail("the type of hex(type): is a hexadecimal number");
      rest = data.substr(close + 2);
    } else {
      fail("a value is a text in quotes, dword:, hex: or hex(type):");
    }
    std::string bytes = read_hex(rest);
    if (wide_hex && (type == kString || type == kExpandString || type == kMultiString)) bytes = utf16le_to_cp1252(bytes);
    store.write(key, name, type, bytes);
  }

  void parse(const std::string& text) {
    std::size_t i = 0;
    bool header = false;
    std::string logical;
    int logical_start = 0;
    while (i <= text.size()) {
      std::size_t end = text.find('\n', i);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(i, end - i);
      i = end + 1;
      ++line_no;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // A value's hexadecimal data continues on the next line after a
      // backslash.
      if (logical.empty()) logical_start = line_no;
      std::size_t first = line.find_first_not_of(" \t");
      std::string trimmed = first == std::string::npos ? "" : line.substr(first);
      logical += logical.empty() ? line : trimmed;
      if (!logical.empty() && logical.back() == '\\' && logical.find("=hex") != std::string::npos) {
        logical.pop_back();
        if (i <= text.size()) continue;
      }
      std::string current = std::move(logical);
      logical.clear();
      const int saved = line_no;
      line_no = logical_start;
      std::size_t start = current.find_first_not_of(" \t");
      if (start != std::string::npos && current[start] != ';') {
        std::string_view l = std::string_view(current).substr(start);
        while (!l.empty() && (l.back() == ' ' || l.back() == '\t')) l.remove_suffix(1);
        if (!header) {
          if (l == "Windows Registry Editor Version 5.00") wide_hex = true;
          else if (l == "REGEDIT4") wide_hex = false;
          else fail("the file does not start with \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"");
          header = true;
        } else if (l[0] == '[') {
          section(l);
        } else if (l[0] == '"' || l[0] == '@') {
          value(l);
        } else {
          fail("a [key] section or a \"name\"=value line is expected");
        }
      }
      line_no = saved;
      if (end == text.size()) break;
    }
    if (!header) fail("the file is empty");
  }
};

}  // namespace

std::optional<std::string> export_text(Store& store, std::string_view key) {
  std::string out = "Windows Registry Editor Version 5.00\r\n\r\n";
  if (key.empty()) {
    for (std::uint32_t root = kClassesRoot; root <= kDynData; ++root)
      export_key(store, store.root_key(root), root_name(root), false, out);
    return out;
  }
  std::vector<std::string> parts = split_key_path(key);
  std::optional<std::uint32_t> root = parts.empty() ? std::nullopt : root_of_name(parts.front());
  if (!root) return std::nullopt;
  parts.erase(parts.begin());
  KeyId k = store.find(store.root_key(*root), parts);
  if (!k) return std::nullopt;
  std::string name = root_name(*root);
  for (const std::string& p : store.names_from_root(k)) name += "\\" + p;
  export_key(store, k, name, true, out);
  return out;
}

ImportResult import_text(Store& store, std::string_view input) {
  std::string text;
  if (input.size() >= 2 && static_cast<unsigned char>(input[0]) == 0xFF && static_cast<unsigned char>(input[1]) == 0xFE) {
    text = utf16le_to_utf8(input.substr(2));
  } else {
    if (input.size() >= 3 && input.substr(0, 3) == "\xEF\xBB\xBF") input.remove_prefix(3);
    // Files that are not UTF-8 are Windows-1252, as REGEDIT4 files are.
    text = valid_utf8(input) ? std::string(input) : cp1252_to_utf8(input);
  }
  Parser p(store);
  try {
    store.transaction([&] { p.parse(text); });
  } catch (const RuntimeError& e) {
    ImportResult failed;
    failed.ok = false;
    failed.error = e.what();
    return failed;
  }
  return p.result;
}

}  // namespace basrt::registry
