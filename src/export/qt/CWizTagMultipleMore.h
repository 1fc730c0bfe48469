// The tag pages for tracks 11-20, 21-30 and 31-40: ten titles each.
#pragma once

#include "export/qt/CWizTagMultiple.h"

namespace sondrel {

class CWizTagMultipleMore : public CWizTagMultiple {
public:
    CWizTagMultipleMore(const PageServices& services, QWidget* parent = nullptr)
        : CWizTagMultiple(services, parent, true) {}
};

}  // namespace sondrel
