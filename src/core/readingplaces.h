// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"

#include <QHash>
#include <QString>
#include <optional>

// Where the reader stopped in each novel, kept in a small file of the user's
// own so a novel opens again at the chapter and line last seen.
class ReadingPlaces {
public:
    struct Place {
        int chapter = 0;      // the chapter list's line, from 1
        qsizetype offset = 0; // the first visible character in the chapter's text
        bool own = false;     // read from the user's own chapter folder
        friend bool operator==(const Place &, const Place &) = default;
    };

    // Reads the file; one that is missing, damaged or cut short gives no places.
    explicit ReadingPlaces(QString path);

    // The file beside the user's store; empty where there is no data folder.
    static QString defaultPath();

    std::optional<Place> place(const QString &folder) const;
    // Remembers a place; save() writes it.
    void keep(const QString &folder, const Place &place);
    // Replaces the file whole, so a kill mid-write leaves the last good one;
    // writes nothing when it holds these places already.
    Result save();
    bool hasUnsaved() const { return m_unsaved; }

private:
    QString m_path;
    QHash<QString, Place> m_places;
    bool m_unsaved = false;
};
