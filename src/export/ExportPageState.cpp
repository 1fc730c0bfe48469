#include "export/ExportPageState.h"

#include <algorithm>

namespace sondrel {

bool TagMultiplePageState::TitleEnabled(int position) const {
    if (firstTrackOffset == 0)
        return position <= 2 || position <= trackCount;
    return position == 1 || trackCount >= firstTrackOffset + position;
}

std::string TagMultiplePageState::NumberLabel(int position) const {
    // The "more" pages' templates read 11..20; only later pages renumber.
    const int base = firstTrackOffset == 0 ? 0 : std::max(firstTrackOffset, 10);
    return std::to_string(base + position);
}

int ExportingPageState::BarPosition(float fraction) {
    const int position = static_cast<int>(fraction * 256.0f);
    return std::clamp(position, 0, 256);
}

}  // namespace sondrel
