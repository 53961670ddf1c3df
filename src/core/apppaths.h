// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Every file the program ships lives at a fixed place: beside the binary in a
// build folder, below <prefix>/share/quillary when installed. What the user
// writes lives in their own folders.
namespace AppPaths {

// The program's own folder, without a trailing separator.
QString appDir();

// start.ini: the user's copy in their configuration folder, read first and
// always the one written; the application folder's copy is the shipped
// default. userStartIni() is empty when there is no configuration folder.
QString userStartIni();
QString shippedStartIni();
// The copy to read: the user's if it exists, else the shipped one.
QString startIniToRead();
// Puts the shipped default somewhere else for this process (tests keep their
// own); empty restores the one in the application folder.
void setShippedStartIni(const QString &path);
QString helpPage();
QString song(int number);              // 1..10
QString face(const QString &faceName); // "2.bmp"
// The face file a stored face name stands for, only if it is a plain file
// name inside the face folder that exists; empty for anything else.
QString faceFile(const QString &faceName);
// A chapter file: the user's own (their data folder's story/<folder>/<n>)
// where it exists, else the one shipped in the application folder.
QString chapter(const QString &folder, int number);
QString shippedChapter(const QString &folder, int number);
// Where the user's chapters of a novel go; nothing is created.
QString userChapterFolder(const QString &folder);

// The per-user data folder; created when missing. Empty if it cannot be made.
QString dataDir();
// The same folder, only named; empty where the system has none.
QString userDataDir();
QString databasePath();

} // namespace AppPaths
