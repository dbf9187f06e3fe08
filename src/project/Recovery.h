#pragma once
// Recovery files: the unsaved project as the editor last held it, written
// beside the user's data so that a crash, a killed process or a power cut does
// not take the work since the last save with it.
//
// Layout (little-endian):
//   8   "CWRECOV1"
//   8   i64 time of the last change, milliseconds since 1970 (UTC)
//   4   i32 actions the action list showed (-1: all of them)
//   1   u8 where the sheet came from (RecoverySheet)
//   4 x (u16 n, n bytes)  project path, working folder, sheet file name, sheet source path
//   4   u32 n, then n bytes: the project exactly as a .sip file would hold it
//   4   u32 k, then k x (u16 n, n bytes): the names of every action and, after
//       each action, of its directions, in UTF-8 (the .sip keeps Windows-1252)
//   4   u32 CRC-32 of every byte before it
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "project/SpriteProject.h"

enum class RecoverySheet : uint8_t {
    None = 0,  // no picture (or one that only lived in memory)
    Image = 1, // loaded from the image file at SheetSource
    Sif = 2,   // imported from the SIF file at SheetSource
};

// What a recovery file holds: the project and the names the window had for it.
struct RecoveryData {
    int64_t ChangedMs = 0;
    int32_t Listed = -1;
    RecoverySheet Sheet = RecoverySheet::None;
    std::string ProjectPath; // WorkDir + ProjectFile, or "" for a project never saved
    std::string WorkDir;
    std::string SheetFile;
    std::string SheetSource;
    int32_t MaskColor = 0;
    std::vector<ActionData> Actions; // names in UTF-8, empty ones left empty
};

inline constexpr char RecoveryMagic[] = "CWRECOV1";

// The bytes of a recovery file; false (with a reason) when the project could
// not be stored in a .sip file either.
bool BuildRecoveryBytes(const RecoveryData& data, std::vector<uint8_t>& out, std::string& error);

// Reads recovery bytes, checking every length and count against what remains
// and the checksum before anything is believed. False (with a short reason,
// out untouched) for damaged bytes.
bool ParseRecoveryBytes(const std::vector<uint8_t>& bytes, RecoveryData& out, std::string& error);

// Writes one recovery file on a thread of its own, so that the editor only
// hands over a copy of its project. Only the newest submitted state is ever
// written; a removal drops whatever is still waiting.
class RecoveryWriter {
public:
    explicit RecoveryWriter(std::string path);
    ~RecoveryWriter(); // finishes the work in hand, then stops
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    const std::string& Path() const { return path_; }
    // Queues this state for writing (atomically: temporary file, then rename).
    void Submit(std::shared_ptr<const RecoveryData> data);
    // Queues the removal of the file.
    void Remove();
    // Waits until everything queued so far is done.
    void Wait();
    // States written so far, and the last write's failure ("" when it worked).
    uint64_t Written() const { return written_; }
    std::string LastError() const;

private:
    void Run();

    std::string path_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::shared_ptr<const RecoveryData> pending_;
    bool removePending_ = false;
    bool busy_ = false;
    bool stop_ = false;
    std::string error_;
    std::atomic<uint64_t> written_{0};
    std::thread thread_;
};
