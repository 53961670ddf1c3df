// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The journal's day key: yyyymmdd, e.g. 7 December 2002 is "20021207".
QString dayKey(int year, int month, int day);
