#pragma once

// The child window that frames each terminal; it adds nothing to the framework's.

#include "framework/CMDIChildWnd.h"

namespace drel {

class CChildFrame : public CMDIChildWnd {};

}  // namespace drel
