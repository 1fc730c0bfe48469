// The pages' visible texts come from the string table only, so a language pack reaches every
// one of them; this is the one way a control gets its text.
#pragma once

#include <QString>

#include "base/StringTable.h"

namespace sondrel {

inline QString UiText(StringId id) {
    return QString::fromStdString(LoadString(id));
}

}  // namespace sondrel
