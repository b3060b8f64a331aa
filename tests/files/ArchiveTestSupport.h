// Helpers of the archive tests: real files in temporary folders, and the independent tools
// (Info-ZIP, 7z, Python's zipfile through ziptool.py) run with a watchdog.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "core/Text.h"

namespace testing {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool finished = false;
};

inline Run run(const QString& program, const QStringList& args, int watchdogMs = 60000) {
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000)) return r;
    p.closeWriteChannel();
    r.finished = p.waitForFinished(watchdogMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

inline QString zipTool() { return QStringLiteral(EXAM_SOURCE_DIR "/tests/files/ziptool.py"); }

inline Run python(const QStringList& args) {
    return run(QStringLiteral("python3"), QStringList{zipTool()} + args);
}

// zipfile's view of an archive: {"testzip", "entries": [...]} (see ziptool.py).
inline QJsonObject inspect(const QString& archive) {
    Run r = python({"inspect", archive});
    return QJsonDocument::fromJson(r.out).object();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Relative path -> contents ("/" at the end for folders), of everything below root.
inline QMap<QString, QByteArray> tree(const QString& root) {
    QMap<QString, QByteArray> all;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString path = it.next();
        QString rel = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) all[rel + "/"] = QByteArray();
        else all[rel] = readFile(path);
    }
    return all;
}

// A path as the system passes it: GBK text.
inline exam::Text gbk(const QString& path) { return exam::Text::fromUtf8(path.toStdString()); }

}  // namespace testing
