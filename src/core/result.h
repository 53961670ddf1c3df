// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>
#include <QString>

// Failures worth a line in the log, all off unless asked for:
// QT_LOGGING_RULES="quillary.*=true".
Q_DECLARE_LOGGING_CATEGORY(lcStore)    // quillary.store: the database file
Q_DECLARE_LOGGING_CATEGORY(lcSkipped)  // quillary.skipped: failures the program passes over
Q_DECLARE_LOGGING_CATEGORY(lcSettings) // quillary.settings: start.ini

// The outcome of a write: success, or a code and a reason a person can read.
class [[nodiscard]] Result {
public:
    enum class Code {
        Ok,
        NoRow,       // no current row to act on, or not a new one
        NoField,     // a field the table does not have
        ReadOnly,    // the store may not be written
        Unavailable, // no store: closed, or a file that is not ours to touch
        Failed,      // the database or the file system refused
        Busy,        // another program held the store longer than a write waits
    };

    Result() = default;
    static Result failure(Code code, QString message) { return Result(code, std::move(message)); }

    bool isOk() const { return m_code == Code::Ok; }
    explicit operator bool() const { return isOk(); }
    Code code() const { return m_code; }
    QString message() const { return m_message; }

private:
    Result(Code code, QString message) : m_code(code), m_message(std::move(message)) {}

    Code m_code = Code::Ok;
    QString m_message;
};

// Where the program deliberately goes on after a failure (as a step the user
// did not ask to be told about), it says so here: the failure is logged under
// quillary.skipped with what was being done.
void skipFailure(const Result &result, const char *doing);
void skipFailure(bool ok, const char *doing);
