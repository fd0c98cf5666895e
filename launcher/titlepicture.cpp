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

} // namespace kestrow
