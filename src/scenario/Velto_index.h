// TBlockIndex: the block index of the scenario document, and HashSlots, the
// hash table behind its lookups and the document's key lookups. An entry is
// one closed block with its start and end lines. Its text, "KEY:S,E", is put
// together from names held once, so that the pages of a book do not each
// hold a copy of the book's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

// Open addressing for small values found by hash. The table keeps no keys:
// the caller's `matches` says whether a value stands for the key sought.
// The first value added for a key is the one found.
class HashSlots {
public:
    // Empty, with room for `count` values before it grows.
    void Reset(size_t count);

    // The first value with this hash that `matches` accepts; -1 when none.
    template <typename Matches>
    int64_t Find(uint64_t hash, Matches matches) const {
        if (slots_.empty()) return -1;
        size_t mask = slots_.size() - 1;
        uint32_t tag = Tag(hash);
        for (size_t i = tag & mask; slots_[i].value != 0; i = (i + 1) & mask) {
            if (slots_[i].tag == tag && matches(slots_[i].value - 1)) return slots_[i].value - 1;
        }
        return -1;
    }

    // Adds `value` unless Find would give one already.
    template <typename Matches>
    void AddFirst(uint64_t hash, uint32_t value, Matches matches) {
        if (Find(hash, matches) >= 0) return;
        if ((used_ + 1) * 2 > slots_.size()) Grow();
        Place({value + 1, Tag(hash)});
        ++used_;
    }

private:
    struct Slot {
        uint32_t value = 0;  // the value + 1; 0 marks a free slot
        uint32_t tag = 0;    // from the hash; places the slot, and a rehash
    };
    static uint32_t Tag(uint64_t hash) { return static_cast<uint32_t>(hash ^ (hash >> 32)); }
    void Grow();
    void Place(Slot slot);

    std::vector<Slot> slots_;
    size_t used_ = 0;
};

class TBlockIndex {
public:
    enum class Kind : uint8_t { kHead, kBook, kPage };
    struct Entry {
        uint32_t first;  // the head's or the book's name; a page's book's
        uint32_t page;   // a page's own name
        int32_t start;
        int32_t end;
        uint64_t hash;  // of the text up to its first ":"
        Kind kind;
    };
    static constexpr size_t npos = static_cast<size_t>(-1);
    static constexpr uint32_t kEmptyName = 0;

    // No entries, and no names but kEmptyName.
    void Clear();
    // A block's name as its start line gives it, for Add.
    uint32_t AddName(std::string_view name);
    // Entries are added in the order their end lines come; Finish makes them
    // searchable.
    void Add(Kind kind, uint32_t first, uint32_t page, int32_t start, int32_t end);
    void Finish();

    size_t size() const { return entries_.size(); }
    // For moving blocks along with inserted lines.
    Entry& operator[](size_t position) { return entries_[position]; }
    const Entry& operator[](size_t position) const { return entries_[position]; }
    // A name as AddName took it.
    std::string_view NameText(uint32_t name) const;
    std::string Text(size_t position) const;

    // The first entry whose text begins with `key`; npos when none.
    size_t Find(std::string_view key) const;
    // S and E as the rest of the found entry's text after `key` gives them;
    // false when that rest is not "S,E".
    bool Range(size_t position, std::string_view key, int32_t& start, int32_t& end) const;
    // The text before the entry's first ":", when it holds no "/": a book's
    // name, as the book list shows it.
    std::optional<std::string_view> ListedName(size_t position) const;

private:
    struct Name {
        uint32_t offset;  // in nameBytes_
        uint32_t length;
        uint32_t colon;  // of the first ":" and "/", or the length
        uint32_t slash;
        uint64_t hashToColon;  // of the bytes before the colon
    };

    std::string_view Separator(const Entry& entry) const;
    std::string_view PageName(const Entry& entry) const;
    size_t KeyLength(const Entry& entry) const;
    uint64_t LookupHash(Kind kind, uint32_t first, uint32_t page) const;
    bool StartsWith(const Entry& entry, std::string_view key) const;
    bool RestStartsWith(const Entry& entry, std::string_view rest) const;
    size_t FindInOrder(std::string_view key) const;

    std::vector<Entry> entries_;
    std::vector<Name> names_;
    std::string nameBytes_;
    // The first entry for each hash of a text up to its first ":".
    HashSlots table_;
};

}  // namespace scenario
