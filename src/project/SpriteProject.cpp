// The project tree's records and the global editing state.
#include "project/SpriteProject.h"

void PutFrame(ByteWriter& w, const FrameData& f) {
    w.I32(f.X);
    w.I32(f.Y);
    w.I32(f.Height);
    w.I32(f.Width);
    w.Bytes(f.Reserved, sizeof f.Reserved);
    w.I16(f.Delay);
    w.I32(f.HotSpotX);
    w.I32(f.HotSpotY);
}

bool GetFrame(ByteReader& r, FrameData& f) {
    // Checked up front so that a short record consumes nothing and leaves f alone.
    if (r.Remaining() < FrameBytes) return false;
    FrameData g;
    r.I32(g.X);
    r.I32(g.Y);
    r.I32(g.Height);
    r.I32(g.Width);
    r.Bytes(g.Reserved, sizeof g.Reserved);
    r.I16(g.Delay);
    r.I32(g.HotSpotX);
    r.I32(g.HotSpotY);
    f = g;
    return true;
}

namespace SpriteProject {

std::vector<ActionData> Actions;
std::string SheetFile;
std::string ProjectFile;
std::string WorkDir;
int32_t CurAction = -1;
int32_t CurDirection = -1;
int32_t CurFrame = -1;
int32_t SelAnchor = -1;
cBitMap Sheet;
int32_t MaskColor = 0;
std::vector<FrameData> ClipFrames;
std::string FoundSheetPath;

DirectionData NewDirection() {
    DirectionData d;
    d.Frames.resize(1);
    d.FrameUBound = 0;
    return d;
}

ActionData NewAction() {
    ActionData a;
    a.Directions.push_back(NewDirection());
    a.DirUBound = 0;
    return a;
}

void ResetModel() {
    Actions.assign(1, NewAction());
    CurAction = -1;
    CurDirection = -1;
    CurFrame = -1;
    Sheet = cBitMap();
}

std::string DefaultActionName(int index) { return "Action " + std::to_string(index); }

std::string DefaultDirectionName(int index) { return "Dir " + std::to_string(index); }

} // namespace SpriteProject
