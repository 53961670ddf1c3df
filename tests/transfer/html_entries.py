# SPDX-License-Identifier: GPL-3.0-or-later
# Parses an exported journal page strictly with html5lib (any parse error
# fails) and prints, as JSON, its days, entry texts, contents links and ids.
import json
import sys

import html5lib

with open(sys.argv[1], "rb") as f:
    doc = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False).parse(f)
days = []
for article in doc.iter("article"):
    time = article.find("h4/time")
    days.append({
        "day": time.get("datetime") if time is not None else "".join(article.find("h4").itertext()),
        "caption": "".join(article.find("h4").itertext()),
        "texts": ["".join(div.itertext()) for div in article.findall("div[@class='entry']")],
    })
nav = doc.find(".//nav")
print(json.dumps({
    "title": doc.find(".//title").text,
    "style": doc.find(".//style").text,
    "days": days,
    "contents": [a.get("href") for a in nav.iter("a")],
    "ids": [e.get("id") for e in doc.iter() if e.get("id")],
}, ensure_ascii=False))
