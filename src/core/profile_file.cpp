#include "core/profile_file.h"

#include <sys/stat.h>

#include "core/atomic_file.h"
#include "core/encoding.h"

namespace velmora {

namespace {

// First bytes of a CP932 double-byte character. A trail byte can look like '[', ']', '\' or an
// ASCII letter, so scans that look for those must step over whole characters.
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::size_t CharLength(std::string_view s, std::size_t i) {
    return IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Case-insensitive for ASCII letters, exact for double-byte characters (whose trail bytes
// must not be folded: 0x83 0x41 and 0x83 0x61 are different katakana).
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t len = CharLength(a, i);
        if (len == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
        i += len;
    }
    return true;
}

// The name of a "[name]" line (up to its last ']'), or false when the line is no header.
bool SectionName(std::string_view content, std::string_view& name) {
    content = TrimBlanks(content);
    if (content.empty() || content.front() != '[') return false;
    std::size_t close = std::string_view::npos;
    for (std::size_t i = 1; i < content.size(); i += CharLength(content, i))
        if (content[i] == ']') close = i;
    if (close == std::string_view::npos) return false;
    name = TrimBlanks(content.substr(1, close - 1));
    return true;
}

// The key of a "key=value" line; a non-blank line without '=' is a key without a value.
std::string_view KeyName(std::string_view content) {
    return TrimBlanks(content.substr(0, content.find('=')));
}

// What a read hands back: trimmed, one pair of enclosing quotes removed, cut to the buffer
// without splitting a double-byte character, and ending at an embedded NUL.
std::string_view ValueOf(std::string_view content) {
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) return {};
    std::string_view v = TrimBlanks(content.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    std::size_t taken = 0;
    while (taken < v.size()) {
        const std::size_t len = CharLength(v, taken);
        if (taken + len > ProfileFile::kMaxValueBytes) break;
        taken += len;
    }
    v = v.substr(0, taken);
    return v.substr(0, v.find('\0'));
}

// A name or value as the CP932 bytes put into the file: it ends at a NUL, like the C string
// the profile functions take, and cannot break its line.
std::string ToFileText(std::string_view utf8) {
    std::string bytes = Utf8ToCp932(utf8.substr(0, utf8.find('\0')));
    for (char& c : bytes)
        if (c == '\r' || c == '\n') c = ' ';
    return bytes;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
    if (!ReadWholeFile(path_, bytes_, kMaxFileBytes + 1) || bytes_.size() > kMaxFileBytes) {
        bytes_.clear();
        struct stat st {};
        unreadable_ = ::stat(path_.c_str(), &st) == 0;
    }
    SplitLines();
}

void ProfileFile::SplitLines() {
    lines_.clear();
    std::size_t pos = 0;
    while (pos < bytes_.size()) {
        const std::size_t lf = bytes_.find('\n', pos);
        Line line{};
        line.begin = pos;
        if (lf == std::string::npos) {
            line.contentEnd = line.end = bytes_.size();
        } else {
            line.end = lf + 1;
            line.contentEnd = (lf > pos && bytes_[lf - 1] == '\r') ? lf - 1 : lf;
        }
        lines_.push_back(line);
        pos = line.end;
    }
}

std::string_view ProfileFile::Content(const Line& line) const {
    return std::string_view(bytes_).substr(line.begin, line.contentEnd - line.begin);
}

ProfileFile::Place ProfileFile::Find(std::string_view section, std::string_view key) const {
    Place place;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view content = Content(lines_[i]);
        std::string_view name;
        if (SectionName(content, name)) {
            if (place.sectionFound) break;  // only the first section of that name counts
            if (SameName(name, section)) {
                place.sectionFound = true;
                place.lastNonBlank = i;
            }
            continue;
        }
        if (!place.sectionFound || TrimBlanks(content).empty()) continue;
        place.lastNonBlank = i;
        if (SameName(KeyName(content), key)) {
            place.keyFound = true;
            place.keyLine = i;
            break;
        }
    }
    return place;
}

ProfileValue ProfileFile::Read(std::string_view section, std::string_view key) const {
    const std::string fileSection = Utf8ToCp932(TrimBlanks(section));
    const std::string fileKey = Utf8ToCp932(TrimBlanks(key));
    if (fileKey.empty()) return {};
    const Place place = Find(fileSection, fileKey);
    if (!place.keyFound) return {};
    const std::string_view value = ValueOf(Content(lines_[place.keyLine]));
    return ProfileValue{static_cast<int>(value.size()), Cp932ToUtf8(value)};
}

void ProfileFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string fileSection(TrimBlanks(ToFileText(section)));
    const std::string fileKey(TrimBlanks(ToFileText(key)));
    const std::string fileValue = ToFileText(value);
    if (fileKey.empty()) return;

    const Place place = Find(fileSection, fileKey);
    if (place.keyFound) {
        const Line& line = lines_[place.keyLine];
        const std::size_t eq = Content(line).find('=');
        if (eq == std::string_view::npos) {
            bytes_.insert(line.contentEnd, "=" + fileValue);
        } else {
            const std::size_t from = line.begin + eq + 1;
            bytes_.replace(from, line.contentEnd - from, fileValue);
        }
    } else if (place.sectionFound) {
        const Line& after = lines_[place.lastNonBlank];
        std::string added = fileKey + "=" + fileValue + "\r\n";
        if (after.end == after.contentEnd) added.insert(0, "\r\n");  // last line, no line end
        bytes_.insert(after.end, added);
    } else {
        if (!bytes_.empty() && bytes_.back() != '\n') bytes_ += "\r\n";
        bytes_ += "[" + fileSection + "]\r\n" + fileKey + "=" + fileValue + "\r\n";
    }
    modified_ = true;
    SplitLines();
}

bool ProfileFile::Save(std::string* error) {
    if (!modified_) return true;
    if (unreadable_) {
        if (error != nullptr) *error = "The existing file " + path_ + " could not be read";
        return false;
    }
    if (!WriteFileAtomically(path_, bytes_, error)) return false;
    modified_ = false;
    return true;
}

ProfileValue ReadProfileValue(const std::string& path, std::string_view section,
                              std::string_view key) {
    return ProfileFile(path).Read(section, key);
}

bool WriteProfileValue(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value) {
    ProfileFile file(path);
    file.Write(section, key, value);
    return file.Save();
}

}  // namespace velmora
