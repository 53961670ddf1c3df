// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes read as cards: no crash, no hang, and every contact read writes
// out as one card of short lines that reads back as one contact.
#include "core/vcard.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const VCard::Reading reading = VCard::read(bytes);
    if (!reading.isVCard && (!reading.contacts.empty() || reading.badCards))
        abort();
    for (const Contact &contact : reading.contacts) {
        const QByteArray card = VCard::write(contact, VCard::Version::V40);
        for (const QByteArray &line : card.split('\n'))
            if (line.size() > 76)
                abort();
        const VCard::Reading again = VCard::read(card);
        if (again.contacts.size() != 1 || again.badCards != 0)
            abort();
    }
    return 0;
}
