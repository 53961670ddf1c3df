// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

// Notices when a window's close goes through.
class CloseWatcher : public QObject {
    Q_OBJECT
public:
    CloseWatcher(QWidget *form, std::function<void()> closed);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_closed;
};

// A window that exists once and is reached through its holder. Touching it
// creates it hidden (its constructor runs its load steps); closing it
// destroys it with every control state, and the next touch makes a new one.
// Hiding keeps it, and so do accept and reject unless the window closes.
template <typename T> class WindowHolder {
public:
    explicit WindowHolder(std::function<T *()> make) : m_make(std::move(make)) {}

    T *get() {
        if (!m_form) {
            T *form = m_make();
            m_form = form;
            new CloseWatcher(form, [this, form] {
                if (m_form == form)
                    m_form = nullptr;
                form->deleteLater();
            });
        }
        return m_form;
    }

    bool exists() const { return !m_form.isNull(); }
    T *existing() const { return m_form.data(); }

private:
    std::function<T *()> m_make;
    QPointer<T> m_form;
};
