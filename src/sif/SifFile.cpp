#include "sif/SifFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <new>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "base/Messages.h"
#include "sif/Huffman.h"

namespace {

// Smallest byte counts the tree can take: every action holds at least one
// direction, every direction at least one frame.
constexpr size_t MinDirectionBytes = 2 + FrameBytes;
constexpr size_t MinActionBytes = 2 + MinDirectionBytes;

// Bytes of the image section before its stream: U, mask colour, width, height, mode.
constexpr size_t ImageHeaderBytes = 4 + 4 + 4 + 4 + 1;

// The largest file the format can describe: header, a coded structure block and
// an image stream whose lengths are both i32, plus the image section's header.
constexpr int64_t MaxSifFileBytes = 8 + 4 + (int64_t{1} << 31) + ImageHeaderBytes + (int64_t{1} << 31);

uint8_t Component(int32_t color, int shift) { return static_cast<uint8_t>((static_cast<uint32_t>(color) >> shift) & 0xFF); }

// The header, structure section and image section header; the stream follows them.
std::vector<uint8_t> BuildHead(const std::vector<ActionData>& actions, int32_t maskColor, uint8_t mode,
                               bool compressStructure, bool compressImage, int32_t width, int32_t height,
                               size_t streamBytes) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.U8(SifMagic0);
    w.U8(SifMagic1);
    w.U8(SifVersion);
    w.U8(static_cast<uint8_t>((compressStructure ? SifFlagStructureCoded : 0) | (compressImage ? SifFlagImageCoded : 0)));
    w.I32(0); // image position, patched below

    std::vector<uint8_t> block = BuildStructureBlock(actions);
    if (compressStructure) {
        Huffman::Encode(block);
        w.I32(static_cast<int32_t>(block.size()) - 1);
    }
    w.Bytes(block.data(), block.size());
    w.PatchI32(4, static_cast<int32_t>(w.Size() + 1)); // 1-based position

    w.I32(static_cast<int32_t>(static_cast<int64_t>(streamBytes) - 1));
    w.I32(SifStoredMaskColor(mode, maskColor));
    w.I32(width);
    w.I32(height);
    w.U8(mode);
    return out;
}

// Head and stream of a file from the sheet's image stream, which is coded in
// place; the writer sends them out without joining them. False when stopped.
bool BuildParts(const std::vector<ActionData>& actions, int32_t width, int32_t height, int32_t maskColor,
                uint8_t mode, bool compressStructure, bool compressImage, std::vector<uint8_t>& head,
                std::vector<uint8_t>& stream, const Progress& progress = {}) {
    if (!progress.Report(0)) return false;
    if (compressImage) Huffman::Encode(stream);
    if (!progress.Report(1)) return false;
    // Lengths are stored as i32 (length - 1).
    if (stream.size() > static_cast<size_t>(INT32_MAX)) throw std::length_error("image stream too long");
    head = BuildHead(actions, maskColor, mode, compressStructure, compressImage, width, height, stream.size());
    return true;
}

// Rows per slice between two reports: a few megabytes of pixels.
int32_t SliceRows(size_t stride, int32_t rows) {
    constexpr size_t SliceBytes = size_t{4} << 20;
    return static_cast<int32_t>(std::clamp<size_t>(SliceBytes / std::max<size_t>(stride, 1), 1,
                                                   static_cast<size_t>(std::max(rows, 1))));
}

// The stream sheet.ToRLE(mode) gives, coded a slice of rows at a time so that
// the work can be followed and stopped. False when stopped.
bool StreamOfSheet(const cBitMap& sheet, uint8_t mode, std::vector<uint8_t>& out, const Progress& progress) {
    out.clear();
    if (sheet.Loaded() && !sheet.Pixels().empty()) {
        const int32_t rows = sheet.Height();
        const size_t stride = static_cast<size_t>(sheet.Stride());
        const int32_t slice = SliceRows(stride, rows);
        ImageStreamEncoder encoder(mode, sheet.Width(), rows);
        for (int32_t done = 0; done < rows; done += slice) {
            if (!progress.Report(static_cast<double>(done) / rows)) return false;
            encoder.AddRows(sheet.Pixels().data() + static_cast<size_t>(done) * stride, std::min(slice, rows - done),
                            static_cast<ptrdiff_t>(stride));
        }
        out = encoder.Finish();
        if (out.capacity() / 4 > out.size()) out.shrink_to_fit(); // as ToRLE keeps it
    }
    return progress.Report(1);
}

void ReportTooLarge(const std::string& fileName) {
    // Only a sheet whose stream outgrows the format's 32-bit lengths (or memory) gets here.
    MsgBox("The sheet is too large to be stored in a SIF file:\n\n" + fileName, MsgButtons::OK, MsgIcon::Critical,
           "Whoops");
}

void ReportInvalidMode() {
    MsgBox("Invalid bit depth mode specified.", MsgButtons::OK, MsgIcon::Critical, "Whoopsy!");
}

// The target is replaced only once the new file is complete, and not at all
// when stopped: the temporary file goes with the AtomicFile.
bool WriteParts(const std::string& fileName, const std::vector<uint8_t>& head, const std::vector<uint8_t>& stream,
                const Progress& progress) {
    AtomicFile file(fileName);
    auto failed = [&](const std::string& error) {
        file.Discard();
        MsgBox("Could not write the file:\n\n" + fileName + "\n\n" + error, MsgButtons::OK, MsgIcon::Critical,
               "Whoops");
        return false;
    };
    std::string error;
    if (!progress.Report(0)) return false;
    if (!file.Open(error)) return failed(error);
    if (!file.Write(head.data(), head.size())) return failed(std::strerror(errno ? errno : EIO));
    constexpr size_t Slice = size_t{8} << 20;
    for (size_t at = 0; at < stream.size(); at += Slice) {
        if (at != 0 && !progress.Report(static_cast<double>(at) / static_cast<double>(stream.size()))) return false;
        if (!file.Write(stream.data() + at, std::min(Slice, stream.size() - at))) return failed(std::strerror(errno ? errno : EIO));
    }
    // The last report comes before the rename, so a stop there too leaves the target alone.
    if (!progress.Report(1)) return false;
    if (!file.Commit(error)) return failed(error);
    return true;
}

bool Fail(std::string& detail, const char* why) {
    detail = why;
    return false;
}

// Reads a structure block. Counts are checked against what remains before the
// tree grows, so a damaged count can neither allocate much nor read past the end.
bool ParseStructure(ByteReader& r, std::vector<ActionData>& actions, std::string& detail) {
    int16_t actionBound = 0;
    if (!r.I16(actionBound)) return Fail(detail, "the structure ends before the action count");
    if (actionBound < 0) return Fail(detail, "negative action count");
    const size_t actionCount = static_cast<size_t>(actionBound) + 1;
    if (actionCount * MinActionBytes > r.Remaining()) return Fail(detail, "more actions than the file holds");
    actions.assign(actionCount, ActionData{});
    for (ActionData& a : actions) {
        if (!r.I16(a.DirUBound)) return Fail(detail, "the structure ends inside an action");
        if (a.DirUBound < 0) return Fail(detail, "negative direction count");
        const size_t dirCount = static_cast<size_t>(a.DirUBound) + 1;
        if (dirCount * MinDirectionBytes > r.Remaining()) return Fail(detail, "more directions than the file holds");
        a.Directions.assign(dirCount, DirectionData{});
        for (DirectionData& d : a.Directions) {
            if (!r.I16(d.FrameUBound)) return Fail(detail, "the structure ends inside a direction");
            if (d.FrameUBound < 0) return Fail(detail, "negative frame count");
            const size_t frameCount = static_cast<size_t>(d.FrameUBound) + 1;
            if (frameCount * FrameBytes > r.Remaining()) return Fail(detail, "more frames than the file holds");
            d.Frames.assign(frameCount, FrameData{});
            for (FrameData& f : d.Frames)
                if (!GetFrame(r, f)) return Fail(detail, "the structure ends inside a frame");
        }
    }
    return true;
}

// Runs the decoder over a coded section, turning its complaints into a status.
SifParseStatus DecodeSection(std::vector<uint8_t>& buffer, std::string& detail) {
    try {
        Huffman::Decode(buffer);
    } catch (const Huffman::HuffmanError& e) {
        detail = e.what();
        return SifParseStatus::DecodeFailed;
    } catch (const std::bad_alloc&) {
        detail = "a coded section claims more bytes than can be held";
        return SifParseStatus::Damaged;
    } catch (const std::exception& e) {
        detail = e.what();
        return SifParseStatus::Damaged;
    }
    return SifParseStatus::Ok;
}

// Pixels an image stream paints, counted the way the decoder walks it (a cut-short
// last record paints nothing).
uint64_t PixelsCovered(uint8_t mode, const std::vector<uint8_t>& stream) {
    if (mode == 1) return static_cast<uint64_t>(stream.size()) * 8;
    const size_t unit = mode == 2 ? 2 : mode == 4 ? 3 : 4;
    uint64_t pixels = 0;
    for (size_t p = 0; p + unit <= stream.size(); p += unit) pixels += stream[p];
    return pixels;
}

SifParseStatus Damaged(std::string& detail, const char* why) {
    detail = why;
    return SifParseStatus::Damaged;
}

SifParseStatus Parse(const std::vector<uint8_t>& Bytes, SifContents& Out, std::string& Detail,
                     const Progress& progress);

} // namespace

bool IsSifMode(uint8_t Mode) { return Mode == 1 || Mode == 2 || Mode == 4 || Mode == 5; }

const char* SifModeName(uint8_t Mode) {
    switch (Mode) {
    case 1: return "Black & White";
    case 2: return "Greyscale";
    case 4: return "16-bit color";
    case 5: return "24-bit color";
    default: return "unknown";
    }
}

int32_t SifStoredMaskColor(uint8_t Mode, int32_t MaskColor) {
    switch (Mode) {
    case 4: {
        // The colour a masked pixel has after the 16-bit round trip, so the
        // decoded sheet still finds its transparent pixels.
        auto full = [](uint32_t c) { return c >= 248 ? 255u : c; };
        const uint32_t r = full(Component(MaskColor, 0) & 0xF8u);
        const uint32_t g = full(Component(MaskColor, 8) & 0xFCu);
        const uint32_t b = full(Component(MaskColor, 16) & 0xF8u);
        return static_cast<int32_t>(r + 256 * g + 65536 * b);
    }
    case 5: return MaskColor;
    default: return 0;
    }
}

std::vector<uint8_t> BuildStructureBlock(const std::vector<ActionData>& Actions) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.I16(static_cast<int16_t>(static_cast<int>(Actions.size()) - 1));
    const FrameData blankFrame{};
    for (const ActionData& a : Actions) {
        w.I16(a.DirUBound);
        // The stored bound is what a reader trusts; a list shorter than its
        // bound would otherwise make the file unreadable, so blanks fill in.
        for (int j = 0; j <= a.DirUBound; ++j) {
            const DirectionData* d = static_cast<size_t>(j) < a.Directions.size() ? &a.Directions[j] : nullptr;
            const int16_t frameBound = d ? d->FrameUBound : int16_t{0};
            w.I16(frameBound);
            for (int k = 0; k <= frameBound; ++k) {
                const bool have = d && static_cast<size_t>(k) < d->Frames.size();
                PutFrame(w, have ? d->Frames[k] : blankFrame);
            }
        }
    }
    return out;
}

std::vector<uint8_t> BuildSifBytes(const std::vector<ActionData>& Actions, const cBitMap& Sheet, int32_t MaskColor,
                                   uint8_t Mode, bool CompressStructure, bool CompressImage) {
    std::vector<uint8_t> head, stream = Sheet.ToRLE(Mode);
    BuildParts(Actions, Sheet.Width(), Sheet.Height(), MaskColor, Mode, CompressStructure, CompressImage, head,
               stream);
    head.insert(head.end(), stream.begin(), stream.end());
    return head;
}

SifParseStatus ParseSifBytes(const std::vector<uint8_t>& Bytes, SifContents& Out, std::string& Detail) {
    return Parse(Bytes, Out, Detail, {});
}

namespace {

// ParseSifBytes, reporting around the decoding of the image stream (the long
// part). A stopped parse is refused; the caller tells it by progress.Cancelled().
SifParseStatus Parse(const std::vector<uint8_t>& Bytes, SifContents& Out, std::string& Detail,
                     const Progress& progress) {
    Out = SifContents{};
    Detail.clear();
    ByteReader r(Bytes);
    uint8_t m0 = 0, m1 = 0;
    if (!r.U8(m0) || !r.U8(m1) || m0 != SifMagic0 || m1 != SifMagic1) {
        Detail = "no SIF signature";
        return SifParseStatus::NotRecognised;
    }
    // The version byte is not checked, and flag bits other than 0 and 1 are
    // ignored, so files of later writers still open as far as they agree.
    if (!r.U8(Out.Version) || !r.U8(Out.Flags) || !r.I32(Out.ImagePosition))
        return Damaged(Detail, "the header is incomplete");

    if (Out.Flags & SifFlagStructureCoded) {
        int32_t codedBound = 0;
        if (!r.I32(codedBound)) return Damaged(Detail, "the coded structure length is missing");
        if (codedBound < 0 || static_cast<uint64_t>(codedBound) + 1 > r.Remaining())
            return Damaged(Detail, "the coded structure runs past the end of the file");
        std::vector<uint8_t> block(r.Current(), r.Current() + static_cast<size_t>(codedBound) + 1);
        r.Skip(block.size());
        SifParseStatus s = DecodeSection(block, Detail);
        if (s != SifParseStatus::Ok) return s;
        Out.StructureBytes = block.size();
        // Bytes after the last frame of a decoded block are ignored.
        ByteReader br(block);
        if (!ParseStructure(br, Out.Actions, Detail)) return SifParseStatus::Damaged;
    } else {
        const size_t start = r.Position();
        if (!ParseStructure(r, Out.Actions, Detail)) return SifParseStatus::Damaged;
        Out.StructureBytes = r.Position() - start;
    }

    Out.ImageOffset = r.Position();
    int32_t streamBound = 0;
    if (!r.I32(streamBound) || !r.I32(Out.MaskColor) || !r.I32(Out.Width) || !r.I32(Out.Height) || !r.U8(Out.Mode))
        return Damaged(Detail, "the image section header is incomplete");
    if (!IsSifMode(Out.Mode)) return Damaged(Detail, "unknown depth mode");
    if (Out.Width < 0 || Out.Height < 0 || Out.Width > cBitMap::MaxSide || Out.Height > cBitMap::MaxSide)
        return Damaged(Detail, "impossible sheet size");
    // -1 is an empty stream, which is what a sheet without pixels gives.
    if (streamBound < -1 || static_cast<uint64_t>(static_cast<int64_t>(streamBound) + 1) > r.Remaining())
        return Damaged(Detail, "the image stream runs past the end of the file");
    const size_t streamBytes = static_cast<size_t>(static_cast<int64_t>(streamBound) + 1);
    Out.StoredImageBytes = streamBytes;
    Out.Data.assign(r.Current(), r.Current() + streamBytes);
    if ((Out.Flags & SifFlagImageCoded) && !Out.Data.empty()) {
        if (!progress.Report(0)) return Damaged(Detail, "stopped");
        SifParseStatus s = DecodeSection(Out.Data, Detail);
        if (s != SifParseStatus::Ok) return s;
    }
    if (!progress.Report(1)) return Damaged(Detail, "stopped");
    // Every stream the writer makes paints the whole sheet. One that falls short
    // is cut or damaged, and taking it would let a few bytes claim a sheet of
    // gigabytes that is black but for them.
    if (Out.Width > 0 && Out.Height > 0 &&
        PixelsCovered(Out.Mode, Out.Data) < static_cast<uint64_t>(Out.Width) * static_cast<uint64_t>(Out.Height))
        return Damaged(Detail, "the image stream does not cover the sheet");
    return SifParseStatus::Ok;
}

} // namespace

void ReportSifProblem(SifParseStatus Status, const std::string& Detail, const std::string& FileName) {
    switch (Status) {
    case SifParseStatus::Ok: return;
    case SifParseStatus::NotRecognised:
        MsgBox("File contents not recognised!", MsgButtons::OK, MsgIcon::Critical, "Ahem...");
        return;
    case SifParseStatus::DecodeFailed:
        MsgBox(Detail, MsgButtons::OK, MsgIcon::Critical, "Whoops");
        return;
    case SifParseStatus::Damaged:
        MsgBox("This SIF file is damaged or incomplete:\n\n" + FileName, MsgButtons::OK, MsgIcon::Critical, "Whoops");
        return;
    }
}

namespace SpriteProject {

bool WriteSIF(const std::string& FileName, uint8_t Mode, uint8_t CompressStructure, uint8_t CompressImage,
              const Progress& progress) {
    // No stream exists for mode 3 either, so it is refused with the others.
    if (!IsSifMode(Mode)) {
        ReportInvalidMode();
        return false;
    }
    std::vector<uint8_t> head, stream;
    try {
        if (!StreamOfSheet(Sheet, Mode, stream, progress.Part(0, 0.4)) ||
            !BuildParts(Actions, Sheet.Width(), Sheet.Height(), MaskColor, Mode, CompressStructure != 0,
                        CompressImage != 0, head, stream, progress.Part(0.4, 0.7)))
            return false;
    } catch (const std::exception&) {
        ReportTooLarge(FileName);
        return false;
    }
    return WriteParts(FileName, head, stream, progress.Part(0.7, 1));
}

bool WriteSIFOfSheet(const std::string& FileName, const std::string& SheetPath, uint8_t Mode,
                     uint8_t CompressStructure, uint8_t CompressImage, int32_t& Width, int32_t& Height,
                     const Progress& progress) {
    std::vector<uint8_t> head, stream;
    try {
        // The sheet is read through even for a mode that is refused, so that its
        // own problems come first, as when it is loaded before the export.
        if (!cBitMap::StreamOfFile(SheetPath, MaskColor, IsSifMode(Mode) ? Mode : 0, Width, Height, stream,
                                   progress.Part(0, 0.4)))
            return false;
        if (!IsSifMode(Mode)) {
            ReportInvalidMode();
            return false;
        }
        if (!BuildParts(Actions, Width, Height, MaskColor, Mode, CompressStructure != 0, CompressImage != 0, head,
                        stream, progress.Part(0.4, 0.7)))
            return false;
    } catch (const std::exception&) {
        ReportTooLarge(FileName);
        return false;
    }
    return WriteParts(FileName, head, stream, progress.Part(0.7, 1));
}

SifImage ReadSIF(const std::string& FileName, const Progress& progress) {
    if (FileName.empty() || !progress.Report(0)) return {};
    const int64_t size = FileSize(FileName);
    if (size < 0) {
        MsgBox(FileName + "\n\nThis file does not exist.", MsgButtons::OK, MsgIcon::Critical, "Whoops");
        return {};
    }
    if (size > MaxSifFileBytes) {
        ReportSifProblem(SifParseStatus::Damaged, "", FileName);
        return {};
    }
    std::vector<uint8_t> bytes;
    std::string error;
    SifContents contents;
    try {
        if (!ReadWholeFile(FileName, bytes, error)) {
            MsgBox("Could not read the file:\n\n" + FileName + "\n\n" + error, MsgButtons::OK, MsgIcon::Critical,
                   "Whoops");
            return {};
        }
        if (!progress.Report(0.2)) return {};
        // Parsed into locals: a refused or stopped read leaves the open project as it was.
        SifParseStatus status = Parse(bytes, contents, error, progress.Part(0.2, 0.95));
        if (progress.Cancelled()) return {};
        if (status != SifParseStatus::Ok) {
            ReportSifProblem(status, error, FileName);
            return {};
        }
    } catch (const std::bad_alloc&) {
        MsgBox("There is not enough memory to read the file:\n\n" + FileName, MsgButtons::OK, MsgIcon::Critical,
               "Whoops");
        return {};
    }
    if (!progress.Report(1)) return {};
    Actions = std::move(contents.Actions);
    MaskColor = contents.MaskColor;
    if (contents.Width == 0 || contents.Height == 0) return {};
    SifImage image;
    image.Width = contents.Width;
    image.Height = contents.Height;
    image.Mode = contents.Mode;
    image.Data = std::move(contents.Data);
    return image;
}

} // namespace SpriteProject
