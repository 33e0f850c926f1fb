// Feeds arbitrary bytes to the image decoders.
#include <cstddef>
#include <cstdint>

#include "platform/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zq::ImageRef image = zq::decodeImage(data, size);
    if (image) {
        // Touch the corners so a short pixel buffer shows up under ASan.
        volatile uint32_t sink =
            image->pixel(0, 0) ^ image->pixel(image->width() - 1, image->height() - 1);
        (void)sink;
    }
    return 0;
}
