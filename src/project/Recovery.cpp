// Recovery files: their bytes, their reader and the thread that writes them.
#include "project/Recovery.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <zlib.h>

#include "base/ByteIO.h"
#include "base/FileIO.h"

namespace {

constexpr size_t MagicBytes = 8;
constexpr size_t MaxText = 65535; // every text has a 16-bit length
constexpr size_t CrcBytes = 4;

uint32_t Crc(const uint8_t* data, size_t n) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes its lengths as uInt: feed it in pieces that fit.
    while (n > 0) {
        const uInt piece = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
        crc = crc32(crc, data, piece);
        data += piece;
        n -= piece;
    }
    return static_cast<uint32_t>(crc);
}

bool PutText(ByteWriter& w, const std::string& text, const char* what, std::string& error) {
    if (text.size() > MaxText) {
        error = std::string("The ") + what + " is longer than 65,535 bytes";
        return false;
    }
    w.U16(static_cast<uint16_t>(text.size()));
    w.Bytes(text);
    return true;
}

bool GetText(ByteReader& r, std::string& text, const char* what, std::string& error) {
    uint16_t n = 0;
    if (!r.U16(n) || !r.String(text, n)) {
        error = std::string("The file ends inside the ") + what;
        return false;
    }
    return true;
}

// The names in the order the file keeps them: each action, then its directions.
template <class F>
void EachName(std::vector<ActionData>& actions, F&& f) {
    for (ActionData& a : actions) {
        f(a.Name);
        for (DirectionData& d : a.Directions) f(d.Name);
    }
}

} // namespace

bool BuildRecoveryBytes(const RecoveryData& data, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    std::vector<uint8_t> sip;
    if (!BuildProjectBytes(data.MaskColor, data.WorkDir + data.SheetFile, data.Actions, sip, error)) return false;
    if (sip.size() > UINT32_MAX) {
        error = "The project is too large";
        return false;
    }
    // Only the entries the .sip stored (up to each bound) are named, so the
    // count matches the tree the reader gets back (the .sip build checked the bounds).
    auto stored = [](const ActionData& a) { return static_cast<size_t>(a.DirUBound) + 1; };
    size_t names = 0, nameBytes = 0;
    for (const ActionData& a : data.Actions) {
        names += 1 + stored(a);
        nameBytes += a.Name.size();
        for (size_t j = 0; j < stored(a); ++j) nameBytes += a.Directions[j].Name.size();
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(64 + data.ProjectPath.size() + data.WorkDir.size() + data.SheetFile.size() +
                  data.SheetSource.size() + sip.size() + 2 * names + nameBytes);
    ByteWriter w(bytes);
    w.Bytes(RecoveryMagic, MagicBytes);
    w.U32(static_cast<uint32_t>(static_cast<uint64_t>(data.ChangedMs)));
    w.U32(static_cast<uint32_t>(static_cast<uint64_t>(data.ChangedMs) >> 32));
    w.I32(data.Listed);
    w.U8(static_cast<uint8_t>(data.Sheet));
    if (!PutText(w, data.ProjectPath, "project path", error) || !PutText(w, data.WorkDir, "working folder", error) ||
        !PutText(w, data.SheetFile, "sheet name", error) || !PutText(w, data.SheetSource, "sheet path", error))
        return false;
    w.U32(static_cast<uint32_t>(sip.size()));
    w.Bytes(sip.data(), sip.size());
    w.U32(static_cast<uint32_t>(names));
    for (const ActionData& a : data.Actions) {
        if (!PutText(w, a.Name, "name of an action", error)) return false;
        for (size_t j = 0; j < stored(a); ++j)
            if (!PutText(w, a.Directions[j].Name, "name of a direction", error)) return false;
    }
    w.U32(Crc(bytes.data(), bytes.size()));
    out.swap(bytes);
    return true;
}

bool ParseRecoveryBytes(const std::vector<uint8_t>& bytes, RecoveryData& out, std::string& error) {
    if (bytes.size() < MagicBytes + CrcBytes || std::memcmp(bytes.data(), RecoveryMagic, MagicBytes) != 0) {
        error = "This is not a recovery file";
        return false;
    }
    const size_t body = bytes.size() - CrcBytes;
    ByteReader tail(bytes.data() + body, CrcBytes);
    uint32_t stored = 0;
    tail.U32(stored);
    if (Crc(bytes.data(), body) != stored) {
        error = "The checksum does not match: the file is damaged";
        return false;
    }

    ByteReader r(bytes.data() + MagicBytes, body - MagicBytes);
    RecoveryData d;
    uint32_t low = 0, high = 0;
    uint8_t sheet = 0;
    if (!r.U32(low) || !r.U32(high) || !r.I32(d.Listed) || !r.U8(sheet)) {
        error = "The file ends inside its header";
        return false;
    }
    d.ChangedMs = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
    if (sheet > static_cast<uint8_t>(RecoverySheet::Sif)) {
        error = "Unknown kind of sheet";
        return false;
    }
    d.Sheet = static_cast<RecoverySheet>(sheet);
    if (!GetText(r, d.ProjectPath, "project path", error) || !GetText(r, d.WorkDir, "working folder", error) ||
        !GetText(r, d.SheetFile, "sheet name", error) || !GetText(r, d.SheetSource, "sheet path", error))
        return false;

    uint32_t sipBytes = 0;
    if (!r.U32(sipBytes) || sipBytes > r.Remaining()) {
        error = "The file ends inside the project";
        return false;
    }
    const std::vector<uint8_t> sip(r.Current(), r.Current() + sipBytes);
    r.Skip(sipBytes);
    ProjectFileContents project;
    if (!ParseProjectBytes(sip, project, error)) return false;

    uint32_t names = 0;
    if (!r.U32(names)) {
        error = "The file ends before the names";
        return false;
    }
    size_t expected = 0;
    for (const ActionData& a : project.Actions) expected += 1 + a.Directions.size();
    if (names != expected) {
        error = "The names do not match the project";
        return false;
    }
    bool ok = true;
    EachName(project.Actions, [&](std::string& name) { ok = ok && GetText(r, name, "names", error); });
    if (!ok) return false;
    if (!r.AtEnd()) {
        error = "Unexpected bytes after the names";
        return false;
    }
    d.MaskColor = project.MaskColor;
    d.Actions = std::move(project.Actions);
    out = std::move(d);
    return true;
}

RecoveryWriter::RecoveryWriter(std::string path) : path_(std::move(path)), thread_([this] { Run(); }) {}

RecoveryWriter::~RecoveryWriter() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RecoveryWriter::Submit(std::shared_ptr<const RecoveryData> data) {
    {
        const std::lock_guard lock(mutex_);
        pending_ = std::move(data);
        removePending_ = false;
    }
    wake_.notify_all();
}

void RecoveryWriter::Remove() {
    {
        const std::lock_guard lock(mutex_);
        pending_.reset();
        removePending_ = true;
    }
    wake_.notify_all();
}

void RecoveryWriter::Wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_ && !pending_ && !removePending_; });
}

std::string RecoveryWriter::LastError() const {
    const std::lock_guard lock(mutex_);
    return error_;
}

void RecoveryWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_ || removePending_; });
        // What is queued is still done when stopping: a normal exit removes the file.
        if (!pending_ && !removePending_) return;
        std::shared_ptr<const RecoveryData> data = std::move(pending_);
        pending_.reset();
        const bool remove = removePending_;
        removePending_ = false;
        busy_ = true;
        lock.unlock();

        std::string error;
        if (remove) {
            if (std::remove(path_.c_str()) != 0 && errno != ENOENT) error = std::strerror(errno);
        } else {
            std::vector<uint8_t> bytes;
            if (BuildRecoveryBytes(*data, bytes, error)) WriteFileAtomic(path_, bytes.data(), bytes.size(), error);
        }

        lock.lock();
        busy_ = false;
        error_ = error;
        if (!remove && error.empty()) ++written_;
        idle_.notify_all();
    }
}
