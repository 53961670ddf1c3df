// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/result.h"

Q_LOGGING_CATEGORY(lcStore, "quillary.store", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSkipped, "quillary.skipped", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "quillary.settings", QtWarningMsg)

void skipFailure(const Result &result, const char *doing) {
    if (!result.isOk())
        qCInfo(lcSkipped).noquote() << doing << "failed:" << result.message();
}

void skipFailure(bool ok, const char *doing) {
    if (!ok)
        qCInfo(lcSkipped).noquote() << doing << "failed";
}
