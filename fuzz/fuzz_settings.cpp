// SPDX-License-Identifier: GPL-3.0-or-later
// The flag is always a digit's value or 0.
#include "core/settingsfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const int flag = SettingsFile::parseFlag(bytes);
    if (flag < 0 || flag > 9)
        abort();
    return 0;
}
