#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

// A window that exists once and is reached through its holder. Touching it
// creates it hidden (its constructor runs its load steps); closing it
// destroys it with every control state, and the next touch makes a new one.
// Hiding keeps it.
template <typename T> class FormHolder {
public:
    explicit FormHolder(std::function<T *()> make) : m_make(std::move(make)) {}

    T *get() {
        if (!exists()) {
            m_form = m_make();
            m_form->setAttribute(Qt::WA_DeleteOnClose);
        }
        return m_form;
    }

    // Qt clears WA_DeleteOnClose when a close goes through and only deletes
    // the window later; such a window already counts as gone.
    bool exists() const { return m_form && m_form->testAttribute(Qt::WA_DeleteOnClose); }

    T *existing() const { return exists() ? m_form.data() : nullptr; }

private:
    std::function<T *()> m_make;
    QPointer<T> m_form;
};
