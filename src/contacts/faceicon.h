// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// A face for the selector, drawn only when it is first shown and at the
// size the screen needs.
QIcon faceIcon(int n);
