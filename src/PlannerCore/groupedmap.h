#pragma once
// A map kept as a map of small maps, one per group of keys (a year, a month).
//
// The plan's maps are shared with every copy of it: the undo entries, the plan of the
// last save, the one the sync ids were last checked against. A flat QMap detaches all
// of its nodes on the first change after a copy, so every week read into a long plan
// would copy and then free a node per week or month it holds. Grouped, a change
// detaches the short map of groups and the one group it touches; every other group
// stays shared.
//
// The interface is the part of QMap's the plan uses; iteration runs in key order,
// which needs `groupOf` to keep the keys' order.

#include <QList>
#include <QMap>

#include <initializer_list>
#include <iterator>
#include <type_traits>
#include <utility>

// Calls `differs(key)`, in key order, for every key whose value is not the same in the
// two maps, either of them holding it. Maps still shared cost one pointer compare.
template <class K, class V, class F>
void forEachDifference(const QMap<K, V>& a, const QMap<K, V>& b, F&& differs)
{
    if (a.isSharedWith(b))
        return;
    auto i = a.cbegin();
    auto j = b.cbegin();
    while (i != a.cend() || j != b.cend()) {
        if (j == b.cend() || (i != a.cend() && i.key() < j.key())) {
            differs(i.key());
            ++i;
        } else if (i == a.cend() || j.key() < i.key()) {
            differs(j.key());
            ++j;
        } else {
            if (!(i.value() == j.value()))
                differs(i.key());
            ++i;
            ++j;
        }
    }
}

// `Groups` maps each group to its map of keys; it may be grouped itself (the days of a
// plan by month, and the months by year).
template <class K, class V, class G, G (*groupOf)(const K&), class Groups = QMap<G, QMap<K, V>>>
class GroupedMap {
    using Group = typename Groups::mapped_type;

    template <bool Const>
    class Iterator {
        using OuterIt = std::conditional_t<Const, typename Groups::const_iterator, typename Groups::iterator>;
        using InnerIt = std::conditional_t<Const, typename Group::const_iterator, typename Group::iterator>;

    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using difference_type = std::ptrdiff_t;
        using value_type = V;
        using reference = std::conditional_t<Const, const V&, V&>;
        using pointer = std::conditional_t<Const, const V*, V*>;

        Iterator() = default;
        // A mutable iterator converts to a const one, as QMap's does.
        template <bool C = Const, class = std::enable_if_t<C>>
        Iterator(const Iterator<false>& other) : outer_(other.outer_), end_(other.end_), inner_(other.inner_) {}

        const K& key() const { return inner_.key(); }
        reference value() const { return inner_.value(); }
        reference operator*() const { return inner_.value(); }
        pointer operator->() const { return &inner_.value(); }

        Iterator& operator++()
        {
            if (++inner_ == groupEnd()) {
                ++outer_;
                enterGroup();
            }
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator before = *this;
            ++*this;
            return before;
        }
        Iterator& operator--()
        {
            if (outer_ == end_ || inner_ == groupBegin()) {
                --outer_;
                inner_ = groupEnd();
            }
            --inner_;
            return *this;
        }
        Iterator operator--(int)
        {
            Iterator before = *this;
            --*this;
            return before;
        }

        friend bool operator==(const Iterator& a, const Iterator& b)
        {
            return a.outer_ == b.outer_ && (a.outer_ == a.end_ || a.inner_ == b.inner_);
        }

    private:
        friend class GroupedMap;
        friend class Iterator<!Const>;

        Iterator(OuterIt outer, OuterIt end) : outer_(outer), end_(end) { enterGroup(); }
        Iterator(OuterIt outer, OuterIt end, InnerIt inner) : outer_(outer), end_(end), inner_(inner) {}

        InnerIt groupBegin() const
        {
            if constexpr (Const)
                return outer_.value().cbegin();
            else
                return outer_.value().begin();
        }
        InnerIt groupEnd() const
        {
            if constexpr (Const)
                return outer_.value().cend();
            else
                return outer_.value().end();
        }
        // Groups are never empty, so a group's first key is a real position.
        void enterGroup()
        {
            if (outer_ != end_)
                inner_ = groupBegin();
        }

        OuterIt outer_{};
        OuterIt end_{};
        InnerIt inner_{};
    };

public:
    using key_type = K;
    using mapped_type = V;
    using value_type = V;
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    GroupedMap() = default;
    GroupedMap(std::initializer_list<std::pair<K, V>> entries)
    {
        for (const auto& [key, value] : entries)
            insert(key, value);
    }

    bool operator==(const GroupedMap& other) const { return groups_ == other.groups_; }
    // The same entries as a plain map holds.
    friend bool operator==(const GroupedMap& a, const QMap<K, V>& b)
    {
        if (a.size() != b.size())
            return false;
        auto j = b.cbegin();
        for (auto i = a.cbegin(); i != a.cend(); ++i, ++j) {
            if (!(i.key() == j.key()) || !(i.value() == j.value()))
                return false;
        }
        return true;
    }

    // The value, an entry made for it when it had none.
    V& operator[](const K& key) { return groups_[groupOf(key)][key]; }
    V operator[](const K& key) const { return value(key); }
    V value(const K& key, const V& fallback = V()) const
    {
        const auto group = groups_.constFind(groupOf(key));
        return group == groups_.cend() ? fallback : group->value(key, fallback);
    }
    bool contains(const K& key) const
    {
        const auto group = groups_.constFind(groupOf(key));
        return group != groups_.cend() && group->contains(key);
    }
    void insert(const K& key, const V& value) { groups_[groupOf(key)].insert(key, value); }
    // Removes the key's entry; the number of entries removed (0 or 1). Nothing is
    // detached for a key that is not there.
    qsizetype remove(const K& key)
    {
        if (!contains(key))
            return 0;
        const auto group = groups_.find(groupOf(key));
        group->remove(key);
        if (group->isEmpty())
            groups_.erase(group);
        return 1;
    }
    // Removes the key's entry and gives its value (a default one when it had none).
    V take(const K& key)
    {
        if (!contains(key))
            return V();
        const auto group = groups_.find(groupOf(key));
        V value = group->take(key);
        if (group->isEmpty())
            groups_.erase(group);
        return value;
    }
    // Removes the entry at `it`, a position in this map; the position after it.
    iterator erase(iterator it)
    {
        auto group = it.outer_;
        const auto inner = group->erase(it.inner_);
        if (group->isEmpty())
            return iterator(groups_.erase(group), groups_.end());
        if (inner == group->end())
            return iterator(std::next(group), groups_.end());
        return iterator(group, groups_.end(), inner);
    }
    void clear() { groups_.clear(); }

    bool isEmpty() const { return groups_.isEmpty(); }
    qsizetype size() const
    {
        qsizetype n = 0;
        for (const Group& group : groups_)
            n += group.size();
        return n;
    }
    QList<K> keys() const
    {
        QList<K> out;
        for (const Group& group : groups_)
            out.append(group.keys());
        return out;
    }
    // The value of the last key; the map must not be empty.
    const V& last() const { return groups_.last().last(); }
    V& last() { return groups_.last().last(); }

    const_iterator constFind(const K& key) const
    {
        const auto group = groups_.constFind(groupOf(key));
        if (group == groups_.cend())
            return cend();
        const auto inner = group->constFind(key);
        return inner == group->cend() ? cend() : const_iterator(group, groups_.cend(), inner);
    }
    const_iterator find(const K& key) const { return constFind(key); }
    iterator find(const K& key)
    {
        if (!contains(key))
            return end();
        const auto group = groups_.find(groupOf(key));
        return iterator(group, groups_.end(), group->find(key));
    }
    iterator begin() { return iterator(groups_.begin(), groups_.end()); }
    iterator end() { return iterator(groups_.end(), groups_.end()); }
    const_iterator begin() const { return cbegin(); }
    const_iterator end() const { return cend(); }
    const_iterator cbegin() const { return const_iterator(groups_.cbegin(), groups_.cend()); }
    const_iterator cend() const { return const_iterator(groups_.cend(), groups_.cend()); }
    const_iterator constBegin() const { return cbegin(); }
    const_iterator constEnd() const { return cend(); }

    // Calls `differs(key)`, in key order, for every key whose value is not the same in
    // `a` and `b`; groups the two still share are passed over whole.
    template <class F>
    friend void forEachDifference(const GroupedMap& a, const GroupedMap& b, F&& differs)
    {
        forEachDifference(a.groups_, b.groups_,
                          [&](const G& group) { forEachDifference(a.groups_.value(group), b.groups_.value(group), differs); });
    }

private:
    // Every group held has at least one entry, so equal maps hold equal groups.
    Groups groups_;
};
