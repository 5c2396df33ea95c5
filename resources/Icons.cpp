#include "resources/Icons.h"

namespace drel {

QIcon ApplicationIcon() {
    QIcon icon;
    icon.addFile(kApplicationIconPath, QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/drel-16.xpm"), QSize(16, 16));
    return icon;
}

QIcon DocumentIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/drel-doc-32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/drel-doc-16.xpm"), QSize(16, 16));
    return icon;
}

}  // namespace drel
