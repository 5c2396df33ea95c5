#pragma once

// The program's menus, toolbar, accelerators, strings and images, handed to the framework at
// start-up.

#include "framework/ResourceTypes.h"

namespace drel {

// The whole table; it lives for the program's life.
const ResourceTable& AppResources();

}  // namespace drel
