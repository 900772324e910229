// libFuzzer target for preview picture bytes as they come from the network. Besides the
// sanitizers it checks that nothing decoded is larger than the card's box and that a
// picture kept as sent is one that fits it.
#include "service/previewimage.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bool asSent = false;
    const QImage image = decodePreviewPicture(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)), &asSent);
    if (image.width() > kPreviewBoxWidth || image.height() > kPreviewBoxHeight)
        std::abort();
    if (asSent && image.isNull())
        std::abort();
    return 0;
}
