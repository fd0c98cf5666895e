#include "titlepicture.h"

#ifdef KESTROW_HAVE_RESOURCES
#include "resources/embedded.h"
#endif

namespace kestrow {

QPixmap titlePicture() {
    QPixmap picture;
#ifdef KESTROW_HAVE_RESOURCES
    if (const res::Blob blob = res::find("TITLE", 1)) {
        picture.loadFromData(blob.data, uint(blob.size), "PNG");
    }
#endif
    return picture;
}

QIcon programIcon() {
    QIcon icon;
#ifdef KESTROW_HAVE_RESOURCES
    for (int size : {64, 128, 256}) {
        QPixmap pixmap;
        const res::Blob blob = res::find("ICON", size);
        if (blob && pixmap.loadFromData(blob.data, uint(blob.size), "PNG")) icon.addPixmap(pixmap);
    }
#endif
    return icon;
}

} // namespace kestrow
