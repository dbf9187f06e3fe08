#include "sprites/Jitter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The median of values (reordered in the process); the mean of the two middle
// ones for an even count.
double Median(std::vector<double>& values) {
    const size_t n = values.size();
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(values.begin(), mid, values.end());
    if (n % 2 == 1) return *mid;
    // nth_element leaves every smaller value before mid.
    return (*std::max_element(values.begin(), mid) + *mid) / 2;
}

// "3 pixels", "1 pixel", "2.5 pixels".
std::string Pixels(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return std::string(buf) + (v == 1 ? " pixel" : " pixels");
}

} // namespace

std::string DescribeJitter(const FrameJitter& j) {
    std::string text;
    if (j.Dy != 0) text = Pixels(std::fabs(j.Dy)) + (j.Dy > 0 ? " low" : " high");
    if (j.Dx != 0) text += (text.empty() ? "" : ", ") + Pixels(std::fabs(j.Dx)) + (j.Dx > 0 ? " right" : " left");
    if (text.empty()) return "in line with the others";
    return text + " of the others";
}

size_t JitterTracker::RectHash::operator()(const SpriteRect& r) const {
    uint64_t h = static_cast<uint32_t>(r.X);
    h = h * 0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(r.Y);
    h = h * 0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(r.Width);
    h = h * 0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(r.Height);
    return static_cast<size_t>(h ^ (h >> 29));
}

void JitterTracker::Invalidate() { cache_.clear(); }

const std::vector<FrameJitter>& JitterTracker::Update(const SheetPixels& sheet, int32_t maskColor,
                                                      const std::vector<FrameData>& frames, int32_t limit) {
    // Another buffer, size or mask colour is another sheet as far as boxes go.
    if (sheet.Pixels != sheetPixels_ || sheet.Width != sheetWidth_ || sheet.Height != sheetHeight_ ||
        maskColor != mask_) {
        cache_.clear();
        sheetPixels_ = sheet.Pixels;
        sheetWidth_ = sheet.Width;
        sheetHeight_ = sheet.Height;
        mask_ = maskColor;
    }
    // Rectangles of directions left long ago need not stay.
    if (cache_.size() > 4 * frames.size() + 4096) cache_.clear();

    scanned_ = 0;
    boxes_.assign(frames.size(), SpriteRect{});
    // Each measured frame's bottom row and centre column, from its hot spot.
    std::vector<double> bottoms, centres;
    bottoms.reserve(frames.size());
    centres.reserve(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const FrameData& f = frames[i];
        if (f.Width <= 0 || f.Height <= 0) continue;
        const SpriteRect rect{f.X, f.Y, f.Width, f.Height};
        auto [it, fresh] = cache_.try_emplace(rect);
        if (fresh) {
            it->second = TrimRect(sheet, maskColor, rect);
            ++scanned_;
        }
        const SpriteRect& box = it->second;
        boxes_[i] = box;
        if (box.Empty()) continue;
        bottoms.push_back(static_cast<double>(int64_t{box.Y} + box.Height - 1 - (int64_t{f.Y} + f.HotSpotY)));
        centres.push_back(static_cast<double>(int64_t{box.X} + (box.Width - 1) / 2.0 - (int64_t{f.X} + f.HotSpotX)));
    }

    flags_.clear();
    if (bottoms.size() < 3) return flags_;
    // The medians first: Median reorders its copy, the values stay in frame order.
    std::vector<double> work(bottoms);
    const double medianBottom = Median(work);
    work.assign(centres.begin(), centres.end());
    const double medianCentre = Median(work);
    const double most = std::max(limit, 0);
    size_t k = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (boxes_[i].Empty()) continue;
        const double dx = centres[k] - medianCentre, dy = bottoms[k] - medianBottom;
        ++k;
        if (std::fabs(dx) > most || std::fabs(dy) > most) flags_.push_back({static_cast<int32_t>(i), dx, dy});
    }
    return flags_;
}

std::vector<FrameJitter> FindJitter(const SheetPixels& sheet, int32_t maskColor, const std::vector<FrameData>& frames,
                                    int32_t limit) {
    JitterTracker tracker;
    return tracker.Update(sheet, maskColor, frames, limit);
}
