// Small text helpers shared by the scenario model. All text is CP932 bytes;
// nothing here decodes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

using StringList = std::vector<std::string>;

// Lines end at LF, CR or CR LF; the last line needs no break; a NUL byte
// ends the text.
StringList SplitLines(std::string_view text);

// An ordered list of lines that costs little more than their text: the bytes
// of all lines stand in one buffer, and each line is a place in it. A line
// that grows, or is inserted, goes to the end of the buffer; the space left
// behind is reclaimed once there is more of it than of text in use.
class LineList {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        const_iterator(const LineList* list, size_t index) : list_(list), index_(index) {}
        std::string_view operator*() const { return (*list_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) { return {list_, index_++}; }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

    private:
        const LineList* list_ = nullptr;
        size_t index_ = 0;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;

    LineList() = default;
    LineList(std::initializer_list<std::string_view> lines);

    // The lines of `text`, split as SplitLines does; false, leaving the list
    // empty, when there would be more than `maxLines`.
    bool AssignText(std::string text, size_t maxLines);

    size_t size() const { return spans_.size(); }
    bool empty() const { return spans_.empty(); }
    // The bytes the lines hold.
    size_t TextBytes() const { return buffer_.size() - unused_; }
    std::string_view operator[](size_t index) const {
        return {buffer_.data() + spans_[index].offset, spans_[index].length};
    }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    void clear();
    void reserve(size_t lines) { spans_.reserve(lines); }
    void push_back(std::string_view line);
    void insert(size_t index, std::string_view line);
    void replace(size_t index, std::string_view line);

    friend bool operator==(const LineList& a, const LineList& b);
    friend bool operator==(const LineList& lines, const StringList& strings);

private:
    struct Span {
        uint32_t offset;
        uint32_t length;
    };

    Span Store(std::string_view line);
    void CompactIfWasteful();
    void Compact();

    std::string buffer_;
    std::vector<Span> spans_;
    size_t unused_ = 0;  // bytes of the buffer that no line uses
};

// Removes characters 0x00 to 0x20 from both ends.
std::string_view Trim(std::string_view text);

// The one integer-text rule of the scenario format: optional leading spaces,
// then an optional sign and decimal digits, or a "$", "x", "X", "0x" or "0X"
// prefix and hexadecimal digits; nothing after; within 32-bit signed range.
std::optional<int32_t> ParseInt(std::string_view text);
inline int32_t ParseIntDef(std::string_view text, int32_t fallback) {
    return ParseInt(text).value_or(fallback);
}
std::string IntToText(int32_t value);

// Where `needle` first occurs in `text` starting at a character boundary, so
// that a match never begins on the trail byte of a two-byte character; npos
// when it does not occur.
size_t FindText(std::string_view text, std::string_view needle);

// Key comparison of command parameters and call frames: ASCII letters match
// regardless of case; every other byte, CP932 trail bytes included, exactly.
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

// The value of the first `KEY=VALUE` line whose key (the text before its
// first "=") equals `key` ignoring case; nullptr when there is none.
const std::string* FindKeyIgnoreCase(const StringList& lines, std::string_view key,
                                     size_t* position = nullptr);
// The same line of a LineList, whole; nullopt when there is none.
std::optional<std::string_view> FindKeyIgnoreCase(const LineList& lines, std::string_view key);

// FNV-1a over the bytes, going on from `hash`: a text hashed in parts gives
// what it gives hashed whole. Hashing starts from a value drawn at random once
// per run, not the published one, so that names in a scenario cannot be
// chosen offline to collide in the document's tables.
uint64_t TextHashStart();
uint64_t HashText(std::string_view text, uint64_t hash = TextHashStart());

}  // namespace scenario
