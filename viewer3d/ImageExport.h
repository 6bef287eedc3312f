// Saving the cell view as a picture: the image-format table (the built-in
// BMP, then the image-format plug-ins), the picture sizes on offer, and the
// 24-bit BMP writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugins/PluginTable.h"

namespace pelmora {

struct ImageFormat {
  std::string label;
  std::string pattern;
  void* module = nullptr;  // null: the built-in BMP
};

inline constexpr const char* kBmpFormatLabel = "Windows Bitmap (*.bmp)";
inline constexpr const char* kBmpFormatPattern = "*.BMP";

// The BMP, then every image-format plug-in in table order up to the first
// one that lacks pelmora_GetFileFilterLabel or pelmora_GetFileFilterExt.
std::vector<ImageFormat> BuildImageFormats(const PluginTable& table);

// The sizes of the save dialog's list, in its order; the last is the default.
struct ImageSize {
  int width, height;
  const char* text;
};
inline constexpr ImageSize kImageSizes[] = {{1024, 768, "1024x768"}, {800, 600, "800x600"}, {640, 480, "640x480"}};
inline constexpr int kDefaultImageSize = 2;
// The size for a list index; anything but 1 and 2 gives 1024 x 768.
ImageSize ImageSizeOf(int index);

// The extension, without the dot, that a name typed without one gets in
// `format`: "bmp" for the built-in format, the plug-in's pelmora_GetFileExt
// text otherwise (empty when the plug-in does not export it).
std::string DefaultImageExtension(const ImageFormat& format);

// A name whose last component has no extension gets "." and the format's
// default extension; nothing is added when that is empty.
std::string ImageFileName(const std::string& path, const ImageFormat& format);

// Turns rows of red, green, blue into blue, green, red in place.
void SwapRedBlue(std::vector<std::uint8_t>& pixels);

// The bytes of a 24-bit BMP: 54 bytes of headers, then the rows bottom-up.
// `bgr` holds width * height pixels, bottom row first, without padding;
// rows whose length is no multiple of four bytes are padded in the file.
std::string EncodeBmp(int width, int height, const std::vector<std::uint8_t>& bgr);

// Writes the picture in `format`: the BMP file (created or truncated), or
// the plug-in's pelmora_SaveFile. False when nothing could be written (the
// plug-in lacks pelmora_SaveFile, the file cannot be opened).
bool SaveImage(const ImageFormat& format, const std::string& path, int width, int height,
               const std::vector<std::uint8_t>& bgr);

}  // namespace pelmora
