#include "ImageFileBuilder.h"

#include "formats/ByteWriter.h"

namespace krellon {

namespace {

void WriteEntries(ByteWriter& out, const std::vector<ColourValue>& palette) {
    for (ColourValue c : palette) {
        out.writeByte(static_cast<std::uint8_t>(RedOf(c)));
        out.writeByte(static_cast<std::uint8_t>(GreenOf(c)));
        out.writeByte(static_cast<std::uint8_t>(BlueOf(c)));
        out.writeByte(0);
    }
}

}  // namespace

std::vector<std::uint8_t> BuildImageFile(const std::vector<ImageSpec>& images,
                                         const std::vector<ColourValue>& filePalette) {
    ByteWriter out;
    out.writeBytes("KIMG");
    out.writeInt32(1);
    out.writeInt32(static_cast<std::int32_t>(images.size()));
    out.writeInt32(static_cast<std::int32_t>(filePalette.size()));
    WriteEntries(out, filePalette);
    for (const ImageSpec& image : images) {
        out.writeInt32(static_cast<std::int32_t>(image.name.size() + 1));
        out.writeBytes(image.name);
        out.writeByte(0);
        out.writeInt32(image.width);
        out.writeInt32(image.height);
        out.writeInt32(0);
        out.writeInt32(0);
        out.writeInt32(static_cast<std::int32_t>(image.palette.size()));
        WriteEntries(out, image.palette);
        out.writeBytes(image.pixels.data(), image.pixels.size());
    }
    return out.take();
}

std::vector<ColourValue> GreyPalette() {
    std::vector<ColourValue> palette(kPaletteSize);
    for (int k = 0; k < kPaletteSize; ++k) {
        palette[static_cast<std::size_t>(k)] = MakeColour(k, k, k);
    }
    return palette;
}

}  // namespace krellon
