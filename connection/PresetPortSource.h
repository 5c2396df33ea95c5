#pragma once

// Where a new terminal document finds its port already chosen, so that it opens that port
// without asking: the program's command line names one for the first connection at start-up.

#include <optional>

#include "connection/PortChoices.h"

namespace drel {

class PresetPortSource {
  public:
    virtual ~PresetPortSource() = default;

    // The choices for the next new connection, handed out once: the call after that returns
    // nothing, and that connection asks as usual. User-interface thread only.
    virtual std::optional<PortChoices> TakePresetPort() = 0;
};

}  // namespace drel
