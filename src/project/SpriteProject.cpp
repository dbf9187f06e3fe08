// Placeholder: the project model is being written.
#include "project/SpriteProject.h"

namespace SpriteProject {
std::vector<ActionData> Actions;
std::string SheetFile, ProjectFile, WorkDir, FoundSheetPath;
int32_t CurAction = -1, CurDirection = -1, CurFrame = -1, SelAnchor = -1;
cBitMap Sheet;
int32_t MaskColor = 0;
std::vector<FrameData> ClipFrames;
DirectionData NewDirection() { DirectionData d; d.Frames.resize(1); return d; }
ActionData NewAction() { ActionData a; a.Directions.push_back(NewDirection()); return a; }
void ResetModel() { Actions.assign(1, NewAction()); CurAction = CurDirection = CurFrame = -1; Sheet = cBitMap(); }
std::string DefaultActionName(int i) { return "Action " + std::to_string(i); }
std::string DefaultDirectionName(int i) { return "Dir " + std::to_string(i); }
bool WriteProject(const std::string&) { return false; }
bool ReadProject(const std::string&) { return false; }
} // namespace SpriteProject
void PutFrame(ByteWriter&, const FrameData&) {}
bool GetFrame(ByteReader&, FrameData&) { return false; }
