// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

// Row keys in stored order, kept as runs of consecutive values: rowids run
// unbroken between deletes, so a million keys take a few bytes rather than
// eight megabytes. A position is found by halving over the runs.
class KeyRuns {
    struct Run {
        qint64 first; // key of the run's first row
        size_t count;
        size_t start; // position of the run's first row
    };

public:
    KeyRuns() = default;
    explicit KeyRuns(const std::vector<qint64> &keys) {
        for (qint64 key : keys)
            push_back(key);
    }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    qint64 operator[](size_t at) const {
        const Run &run = m_runs[runAt(at)];
        return run.first + qint64(at - run.start);
    }
    qint64 back() const { return m_runs.back().first + qint64(m_runs.back().count - 1); }
    // The position of the first key not less than key, for keys in ascending order.
    size_t lowerBound(qint64 key) const {
        size_t low = 0, high = m_runs.size();
        while (low < high) { // the first run that ends past key
            const size_t mid = (low + high) / 2;
            const Run &run = m_runs[mid];
            if (key >= run.first && distance(run.first, key) >= run.count)
                low = mid + 1;
            else
                high = mid;
        }
        if (low == m_runs.size())
            return m_size;
        const Run &run = m_runs[low];
        return run.start + (key > run.first ? size_t(distance(run.first, key)) : 0);
    }
    bool operator==(const KeyRuns &other) const {
        if (m_size != other.m_size)
            return false;
        for (size_t i = 0; i < m_size; ++i)
            if ((*this)[i] != other[i])
                return false;
        return true;
    }

    void push_back(qint64 key) {
        if (!m_runs.empty() && back() != std::numeric_limits<qint64>::max() && key == back() + 1)
            ++m_runs.back().count;
        else
            m_runs.push_back({key, 1, m_size});
        ++m_size;
    }
    void erase(size_t at) {
        const size_t r = runAt(at);
        Run run = m_runs[r];
        const size_t offset = at - run.start;
        if (run.count == 1) {
            m_runs.erase(m_runs.begin() + qsizetype(r));
        } else if (offset == 0) {
            ++m_runs[r].first;
            --m_runs[r].count;
        } else if (offset == run.count - 1) {
            --m_runs[r].count;
        } else {
            m_runs[r].count = offset;
            m_runs.insert(m_runs.begin() + qsizetype(r) + 1,
                          {run.first + qint64(offset) + 1, run.count - offset - 1, at + 1});
        }
        for (size_t i = r; i < m_runs.size(); ++i)
            if (m_runs[i].start > at)
                --m_runs[i].start;
        --m_size;
    }

    // Collects unique keys as they come, in any order: keys that arrive in
    // order cost a run each, never a slot each.
    class Builder {
    public:
        void add(qint64 key) {
            if (m_unordered) {
                m_loose.push_back(key);
                return;
            }
            if (!m_runs.empty()) {
                Run &last = m_runs.back();
                if (key > last.first && distance(last.first, key) == last.count) {
                    ++last.count;
                    return;
                }
                if (key < last.first) { // sorting a plain list is the cheaper way on
                    m_unordered = true;
                    for (const Run &run : m_runs)
                        for (size_t i = 0; i < run.count; ++i)
                            m_loose.push_back(run.first + qint64(i));
                    m_runs = {};
                    m_loose.push_back(key);
                    return;
                }
            }
            m_runs.push_back({key, 1, 0});
        }
        KeyRuns finish() {
            if (m_unordered) {
                std::sort(m_loose.begin(), m_loose.end());
                return KeyRuns(m_loose);
            }
            KeyRuns keys;
            for (Run &run : m_runs) {
                run.start = keys.m_size;
                keys.m_size += run.count;
            }
            keys.m_runs = std::move(m_runs);
            return keys;
        }

    private:
        std::vector<Run> m_runs;
        bool m_unordered = false;
        std::vector<qint64> m_loose;
    };

private:
    // to - from for from <= to, without overflowing.
    static quint64 distance(qint64 from, qint64 to) { return quint64(to) - quint64(from); }
    size_t runAt(size_t at) const {
        size_t low = 0, high = m_runs.size();
        while (high - low > 1) {
            const size_t mid = (low + high) / 2;
            if (m_runs[mid].start <= at)
                low = mid;
            else
                high = mid;
        }
        return low;
    }

    std::vector<Run> m_runs;
    size_t m_size = 0;
};

// Row keys shared between a record set and the list that shows them: copied
// only when one side changes them while the other still holds them.
class KeyList {
public:
    using Keys = KeyRuns;

    KeyList() : m_keys(std::make_shared<Keys>()) {}
    explicit KeyList(Keys keys) : m_keys(std::make_shared<Keys>(std::move(keys))) {}

    size_t size() const { return m_keys->size(); }
    bool empty() const { return m_keys->empty(); }
    qint64 operator[](size_t at) const { return (*m_keys)[at]; }
    qint64 operator[](qsizetype at) const { return (*m_keys)[size_t(at)]; }
    qint64 back() const { return m_keys->back(); }
    size_t lowerBound(qint64 key) const { return m_keys->lowerBound(key); }

    void push_back(qint64 key) { own().push_back(key); }
    void erase(qsizetype at) { own().erase(size_t(at)); }
    void clear() { m_keys = std::make_shared<Keys>(); }

    // The keys as they are now; later changes here do not reach it.
    std::shared_ptr<const Keys> snapshot() const { return m_keys; }

private:
    Keys &own() {
        if (m_keys.use_count() > 1)
            m_keys = std::make_shared<Keys>(*m_keys);
        return *m_keys;
    }

    std::shared_ptr<Keys> m_keys;
};
