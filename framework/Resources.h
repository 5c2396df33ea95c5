#pragma once

// Looking up the program's resources by id: the table the program hands over at start-up, and
// the widgets' raw material made from it (strings, icons, image strips). A lookup that finds
// nothing returns an empty result; the caller decides whether that is a failure.
// User-interface thread, except AfxLoadString, which any thread may call once the table is set.

#include <QIcon>
#include <QImage>
#include <string>

#include "framework/ResourceTypes.h"

namespace drel {

// Makes `table` the program's resources; it must outlive every window. Call before the
// application starts. User-interface thread.
void AfxSetResources(const ResourceTable& table);

// The string `id`, or an empty string when the table has none.
std::string AfxLoadString(int id);

// Field `index` of the '\n'-separated string `id`; empty when the string or field is missing.
std::string AfxLoadStringField(int id, int index);

const MenuTemplate* AfxFindMenu(int id);
const ToolBarTemplate* AfxFindToolBar(int id);
const AcceleratorTable* AfxFindAccelerators(int id);

// The icon `id` made of all its images; a null icon when there is none or none could be read.
QIcon AfxLoadIcon(int id);

// The image strip `id`; a null image when there is none or it could not be read.
QImage AfxLoadBitmap(int id);

}  // namespace drel
