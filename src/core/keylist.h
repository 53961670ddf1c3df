#pragma once

#include <QtGlobal>
#include <memory>
#include <vector>

// Row keys in stored order, shared between a record set and the list that
// shows them: a million keys are copied only when one side changes them
// while the other still holds them.
class KeyList {
public:
    using Keys = std::vector<qint64>;

    KeyList() : m_keys(std::make_shared<Keys>()) {}
    explicit KeyList(Keys keys) : m_keys(std::make_shared<Keys>(std::move(keys))) {}

    size_t size() const { return m_keys->size(); }
    bool empty() const { return m_keys->empty(); }
    qint64 operator[](size_t at) const { return (*m_keys)[at]; }
    qint64 operator[](qsizetype at) const { return (*m_keys)[size_t(at)]; }
    qint64 back() const { return m_keys->back(); }
    Keys::const_iterator begin() const { return m_keys->cbegin(); }
    Keys::const_iterator end() const { return m_keys->cend(); }

    void push_back(qint64 key) { own().push_back(key); }
    void erase(qsizetype at) { own().erase(m_keys->begin() + at); }
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
