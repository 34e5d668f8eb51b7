#include "os/RegistryFile.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unicode/ustring.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "text/Case.h"

namespace calmora {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";
constexpr std::array<std::string_view, 5> kHives = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER",
                                                    "HKEY_CLASSES_ROOT", "HKEY_USERS",
                                                    "HKEY_CURRENT_CONFIG"};

// A fault found while reading one line; turned into RegistryFileError with
// the file's name by the parser.
struct LineFault {
  int line;
  std::string fault;
};

std::optional<std::string> Utf16LeToUtf8(std::string_view bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  if (units.empty()) return std::string();
  const auto* source = reinterpret_cast<const UChar*>(units.data());
  const auto sourceLength = static_cast<std::int32_t>(units.size());
  std::int32_t needed = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(nullptr, 0, &needed, source, sourceLength, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
  std::string out(static_cast<std::size_t>(needed), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), needed, &needed, source, sourceLength, &status);
  if (U_FAILURE(status)) return std::nullopt;
  return out;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

bool StartsWithCaseBlind(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && text::EqualsUpperCased(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses 1 to maxDigits hexadecimal digits making up all of text.
std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// The file's bytes as UTF-8 text: a UTF-16LE file (with its byte-order mark,
// or recognised by the zero high byte of its first character) is converted,
// and a UTF-8 byte-order mark dropped.
std::string DecodeFile(std::string_view bytes, const std::string& fileName) {
  if (bytes.starts_with("\xFF\xFE") ||
      (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0')) {
    if (bytes.starts_with("\xFF\xFE")) bytes.remove_prefix(2);
    auto text = Utf16LeToUtf8(bytes);
    if (!text) throw RegistryFileError(fileName, 0, "the file is not valid UTF-16LE text");
    return std::move(*text);
  }
  if (bytes.starts_with("\xFE\xFF")) {
    throw RegistryFileError(fileName, 0,
                            "UTF-16 big-endian files are not read; save as UTF-16LE or UTF-8");
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return std::string(bytes);
}

}  // namespace

namespace detail {

class RegistryParser {
 public:
  explicit RegistryParser(std::string_view text) { SplitLines(text); }

  std::map<std::string, RegistryKey> Run();

 private:
  void SplitLines(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  [[noreturn]] void Fail(const std::string& fault) const { throw LineFault{lineNo_, fault}; }

  void ReadHeader();
  void ReadKeyLine(std::string_view line);
  void ReadValueLine(std::string_view line);
  // A quoted text starting at rest[0] == '"'; consumes through the closing
  // quote and answers the unescaped text.
  std::string ReadQuoted(std::string_view& rest, const char* what) const;
  std::string ReadHexList(std::string_view list);
  void AddKeyWithParents(const std::string& path);
  void DeleteKeyTree(const std::string& path);

  std::vector<std::string_view> lines_;
  std::size_t index_ = 0;  // the next line to read
  int lineNo_ = 0;         // the 1-based number of the line being read
  bool version5_ = false;
  enum class Target { None, LocalMachine, OtherHive, Deleted } target_ = Target::None;
  std::string currentKey_;  // case-blind path of the current local-machine key
  std::map<std::string, RegistryKey> keys_;
};

std::map<std::string, RegistryKey> RegistryParser::Run() {
  keys_[std::string()];  // the hive itself
  ReadHeader();
  while (index_ < lines_.size()) {
    lineNo_ = static_cast<int>(index_) + 1;
    const std::string_view line = Trim(lines_[index_++]);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      ReadKeyLine(line);
    } else if (line.front() == '"' || line.front() == '@') {
      ReadValueLine(line);
    } else {
      Fail("expected a [key] line, a \"name\"=value or @=value line, or a ; comment");
    }
  }
  return std::move(keys_);
}

void RegistryParser::ReadHeader() {
  while (index_ < lines_.size()) {
    lineNo_ = static_cast<int>(index_) + 1;
    const std::string_view line = Trim(lines_[index_++]);
    if (line.empty()) continue;
    if (line == kHeader5) {
      version5_ = true;
      return;
    }
    if (line == kHeader4) return;
    Fail(fmt::format("the file must begin with \"{}\" or \"{}\"", kHeader5, kHeader4));
  }
  lineNo_ = 0;
  Fail(fmt::format("the file is empty; it must begin with \"{}\" or \"{}\"", kHeader5, kHeader4));
}

void RegistryParser::ReadKeyLine(std::string_view line) {
  const std::size_t close = line.rfind(']');
  if (close == std::string_view::npos) Fail("a key line must end with ]");
  if (!Trim(line.substr(close + 1)).empty()) Fail("unexpected text after the key's ]");
  std::string_view path = line.substr(1, close - 1);
  const bool deletion = !path.empty() && path.front() == '-';
  if (deletion) path.remove_prefix(1);

  const std::size_t slash = path.find('\\');
  const std::string_view hive = path.substr(0, slash);
  const std::string_view below =
      slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
  bool known = false;
  for (std::string_view h : kHives) known = known || text::EqualsUpperCased(hive, h);
  if (!known) Fail(fmt::format("unknown hive \"{}\" in the key line", hive));
  if (slash != std::string_view::npos) {
    // Every name between backslashes must be there: "a\\b" and "a\" name no key.
    std::size_t start = 0;
    while (true) {
      const std::size_t next = below.find('\\', start);
      if (below.substr(start, next - start).empty()) Fail("a key path holds an empty key name");
      if (next == std::string_view::npos) break;
      start = next + 1;
    }
  }

  if (!text::EqualsUpperCased(hive, kLocalMachine)) {
    target_ = deletion ? Target::Deleted : Target::OtherHive;
    return;
  }
  const std::string key = text::UpperCased(below);
  if (deletion) {
    DeleteKeyTree(key);
    target_ = Target::Deleted;
    return;
  }
  AddKeyWithParents(key);
  currentKey_ = key;
  target_ = Target::LocalMachine;
}

void RegistryParser::AddKeyWithParents(const std::string& path) {
  keys_[path];
  for (std::size_t cut = path.rfind('\\'); cut != std::string::npos;
       cut = cut == 0 ? std::string::npos : path.rfind('\\', cut - 1)) {
    keys_[path.substr(0, cut)];
  }
}

void RegistryParser::DeleteKeyTree(const std::string& path) {
  if (path.empty()) {
    keys_.clear();
    keys_[std::string()];
    return;
  }
  keys_.erase(path);
  const std::string prefix = path + '\\';
  for (auto it = keys_.lower_bound(prefix);
       it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
    it = keys_.erase(it);
  }
}

std::string RegistryParser::ReadQuoted(std::string_view& rest, const char* what) const {
  std::string text;
  std::size_t i = 1;
  while (true) {
    if (i >= rest.size()) Fail(fmt::format("the {} has no closing quote", what));
    const char c = rest[i];
    if (c == '"') break;
    if (c == '\\') {
      if (i + 1 >= rest.size()) Fail(fmt::format("the {} has no closing quote", what));
      const char escaped = rest[i + 1];
      if (escaped != '\\' && escaped != '"') {
        Fail(fmt::format("unknown escape \\{} in the {} (write \\\\ for a backslash)", escaped,
                         what));
      }
      text.push_back(escaped);
      i += 2;
      continue;
    }
    text.push_back(c);
    ++i;
  }
  rest.remove_prefix(i + 1);
  return text;
}

std::string RegistryParser::ReadHexList(std::string_view first) {
  std::string list(TrimRight(first));
  while (!list.empty() && list.back() == '\\') {
    list.pop_back();
    if (index_ >= lines_.size()) Fail("the hex data is continued past the end of the file");
    lineNo_ = static_cast<int>(index_) + 1;
    const std::string_view next = Trim(lines_[index_++]);
    if (next.empty()) Fail("the hex data is continued onto an empty line");
    list.append(next);
  }
  std::string bytes;
  std::string_view rest = list;
  while (!Trim(rest).empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = Trim(rest.substr(0, comma));
    const auto byte = ParseHex(item, 2);
    if (!byte) Fail(fmt::format("\"{}\" is not a byte in hex data (expected aa,bb,...)", item));
    bytes.push_back(static_cast<char>(*byte));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return bytes;
}

void RegistryParser::ReadValueLine(std::string_view line) {
  if (target_ == Target::None) Fail("a value line comes before any [key] line");
  if (target_ == Target::Deleted) Fail("a value line follows a key deletion line");

  std::string_view rest = line;
  std::string name;
  if (rest.front() == '@') {
    rest.remove_prefix(1);
  } else {
    name = ReadQuoted(rest, "value name");
  }
  rest = TrimLeft(rest);
  if (rest.empty() || rest.front() != '=') Fail("expected = after the value name");
  rest = TrimLeft(rest.substr(1));

  std::optional<RegistryData> data;  // empty: the value is deleted
  if (rest.empty()) {
    Fail("the value has no data after =");
  } else if (rest.front() == '-') {
    if (!Trim(rest.substr(1)).empty()) Fail("unexpected text after =-");
  } else if (rest.front() == '"') {
    std::string text = ReadQuoted(rest, "quoted text");
    if (!Trim(rest).empty()) Fail("unexpected text after the closing quote");
    text.push_back('\0');  // stored with its terminating NUL, as regedit does
    data = RegistryData{regtype::String, std::move(text)};
  } else if (StartsWithCaseBlind(rest, "dword:")) {
    const auto number = ParseHex(Trim(rest.substr(6)), 8);
    if (!number) Fail("a dword value needs 1 to 8 hexadecimal digits");
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xFF);
    data = RegistryData{regtype::Dword, std::move(bytes)};
  } else if (StartsWithCaseBlind(rest, "hex")) {
    rest.remove_prefix(3);
    std::uint32_t type = regtype::Binary;
    if (!rest.empty() && rest.front() == '(') {
      const std::size_t close = rest.find(')');
      const auto number =
          close == std::string_view::npos ? std::nullopt : ParseHex(rest.substr(1, close - 1), 8);
      if (!number) Fail("hex(N) needs a hexadecimal type number N of 1 to 8 digits");
      type = *number;
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') Fail("expected : after hex or hex(N)");
    std::string bytes = ReadHexList(rest.substr(1));
    const bool textType =
        type == regtype::String || type == regtype::ExpandString || type == regtype::MultiString;
    if (version5_ && textType) {
      auto text = Utf16LeToUtf8(bytes);
      if (!text) Fail(fmt::format("hex({:x}) text data is not valid UTF-16LE", type));
      bytes = std::move(*text);
    }
    data = RegistryData{type, std::move(bytes)};
  } else {
    Fail("unknown value data (expected \"text\", dword:, hex:, hex(N): or -)");
  }

  if (target_ != Target::LocalMachine) return;
  auto& values = keys_[currentKey_].values_;
  const std::string key = text::UpperCased(name);
  if (data) {
    values[key] = std::move(*data);
  } else {
    values.erase(key);
  }
}

}  // namespace detail

RegistryFileError::RegistryFileError(const std::string& fileName, int line,
                                     const std::string& fault)
    : std::runtime_error(line > 0
                             ? fmt::format("Registry file {}, line {}: {}", fileName, line, fault)
                             : fmt::format("Registry file {}: {}", fileName, fault)),
      line_(line) {}

const RegistryData* RegistryKey::Value(std::string_view name) const {
  const auto it = values_.find(text::UpperCased(name));
  return it == values_.end() ? nullptr : &it->second;
}

RegistryHive::RegistryHive() { keys_[std::string()]; }

RegistryHive RegistryHive::Parse(std::string_view fileBytes, const std::string& fileName) {
  const std::string text = DecodeFile(fileBytes, fileName);
  RegistryHive hive;
  try {
    hive.keys_ = detail::RegistryParser(text).Run();
  } catch (const LineFault& fault) {
    throw RegistryFileError(fileName, fault.line, fault.fault);
  }
  return hive;
}

RegistryHive RegistryHive::Load(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return RegistryHive();
    throw RegistryFileError(path, 0, fmt::format("cannot be opened: {}", std::strerror(errno)));
  }
  std::string bytes;
  std::array<char, 65536> buffer{};
  while (true) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      throw RegistryFileError(path, 0, fmt::format("cannot be read: {}", std::strerror(error)));
    }
    if (n == 0) break;
    bytes.append(buffer.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return Parse(bytes, path);
}

const RegistryKey* RegistryHive::OpenKey(std::string_view keyPath) const {
  const auto it = keys_.find(text::UpperCased(keyPath));
  return it == keys_.end() ? nullptr : &it->second;
}

std::string RegistryFilePath() {
  const char* path = std::getenv("CALMORA_REGISTRY");
  if (path != nullptr && *path != '\0') return path;
  return "/etc/calmora/registry.reg";
}

}  // namespace calmora
