#include "titlepicture.h"

#ifdef KESTROW_HAVE_RESOURCES
#include "resources/embedded.h"

#include <QByteArray>
#endif

namespace kestrow {

#ifdef KESTROW_HAVE_RESOURCES
namespace {

// The bytes of an embedded blob, whether it offers data()/size() or data/size.
template <class Blob> QByteArray bytesOf(const Blob& blob) {
    if constexpr (requires {
                      blob.data();
                      blob.size();
                  }) {
        return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
    } else {
        return QByteArray(reinterpret_cast<const char*>(blob.data), qsizetype(blob.size));
    }
}

} // namespace

QPixmap titlePicture() {
    QPixmap picture;
    picture.loadFromData(bytesOf(res::find("TITLE", 1)), "PNG");
    return picture;
}

#else

QPixmap titlePicture() {
    return {};
}

#endif

} // namespace kestrow
