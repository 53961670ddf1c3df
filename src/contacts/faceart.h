// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The 85 avatar faces, drawn by the program itself so the pictures in the
// face folder and those in the selector are the same.
namespace FaceArt {
constexpr int Count = 85;
constexpr int Size = 32;
// The colour that stands for transparency in the bitmaps.
constexpr QRgb Transparent = 0xffc0c0c0;

// Face n (1..85) as a 32 x 32 picture on the transparent colour.
QImage face(int n, int scale = 1);
// The picture with its transparent colour made see-through.
QImage seeThrough(const QImage &picture);
} // namespace FaceArt
