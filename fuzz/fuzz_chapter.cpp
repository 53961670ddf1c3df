// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes decode to text without crashing or hanging.
#include "core/chapterfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)ChapterFile::decode(bytes);
    return 0;
}
