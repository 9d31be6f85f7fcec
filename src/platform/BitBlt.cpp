#include "BitBlt.h"

#include "PictureBox.h"
#include "render/Raster.h"

namespace krellon {

bool BitBlt(PictureBox& destination, int x, int y, int width, int height, const PictureBox& source,
            int sx, int sy, std::uint32_t rop) {
    if (rop != SRCCOPY) {
        return false;
    }
    raster::Copy(destination.image(), x, y, width, height, source.image(), sx, sy);
    return true;
}

}  // namespace krellon
