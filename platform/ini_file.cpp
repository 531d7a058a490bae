#include "platform/ini_file.h"

#include "platform/ascii.h"
#include "platform/files.h"

namespace plat {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kNewLine = "\r\n";

enum class LineKind { kBlank, kComment, kSection, kKey, kOther };

struct LineInfo {
  LineKind kind = LineKind::kBlank;
  std::string_view name;   // the section or key name, trimmed
  std::string_view value;  // the key's value, trimmed, not yet unquoted
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsQuoted(std::string_view text) {
  return text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
}

std::string_view Unquote(std::string_view value) {
  return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

LineInfo Classify(std::string_view line) {
  const std::string_view text = Trim(line);
  LineInfo info;
  if (text.empty()) return info;
  if (text.front() == ';') {
    info.kind = LineKind::kComment;
  } else if (text.front() == '[') {
    info.kind = LineKind::kSection;
    const size_t close = text.find(']');
    info.name = Trim(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  } else if (const size_t equals = text.find('='); equals != std::string_view::npos) {
    info.kind = LineKind::kKey;
    info.name = Trim(text.substr(0, equals));
    info.value = Trim(text.substr(equals + 1));
  } else {
    info.kind = LineKind::kOther;
  }
  return info;
}

bool HoldsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckWritable(std::string_view section, std::string_view key, std::string_view value) {
  if (HoldsLineBreakOrNul(section) || HoldsLineBreakOrNul(key) || HoldsLineBreakOrNul(value))
    throw IniError("An INI section, key or value must not hold a line break or NUL");
  if (section.find(']') != std::string_view::npos)
    throw IniError("An INI section name must not hold ']': " + std::string(section));
  if (key.empty() || key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
    throw IniError("Not a valid INI key name: \"" + std::string(key) + "\"");
}

// The value as written, so that reading it gives it back unchanged.
std::string WrittenValue(std::string_view value) {
  const bool needs_quotes =
      !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value));
  return needs_quotes ? "\"" + std::string(value) + "\"" : std::string(value);
}

}  // namespace

IniFile IniFile::FromBytes(std::string_view bytes) {
  IniFile file;
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    file.byte_order_mark_ = true;
    bytes.remove_prefix(kByteOrderMark.size());
  }
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    Line line{std::string(bytes.substr(pos, end - pos)), ""};
    size_t next = end;
    if (next < bytes.size()) next += bytes.substr(next, 2) == kNewLine ? 2 : 1;
    line.end = std::string(bytes.substr(end, next - end));
    file.lines_.push_back(std::move(line));
    pos = next;
  }
  return file;
}

IniFile IniFile::Load(const std::string& path) {
  if (!PathExists(path)) return IniFile();
  return FromBytes(ReadWholeFile(path));
}

size_t IniFile::FindSection(std::string_view section) const {
  section = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    const LineInfo info = Classify(lines_[i].text);
    if (info.kind == LineKind::kSection && SameText(info.name, section)) return i;
  }
  return lines_.size();
}

size_t IniFile::SectionEnd(size_t header) const {
  size_t end = header + 1;
  for (size_t i = header + 1; i < lines_.size(); ++i) {
    const LineKind kind = Classify(lines_[i].text).kind;
    if (kind == LineKind::kSection) break;
    if (kind == LineKind::kKey || kind == LineKind::kOther) end = i + 1;
  }
  return end;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> keys;
  for (size_t i = FindSection(section) + 1; i < lines_.size(); ++i) {
    const LineInfo info = Classify(lines_[i].text);
    if (info.kind == LineKind::kSection) break;
    if (info.kind == LineKind::kKey)
      keys.emplace_back(std::string(info.name), std::string(Unquote(info.value)));
  }
  return keys;
}

const IniFile::SectionIndex& IniFile::Index() const {
  if (index_) return *index_;
  SectionIndex& index = index_.emplace();
  KeyIndex* keys = nullptr;  // the current section's, unless it repeats an earlier one
  for (const Line& line : lines_) {
    const LineInfo info = Classify(line.text);
    if (info.kind == LineKind::kSection) {
      const auto [where, added] = index.try_emplace(AsciiLowerCase(info.name));
      keys = added ? &where->second : nullptr;
    } else if (info.kind == LineKind::kKey && keys != nullptr) {
      keys->try_emplace(AsciiLowerCase(info.name), Unquote(info.value));
    }
  }
  return index;
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
  const SectionIndex& index = Index();
  const auto keys = index.find(AsciiLowerCase(Trim(section)));
  if (keys == index.end()) return std::nullopt;
  const auto value = keys->second.find(AsciiLowerCase(Trim(key)));
  if (value == keys->second.end()) return std::nullopt;
  return value->second;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  std::optional<std::string> value = Find(section, key);
  return value ? std::move(*value) : std::string(fallback);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const {
  const std::optional<std::string> value = Find(section, key);
  return value ? ParseIntOr(*value, fallback) : fallback;
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
  index_.reset();
  section = Trim(section);
  key = Trim(key);
  CheckWritable(section, key, value);
  Line entry{std::string(key) + "=" + WrittenValue(value), std::string(kNewLine)};

  const size_t header = FindSection(section);
  if (header < lines_.size()) {
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
      const LineInfo info = Classify(lines_[i].text);
      if (info.kind == LineKind::kKey && SameText(info.name, key)) {
        lines_[i].text = std::move(entry.text);
        return;
      }
    }
    // The line in front of the new one may be the last of the file, without a line end.
    if (lines_[end - 1].end.empty()) lines_[end - 1].end = kNewLine;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(end), std::move(entry));
    return;
  }
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = kNewLine;
  lines_.push_back(Line{"[" + std::string(section) + "]", std::string(kNewLine)});
  lines_.push_back(std::move(entry));
}

std::string IniFile::ToBytes() const {
  std::string out(byte_order_mark_ ? kByteOrderMark : "");
  for (const Line& line : lines_) out += line.text + line.end;
  return out;
}

void WriteIniString(const std::string& path, std::string_view section, std::string_view key, std::string_view value,
                    FileAccess access) {
  IniFile file = IniFile::Load(path);
  file.SetString(section, key, value);
  WriteFileAtomic(path, file.ToBytes(), access);
}

}  // namespace plat
