// Text lists and the text rules shared by every program: how list files are
// read and written, letter case, trimming, key=value look-ups.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace toolkit {

// An ordered list of text lines, held whole in memory.
using TextList = std::vector<std::string>;

// A file that cannot be read or written. The message is French and names the file.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The reason of a failed system call, in French, for the user's messages.
std::string SystemErrorText(int error);

// Longest text kept after a split or a look-up.
inline constexpr std::size_t kMaxFieldLength = 255;

// Largest list file read: far above any list of a small network, far below
// what would exhaust memory when a list is not what it should be.
inline constexpr std::size_t kMaxListBytes = std::size_t{16} << 20;

// Loads a whole text file; a line ends at CR, LF or CR LF. A final line
// without an end is kept; the end of the last line does not add an empty one.
// A leading UTF-8 byte order mark is dropped. Lines are UTF-8: on Windows a
// line that is not was written in the ANSI code page (an older tool, an
// editor) and is converted from it.
// Throws FileError when the file cannot be opened or read, is not a regular
// file (a FIFO, a device, a folder: refused at once, never waited on) or is
// larger than kMaxListBytes.
TextList LoadLines(const std::string& path);
// The same for what a console command or a batch file wrote through a
// redirection (ipconfig's listing, a slot's result): on Windows a line that
// is not UTF-8 is in the console's (OEM) code page.
TextList LoadOutputLines(const std::string& path);
// The same rules on text already in memory.
TextList SplitLines(std::string_view text);

// Writes every line followed by CR LF (an empty list gives a 0-byte file).
// The file is replaced atomically: a temporary file in the same folder is
// written, flushed and renamed over the old one, so a reader never sees half
// a list and a failed write keeps the old file. A destination that is not a
// regular file (a link, a device, a FIFO) is refused and left as it is.
// Throws FileError.
void SaveLines(const std::string& path, const TextList& lines);
// Several lists replaced as one set: all are written before any replaces its
// file, so a failure keeps every old list (see platform::ReplaceFiles).
void SaveLinesTogether(const std::vector<std::pair<std::string, const TextList*>>& files);
// Same atomic replacement for arbitrary bytes.
// On Windows a batch file (".bat", ".cmd"), by SaveText or SaveLines, is
// written in the console's code page, in which cmd.exe reads it: its UTF-8
// text converted, and refused (FileError) when that code page lacks one of
// its characters (platform::FileBytesFor).
void SaveText(const std::string& path, std::string_view bytes);
// The same lines written over the file in place, without temporary or flush:
// only for a trace rewritten often, never for a list another program reads.
// Refuses a destination that is not a regular file. Throws FileError.
void SaveLinesInPlace(const std::string& path, const TextList& lines);

// A name or a text as the messages quote it: « text ».
std::string Quoted(std::string_view text);
// Character classes of ASCII, whatever the locale.
bool IsAsciiDigit(char c);
bool IsAsciiLetter(char c);

// Case rules: only the ASCII letters A-Z and a-z change.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// <0, 0, >0 comparing the ASCII-lower-cased bytes.
int CompareIgnoreCase(std::string_view a, std::string_view b);
// The order of every sorted list: whole lines, character by character, letter
// case ignored; at the first difference punctuation and symbols come before
// digits and digits before letters (so "192.168.1.10=pc" comes before
// "192.168.1.100=pc", and "192.168.1.10" before "192.168.1.2"), the order the
// Windows locale gives the discovery list. Within a class, byte order; bytes
// from 0x80 (letters outside ASCII) count as letters after z. A line that
// begins another comes first. 0 exactly when EqualsIgnoreCase.
int CompareSortOrder(std::string_view a, std::string_view b);

// Removes leading and trailing blanks and control characters (bytes 0-32).
std::string Trim(std::string_view text);

// The name a line of a hand-written list of names holds (the protected
// computers, the plan, a group file): trimmed, and without the byte-order
// mark that editors such as Notepad put before the first line of a UTF-8
// file. Every reader that compares such a name with another uses this rule.
std::string ListName(std::string_view line);

// Exact, case-sensitive substring test.
bool Contains(std::string_view line, std::string_view text);

// Index of the first line equal to `line` ignoring ASCII case.
std::optional<std::size_t> IndexOfLine(const TextList& list, std::string_view line);

// Lines of the form key "=" value. The key is the text before the first "=";
// a line without "=" has no key and is never found by a key look-up.
std::pair<std::string, std::string> SplitKeyValue(std::string_view line);
// Index of the first line whose key equals `key` ignoring ASCII case.
std::optional<std::size_t> IndexOfKey(const TextList& list, std::string_view key);
// Value of the first line whose key equals `key` ignoring ASCII case; empty
// text when no line has that key.
std::string ValueOfKey(const TextList& list, std::string_view key);

// Splitting a line at its first space: the part before, and the part after
// the space cut to 255 characters. Without a space, `before` is the whole line
// and `after` is empty.
struct SpaceSplit {
    std::string before;
    std::string after;
    bool hasSpace = false;
};
SpaceSplit SplitAtFirstSpace(std::string_view line);

// The lines of liste.ip and liste.mac are "name value": the name is the text
// before the first space, the value the text after it. A line belongs to a
// computer only when its whole name field equals the computer's name (ASCII
// case ignored); a name that is merely part of a line (pc1 in "pc10 ...", a
// dot in every address) never finds it. Values compare trimmed, case ignored.
// Korvane's look-ups and netsweep's updates share this one rule.
std::string_view NameField(std::string_view line);
std::string_view ValueField(std::string_view line);
// Index of the first line whose name field is `name`; an empty name finds nothing.
std::optional<std::size_t> IndexOfName(const TextList& list, std::string_view name);
// Index of the first line whose value field is `value`; an empty value finds nothing.
std::optional<std::size_t> IndexOfValue(const TextList& list, std::string_view value);

// A list of "name value" lines with the look-ups of IndexOfName and
// IndexOfValue answered from hash indexes, kept up to date as lines are
// replaced and appended: the same first-line answers, in constant time
// instead of a pass over the list, so that merging thousands of entries
// into a list of thousands of lines stays linear.
class NamedLines {
  public:
    NamedLines() = default;
    NamedLines(TextList lines);  // NOLINT: a list of lines is one
    NamedLines& operator=(TextList lines);

    const TextList& Lines() const { return lines_; }
    std::size_t Size() const { return lines_.size(); }
    const std::string& operator[](std::size_t index) const { return lines_[index]; }

    std::optional<std::size_t> IndexOfName(std::string_view name) const;
    std::optional<std::size_t> IndexOfValue(std::string_view value) const;

    void Replace(std::size_t index, std::string line);
    void Append(std::string line);

  private:
    // The indexes of the lines holding one key: the first, and the others in
    // order (most keys have none, and then no allocation).
    struct Indexes {
        std::size_t first = 0;
        std::vector<std::size_t> more;
    };
    // Key (ASCII lower-cased) -> its lines.
    using Positions = std::unordered_map<std::string, Indexes>;
    // An index is built the first time it is asked, so a list only looked
    // up by name never pays for the other.
    struct Index {
        Positions positions;
        bool built = false;
    };
    using FieldOf = std::string_view (*)(std::string_view);
    const Positions& Built(Index& index, FieldOf field) const;
    static void Insert(Positions& positions, std::string_view field, std::size_t index);
    static void Erase(Positions& positions, std::string_view field, std::size_t index);
    static std::optional<std::size_t> First(const Positions& positions, std::string_view field);

    TextList lines_;
    mutable Index names_, values_;
};

// Lines of the form key "=" value that are only ever appended to, with the
// look-up of ValueOfKey answered from a hash index.
class KeyedLines {
  public:
    KeyedLines() = default;
    KeyedLines(TextList lines);  // NOLINT: a list of lines is one
    KeyedLines& operator=(TextList lines);

    const TextList& Lines() const { return lines_; }
    std::size_t Size() const { return lines_.size(); }
    void Append(std::string line);
    // As IndexOfKey and ValueOfKey on the lines.
    bool HasKey(std::string_view key) const;
    std::string ValueOfKey(std::string_view key) const;

  private:
    TextList lines_;
    std::unordered_map<std::string, std::size_t> first_;  // lower-cased key -> first line
};

// Keeps its lines in ascending CompareSortOrder and silently drops a line
// equal (case ignored) to one it already holds. Adding is logarithmic, so a
// list loaded in any order takes n log n.
class SortedTextList {
  public:
    // Returns false when an equal line was already there.
    bool Add(std::string_view line);
    // Adds every line of the file; throws FileError like LoadLines.
    void LoadFrom(const std::string& path);
    const TextList& Lines() const;
    std::size_t Size() const { return set_.size(); }

  private:
    struct SortOrderLess {
        bool operator()(const std::string& a, const std::string& b) const {
            return CompareSortOrder(a, b) < 0;
        }
    };
    std::set<std::string, SortOrderLess> set_;
    mutable TextList lines_;
    mutable bool stale_ = false;
};

}  // namespace toolkit
