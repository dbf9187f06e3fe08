// Recovery of unsaved work after a crash, a killed process or a power cut:
// the project goes to a recovery file of this instance after every edit step,
// and the next start offers what an instance that did not end normally left.
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <set>

#include "base/FileIO.h"
#include "base/Messages.h"
#include "editor/Form1.h"
#include "platform/ProgressWindow.h"
#include "sif/SifFile.h"

using namespace SpriteProject;

namespace {

const char* const RecoverSuffix = ".recover";
const char* const LockSuffix = ".lock";

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The locks this process holds, one per window that keeps recovery files.
std::set<QString>& HeldLocks() {
    static std::set<QString> held;
    return held;
}

// A lock that only a running process keeps: one whose owner is gone is taken over
// at once, however long ago it was written.
std::unique_ptr<QLockFile> TakeLock(const QString& given) {
    const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    if (HeldLocks().count(path)) return nullptr; // another window of this process
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    // A lock naming this very process but held by none of its windows was left
    // by an earlier process under the same id (ids start over after a reboot,
    // and in containers): it would look alive for ever.
    qint64 pid = 0;
    QString host, app;
    if (lock->getLockInfo(&pid, &host, &app) && pid == QCoreApplication::applicationPid()) lock->removeStaleLockFile();
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

std::string When(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString("yyyy-MM-dd HH:mm:ss").toStdString();
}

std::string WhatWasRecovered(const RecoveryData& d) {
    if (!d.ProjectPath.empty()) return "the project " + d.ProjectPath;
    if (!d.SheetSource.empty()) return "the unsaved project on the sheet " + d.SheetSource;
    return "an unsaved project";
}

} // namespace

bool Form1::StartRecovery(const std::string& folder) {
    if (Recovery) return true;
    const QString dir = Q(folder);
    if (!QDir().mkpath(dir)) return false;
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    RecoveryLock = TakeLock(dir + "/" + id + LockSuffix);
    if (!RecoveryLock) return false;
    HeldLocks().insert(RecoveryLock->fileName());
    RecoveryFolder = folder;
    RecoveryPath = QDir::cleanPath(QFileInfo(dir + "/" + id + RecoverSuffix).absoluteFilePath()).toStdString();
    Recovery = std::make_unique<RecoveryWriter>(RecoveryPath);
    RecoveryTimer = new QTimer(this);
    RecoveryTimer->setObjectName("RecoveryTimer");
    RecoveryTimer->setSingleShot(true);
    connect(RecoveryTimer, &QTimer::timeout, this, &Form1::SyncRecovery);
    return true;
}

void Form1::StopRecovery() {
    if (!Recovery) return;
    // Unsaved work not yet handed over still goes to the file: an end without
    // the question (the session closing) must not lose it.
    if (RecoveryChanges != RecoveryHandled) SyncRecovery();
    Recovery.reset();
    HeldLocks().erase(RecoveryLock->fileName());
    RecoveryLock.reset();
}

void Form1::NoteProjectChanged() {
    if (!Recovery) return;
    ++RecoveryChanges;
    RecoveryChangedMs = QDateTime::currentMSecsSinceEpoch();
    if (RecoveryTimer->isActive()) return;
    // The first change after a quiet second is written at once, later ones once a second.
    const qint64 since = RecoveryClock.isValid() ? RecoveryClock.elapsed() : RecoveryIntervalMs;
    RecoveryTimer->start(static_cast<int>(std::max<qint64>(0, RecoveryIntervalMs - since)));
}

void Form1::SyncRecovery() {
    if (!Recovery || RecoveryChanges == RecoveryHandled) return;
    // The last write failed (a full disk, most likely): said once, not over a
    // question or chooser on screen, and tried again with every change.
    const std::string failed = Recovery->LastError();
    if (!failed.empty() && !RecoveryFailureTold && !QApplication::activeModalWidget()) {
        RecoveryFailureTold = true;
        MsgBox("Unsaved work cannot be kept for recovery after a crash:\n\n" + RecoveryPath + "\n\n" + failed +
                   "\n\nSave the project to keep it.",
               MsgButtons::OK, MsgIcon::Exclamation, "Whoops");
    }
    RecoveryHandled = RecoveryChanges;
    if (!Modified()) { // undone back to the saved state
        Recovery->Remove();
        return;
    }
    Recovery->Submit(RecoverySnapshot());
    RecoveryClock.start();
}

void Form1::DiscardRecovery() {
    if (!Recovery) return;
    RecoveryTimer->stop();
    RecoveryHandled = RecoveryChanges;
    Recovery->Remove();
}

std::shared_ptr<const RecoveryData> Form1::RecoverySnapshot() const {
    // Only copies here: the bytes are made and written on the writer's thread.
    auto d = std::make_shared<RecoveryData>();
    d->ChangedMs = RecoveryChangedMs;
    d->Listed = lstAction->count() == static_cast<int>(Actions.size()) ? -1 : lstAction->count();
    if (!Sheet.FileName().empty()) {
        d->Sheet = RecoverySheet::Image;
        d->SheetSource = Sheet.FileName();
    } else if (Sheet.Loaded() && !SheetSifPath.empty()) {
        d->Sheet = RecoverySheet::Sif;
        d->SheetSource = SheetSifPath;
    }
    d->ProjectPath = ProjectFile.empty() ? "" : WorkDir + ProjectFile;
    d->WorkDir = WorkDir;
    d->SheetFile = SheetFile;
    d->MaskColor = MaskColor;
    d->Actions = Actions;
    return d;
}

bool Form1::OfferRecovery() {
    if (!Recovery) return false;
    // The files of other instances, newest first.
    const QDir dir(Q(RecoveryFolder));
    QFileInfoList files = dir.entryInfoList({QString("*") + RecoverSuffix}, QDir::Files, QDir::Time);
    std::vector<std::string> setAside, reasons;
    for (const QFileInfo& file : files) {
        const std::string path = file.absoluteFilePath().toStdString();
        if (QFileInfo(Q(path)) == QFileInfo(Q(RecoveryPath))) continue;
        // A running instance holds its lock: its file is its own business.
        const QString base = file.absolutePath() + "/" + file.completeBaseName();
        std::unique_ptr<QLockFile> theirs = TakeLock(base + LockSuffix);
        if (!theirs) continue;
        std::vector<uint8_t> bytes;
        std::string error;
        RecoveryData data;
        if (!ReadWholeFile(path, bytes, error) || !ParseRecoveryBytes(bytes, data, error)) {
            // Kept for whoever wants to look at it, but never offered again.
            const std::string aside = path + ".damaged";
            std::rename(path.c_str(), aside.c_str());
            setAside.push_back(aside);
            reasons.push_back(error);
            continue;
        }
        if (!setAside.empty()) break; // told first; the good file waits for the message
        const std::string question = "Celwright did not close normally. Its recovery file holds unsaved changes to " +
                                     WhatWasRecovered(data) + ", last changed " + When(data.ChangedMs) +
                                     ".\n\nOpen the recovered project?";
        if (MsgBox(question, MsgButtons::YesNo, MsgIcon::Question, "Hold up!") != MsgAnswer::Yes) {
            std::remove(path.c_str());
            return false;
        }
        ShowRecovered(data);
        // The file is this instance's now; the next write replaces it.
        Recovery->Wait();
        std::rename(path.c_str(), RecoveryPath.c_str());
        return true;
    }
    if (!setAside.empty()) {
        std::string text = "A recovery file could not be read and was set aside:";
        for (size_t i = 0; i < setAside.size(); ++i) text += "\n\n" + setAside[i] + "\n" + reasons[i];
        MsgBox(text, MsgButtons::OK, MsgIcon::Exclamation, "Whoops");
        // A good file behind the damaged ones is offered after the message.
        return OfferRecovery();
    }
    return false;
}

void Form1::ShowRecovered(const RecoveryData& data) {
    ResetProject();
    WorkDir = data.WorkDir;
    SheetFile = data.SheetFile;
    ProjectFile.clear();
    if (!data.ProjectPath.empty()) {
        if (data.ProjectPath.compare(0, WorkDir.size(), WorkDir) == 0)
            ProjectFile = data.ProjectPath.substr(WorkDir.size());
        else
            SplitPath(data.ProjectPath, WorkDir, ProjectFile);
    }
    // The sheet from where it came; one that is gone was reported and the tree comes back without it.
    if (data.Sheet == RecoverySheet::Image) {
        cBitMap fresh;
        LoadSheetInto(fresh, data.SheetSource);
        Sheet = std::move(fresh);
    } else if (data.Sheet == RecoverySheet::Sif) {
        SifImage img;
        {
            const ProgressWindow progress(this, "Importing " + data.SheetSource + "...");
            img = ReadSIF(data.SheetSource, progress.Reporter());
        }
        if (img.Width > 0 && img.Height > 0) Sheet.FromRLE(img.Width, img.Height, img.Mode, MaskColor, img.Data);
        SheetSifPath = data.SheetSource;
    }
    MaskColor = data.MaskColor;
    Actions = data.Actions;
    EditHistory.MarkUnsaved();
    ShowRestoredState({-1, -1, data.Listed}, true);
    NoteProjectChanged();
}
