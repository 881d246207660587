#pragma once
// A list of named values that keeps its order and finds a name without regard
// to (ASCII) letter case in constant time: the sections of an INI file and the
// keys of a section. Files with hundreds of thousands of names are read, looked
// up and rewritten in time linear in their size.

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace morvik::platform {

inline char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

template <class Value>
class NamedList {
public:
    struct Item {
        std::string name;  // the spelling it was first given
        Value value;
    };

    NamedList() = default;
    // The index points into the list's own items, so a copy would point into
    // the original; moving keeps the items where they are.
    NamedList(const NamedList&) = delete;
    NamedList& operator=(const NamedList&) = delete;
    NamedList(NamedList&&) = default;
    NamedList& operator=(NamedList&&) = default;

    Value* Find(std::string_view name) {
        const auto found = index_.find(name);
        return found == index_.end() ? nullptr : &found->second->value;
    }
    const Value* Find(std::string_view name) const {
        const auto found = index_.find(name);
        return found == index_.end() ? nullptr : &found->second->value;
    }

    // Appends name with value unless the name is there already. Returns the
    // value now stored under the name and whether it was appended.
    std::pair<Value*, bool> Insert(std::string name, Value value) {
        // The index must view the name where it will stay, so the item goes in
        // first and comes out again when the name was taken: one look-up only.
        Item& item = items_.emplace_back(Item{std::move(name), std::move(value)});
        const auto [position, added] = index_.emplace(item.name, std::prev(items_.end()));
        if (!added) items_.pop_back();
        return {&position->second->value, added};
    }

    // Absent names are ignored.
    void Erase(std::string_view name) {
        const auto found = index_.find(name);
        if (found == index_.end()) return;
        const auto item = found->second;
        index_.erase(found);  // before the name it points at goes
        items_.erase(item);
    }

    void Clear() {
        index_.clear();
        items_.clear();
    }

    std::size_t Size() const { return items_.size(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    // FNV-1a over the folded bytes: names that differ in case only hash alike.
    struct FoldedHash {
        std::size_t operator()(std::string_view name) const {
            std::uint64_t hash = 14695981039346656037ull;
            for (const char c : name) {
                hash ^= static_cast<unsigned char>(FoldCase(c));
                hash *= 1099511628211ull;
            }
            return static_cast<std::size_t>(hash);
        }
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
    };

    // List nodes never move, so the index can view the names they hold.
    std::list<Item> items_;
    std::unordered_map<std::string_view, typename std::list<Item>::iterator, FoldedHash, FoldedEqual> index_;
};

}  // namespace morvik::platform
