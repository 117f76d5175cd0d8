#pragma once
// A Windows private-profile ("ini") file read and written the way GetPrivateProfileStringA and
// WritePrivateProfileStringA do it, over the file's raw CP932 bytes: "[section]" lines open
// sections, "key=value" lines set keys, and every byte a write does not touch stays as it was.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ProfileValue {
    int count = 0;     // CP932 bytes taken; 0 for a missing key and for an empty value alike
    std::string text;  // UTF-8
};

// Loads the file once; reads and writes work on the bytes in memory and Save() puts them back
// in one atomic replacement. Names and values are UTF-8 and become CP932 only here.
class ProfileFile {
  public:
    // The read buffer of the profile functions holds 1024 characters with the final NUL.
    static constexpr std::size_t kMaxValueBytes = 1023;
    // A file larger than this is not taken as a profile: it is neither read nor overwritten.
    static constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

    // A missing file is an empty profile. A file that exists but cannot be read is also read
    // as empty, but Save() then refuses to replace it.
    explicit ProfileFile(std::string path);

    // Section and key names match after trimming blanks, ignoring the case of ASCII letters.
    // The value is trimmed, loses one pair of enclosing quotes and is cut to kMaxValueBytes
    // without splitting a double-byte character. The first matching section and key win.
    ProfileValue Read(std::string_view section, std::string_view key) const;

    // Replaces the value of an existing key, adds the key after the last non-blank line of
    // its section, or appends the section and the key at the end; new lines end in CR LF.
    // Line breaks in names and values become blanks so a write can never add other lines.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // Writes the bytes back when a Write changed them; true when nothing needed writing.
    bool Save(std::string* error = nullptr);

    const std::string& Bytes() const { return bytes_; }
    bool Modified() const { return modified_; }

  private:
    struct Line {
        std::size_t begin;       // first byte
        std::size_t contentEnd;  // end of the text, before CR LF or LF
        std::size_t end;         // after the line end
    };
    struct Place {
        bool sectionFound = false;
        std::size_t lastNonBlank = 0;  // line index, valid when sectionFound
        bool keyFound = false;
        std::size_t keyLine = 0;
    };

    void SplitLines();
    Place Find(std::string_view section, std::string_view key) const;
    std::string_view Content(const Line& line) const;

    std::string path_;
    std::string bytes_;
    std::vector<Line> lines_;
    bool modified_ = false;
    bool unreadable_ = false;
};

// One read or one write of `path`, each a whole load (and save) of the file.
ProfileValue ReadProfileValue(const std::string& path, std::string_view section,
                              std::string_view key);
bool WriteProfileValue(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value);

}  // namespace velmora
