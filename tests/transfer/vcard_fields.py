# SPDX-License-Identifier: GPL-3.0-or-later
# Prints, as JSON, every card of a vCard file as python3-vobject reads it.
import base64
import json
import re
import sys

import vobject


def field(card, name):
    items = card.contents.get(name)
    return items[0].value if items else None


def photo(card, raw_photos):
    items = card.contents.get("photo")
    if not items:
        return None
    value = items[0].value
    if isinstance(value, str):
        # vobject reads 3.0 and cuts a 4.0 data: URI at its comma; the
        # unfolded line of the file holds the rest.
        return raw_photos.pop(0).split(",", 1)[1]
    return base64.b64encode(value).decode()


cards = []
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    text = f.read()
unfolded = re.sub(r"\r\n[ \t]", "", text)
raw_photos = [line[len("PHOTO:"):] for line in unfolded.split("\r\n") if line.startswith("PHOTO:")]
for card in vobject.readComponents(text, validate=True):
    c = {"version": card.version.value, "fn": card.fn.value, "n": card.n.value.family}
    for name in ("nickname", "email", "note", "x-qq", "x-icq"):
        c[name] = field(card, name)
    for tel in card.contents.get("tel", []):
        c["tel-" + ",".join(tel.params.get("TYPE", [])).lower()] = tel.value
    if "adr" in card.contents:
        adr = card.contents["adr"][0]
        c["adr-type"] = ",".join(adr.params.get("TYPE", [])).lower()
        c["street"], c["code"] = adr.value.street, adr.value.code
    c["photo"] = photo(card, raw_photos)
    cards.append(c)
print(json.dumps(cards, ensure_ascii=False))
