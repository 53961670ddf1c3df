// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include "app/applicationsetup.h"
#include "app/backupcommand.h"
#include "app/transfercommand.h"

#include <QCoreApplication>

#include <cstring>
#include <vector>

namespace CommandLine {
namespace {

const std::vector<Command> &commands() {
    static const std::vector<Command> all = {
        {"--backup", "[FILE]", "把日记本备份到 FILE，或备份文件夹里（程序运行时也可以）",
         runBackupCommand},
        {"--export", "journal FILE.md|FILE.txt|FILE.html | contacts FILE.vcf [3.0]",
         "把日记导出为 Markdown、文本或网页，或把地址簿导出为 vCard（4.0，或 3.0）",
         TransferCommand::exportFiles},
        {"--import", "journal FILE-or-FOLDER | contacts FILE.vcf",
         "导入本程序导出的日记或按日期命名的日记文件夹，或导入 vCard 名片",
         TransferCommand::importFiles},
    };
    return all;
}

const Command *find(const char *option) {
    for (const Command &command : commands())
        if (std::strcmp(command.option, option) == 0)
            return &command;
    return nullptr;
}

bool isHelp(const char *word) {
    return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

} // namespace

QString helpText() {
    QString text = QStringLiteral("用法：quillary [Qt 选项]\n");
    for (const Command &command : commands())
        text += QStringLiteral("       quillary %1 %2\n")
                    .arg(QLatin1String(command.option), QLatin1String(command.arguments));
    text += QStringLiteral("\n");
    for (const Command &command : commands())
        text += QStringLiteral("  %1  %2\n")
                    .arg(QLatin1String(command.option), QString::fromUtf8(command.description));
    text += QStringLiteral("  --help  显示这段说明\n");
    return text;
}

int runIfAsked(int argc, char *argv[]) {
    if (argc < 2)
        return -1;
    const Command *command = find(argv[1]);
    if (!command && !isHelp(argv[1]))
        return -1;
    // No display is needed for any of this, so none is opened.
    QCoreApplication app(argc, argv);
    ApplicationSetup::setIdentity();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!command) {
        out << helpText();
        return 0;
    }
    const QStringList words = QCoreApplication::arguments().mid(2);
    const int status = command->run(words, err);
    err.flush();
    return status;
}

} // namespace CommandLine
