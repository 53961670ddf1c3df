// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backupcommand.h"

#include "core/apppaths.h"
#include "core/snapshots.h"

#include <QDir>
#include <QFileInfo>

int runBackupCommand(const QStringList &arguments, QTextStream &err) {
    if (arguments.size() > 1) {
        err << "用法：quillary --backup [文件]\n";
        return 2;
    }
    const QString notebook = AppPaths::databasePath();
    if (notebook.isEmpty() || !QFileInfo(notebook).isFile()) {
        err << "没有可以备份的日记本：" << QDir::toNativeSeparators(notebook) << '\n';
        return 1;
    }
    Snapshots::Outcome out;
    if (arguments.isEmpty()) {
        out = Snapshots::backUp(notebook, Snapshots::folderFor(notebook));
    } else {
        const QFileInfo target(arguments.first());
        if (target.isDir())
            out = Snapshots::take(notebook, target.absoluteFilePath());
        else if (target.exists() &&
                 target.canonicalFilePath() == QFileInfo(notebook).canonicalFilePath())
            out.result = Result::failure(Result::Code::Failed,
                                         QStringLiteral("不能把备份写到日记本自己身上"));
        else
            out = Snapshots::write(notebook, target.absoluteFilePath());
    }
    if (!out.result) {
        err << out.result.message().simplified() << '\n';
        return 1;
    }
    QTextStream(stdout) << QDir::toNativeSeparators(out.path) << '\n';
    return 0;
}
