// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// quillary.music: why the music is silent, step by step. Off unless asked
// for, like the categories in core/result.h.
Q_DECLARE_LOGGING_CATEGORY(lcMusic)
