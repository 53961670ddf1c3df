// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QTextStream>

// --export and --import: the journal and the address book to and from
// files, without a window, beside a program already open on the notebook.
namespace TransferCommand {

// journal FILE.md|FILE.txt|FILE.html, or contacts FILE.vcf [3.0]
int exportFiles(const QStringList &arguments, QTextStream &err);
// journal FILE-or-FOLDER, or contacts FILE.vcf
int importFiles(const QStringList &arguments, QTextStream &err);

} // namespace TransferCommand
