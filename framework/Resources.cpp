#include "framework/Resources.h"

#include <algorithm>

namespace drel {

namespace {

ResourceTable& Table() {
    static ResourceTable table;
    return table;
}

template <typename T>
const T* FindById(std::span<const T> items, int id) {
    const auto it =
        std::find_if(items.begin(), items.end(), [id](const T& item) { return item.id == id; });
    return it == items.end() ? nullptr : &*it;
}

QString PathOf(const ImageResource& image) {
    return QString::fromUtf8(image.path.data(), static_cast<qsizetype>(image.path.size()));
}

}  // namespace

void AfxSetResources(const ResourceTable& table) {
    Table() = table;
}

std::string AfxLoadString(int id) {
    const StringResource* string = FindById(Table().strings, id);
    return string == nullptr ? std::string() : std::string(string->text);
}

std::string AfxLoadStringField(int id, int index) {
    const std::string text = AfxLoadString(id);
    size_t start = 0;
    for (int field = 0; field < index; ++field) {
        start = text.find('\n', start);
        if (start == std::string::npos) {
            return {};
        }
        ++start;
    }
    return text.substr(start, text.find('\n', start) - start);
}

const MenuTemplate* AfxFindMenu(int id) {
    return FindById(Table().menus, id);
}

const ToolBarTemplate* AfxFindToolBar(int id) {
    return FindById(Table().toolBars, id);
}

const AcceleratorTable* AfxFindAccelerators(int id) {
    return FindById(Table().accelerators, id);
}

QIcon AfxLoadIcon(int id) {
    QIcon icon;
    for (const ImageResource& image : Table().icons) {
        if (image.id == id) {
            const QPixmap pixmap(PathOf(image));
            if (!pixmap.isNull()) {
                icon.addPixmap(pixmap);
            }
        }
    }
    return icon;
}

QImage AfxLoadBitmap(int id) {
    const ImageResource* image = FindById(Table().bitmaps, id);
    return image == nullptr ? QImage() : QImage(PathOf(*image));
}

}  // namespace drel
