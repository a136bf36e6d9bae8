#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace trx {

// The list store: items under exact (case-sensitive) text keys, kept in
// insertion order and read by position; a key is found by hash, not by search.
template <class Item>
class ListStore {
  public:
    bool Exists(const std::u16string& key) const { return index_.contains(key); }
    std::size_t Count() const { return keys_.size(); }

    // Replaces the item of a known key in its place; a new key goes last.
    void Set(const std::u16string& key, Item item) {
        if (auto it = index_.find(key); it != index_.end()) {
            items_[it->second] = std::move(item);
            return;
        }
        index_.emplace(key, keys_.size());
        keys_.push_back(key);
        items_.push_back(std::move(item));
    }

    // The item of a key, or null when the key is unknown.
    Item* Find(const std::u16string& key) {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &items_[it->second];
    }
    const Item* Find(const std::u16string& key) const {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &items_[it->second];
    }

    // Snapshots in store order: item i belongs to key i.
    std::vector<Item> Items() const { return items_; }
    std::vector<std::u16string> Keys() const { return keys_; }
    const std::u16string& KeyAt(std::size_t position) const { return keys_.at(position); }

  private:
    std::vector<std::u16string> keys_;
    std::vector<Item> items_;
    std::unordered_map<std::u16string, std::size_t> index_;
};

}  // namespace trx
