#pragma once
// A map from 16-bit keys to values whose enumeration order is part of the
// program's behaviour: it is the order of the list's rows, of the project file
// and of the scheduler's search. The table has 17 buckets, the bucket of key k
// is (k >> 4) % 17, a new entry goes to the head of its bucket's chain, and the
// walk visits buckets 0..16, each chain from head to tail. The bucket table
// exists only while the map holds entries.
//
// Beside the chains the map keeps an index from key to entry and a bitmap of
// the keys in use, so lookup, insertion and removal take constant time and the
// lowest free key is found without probing key after key; a full list of
// 65,536 movies would otherwise cost billions of chain steps.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

template <typename T> class WordKeyedMap {
    struct Entry {
        Entry* next;
        Entry* prev; // null at the head of a chain
        std::uint16_t key;
        T value;
    };

public:
    // A walk position: the entry the next step returns; null after the last.
    using POSITION = const void*;
    static constexpr std::size_t kBuckets = 17;
    static constexpr std::size_t kKeySpace = 65536;

    WordKeyedMap() = default;
    WordKeyedMap(const WordKeyedMap&) = delete;
    WordKeyedMap& operator=(const WordKeyedMap&) = delete;
    ~WordKeyedMap() { RemoveAll(); }

    static constexpr std::size_t BucketOf(std::uint16_t key) { return (key >> 4) % kBuckets; }

    std::size_t GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }

    T* Find(std::uint16_t key) const {
        Entry* e = m_table ? m_table->index[key] : nullptr;
        return e ? &e->value : nullptr;
    }

    // Inserts or replaces. A new key goes to the head of its bucket's chain.
    void SetAt(std::uint16_t key, T value) {
        if (T* existing = Find(key)) {
            *existing = std::move(value);
            return;
        }
        if (!m_table)
            m_table = std::make_unique<Table>();
        Entry*& head = m_table->heads[BucketOf(key)];
        head = new Entry{head, nullptr, key, std::move(value)};
        if (head->next)
            head->next->prev = head;
        m_table->index[key] = head;
        ++m_count;
        MarkUsed(key, true);
    }

    // Removes the key's entry; returns the removed value.
    std::optional<T> RemoveKey(std::uint16_t key) {
        Entry* e = m_table ? m_table->index[key] : nullptr;
        if (!e)
            return std::nullopt;
        (e->prev ? e->prev->next : m_table->heads[BucketOf(key)]) = e->next;
        if (e->next)
            e->next->prev = e->prev;
        m_table->index[key] = nullptr;
        std::optional<T> value(std::move(e->value));
        delete e;
        --m_count;
        MarkUsed(key, false);
        if (m_count == 0)
            m_table.reset();
        return value;
    }

    void RemoveAll() {
        if (m_table) {
            for (Entry* head : m_table->heads) {
                while (head) {
                    Entry* next = head->next;
                    delete head;
                    head = next;
                }
            }
        }
        m_table.reset();
        m_count = 0;
        m_used.fill(0);
        m_firstFree = 0;
    }

    // The lowest key not in use, or nothing when all 65,536 are taken.
    std::optional<std::uint16_t> LowestFreeKey() const {
        for (std::size_t word = m_firstFree / 64; word < m_used.size(); ++word) {
            if (m_used[word] != ~std::uint64_t{0}) {
                const int bit = std::countr_one(m_used[word]);
                return static_cast<std::uint16_t>(word * 64 + static_cast<std::size_t>(bit));
            }
        }
        return std::nullopt;
    }

    POSITION GetStartPosition() const { return FirstFrom(0); }

    // Returns the entry at `pos` and moves `pos` on. The successor is found
    // before the caller sees the entry, so removing that entry keeps the walk.
    void GetNextAssoc(POSITION& pos, std::uint16_t& key, T& value) const {
        const Entry* e = static_cast<const Entry*>(pos);
        key = e->key;
        value = e->value;
        pos = e->next ? e->next : FirstFrom(BucketOf(e->key) + 1);
    }

private:
    POSITION FirstFrom(std::size_t bucket) const {
        if (!m_table)
            return nullptr;
        for (; bucket < kBuckets; ++bucket)
            if (Entry* head = m_table->heads[bucket])
                return head;
        return nullptr;
    }

    void MarkUsed(std::uint16_t key, bool used) {
        const std::uint64_t bit = std::uint64_t{1} << (key % 64);
        if (used) {
            m_used[key / 64] |= bit;
            // Keys below the hint are all taken; advance past full words lazily.
            while (m_firstFree < kKeySpace && m_used[m_firstFree / 64] == ~std::uint64_t{0})
                m_firstFree = (m_firstFree / 64 + 1) * 64;
        } else {
            m_used[key / 64] &= ~bit;
            if (key < m_firstFree)
                m_firstFree = key;
        }
    }

    struct Table {
        std::array<Entry*, kBuckets> heads{};
        std::array<Entry*, kKeySpace> index{};
    };
    std::unique_ptr<Table> m_table; // exists only while there are entries
    std::size_t m_count = 0;
    std::array<std::uint64_t, kKeySpace / 64> m_used{};
    std::size_t m_firstFree = 0; // no free key lies below this one
};
