#include "viewer3d/ImageExport.h"

#include "plugins/PluginLists.h"

#include <fstream>
#include <utility>

namespace pelmora {

std::vector<ImageFormat> BuildImageFormats(const PluginTable& table) {
  std::vector<ImageFormat> formats;
  formats.push_back({kBmpFormatLabel, kBmpFormatPattern, nullptr});
  for (size_t i = 0; i < table.size(); ++i) {
    const PluginEntry& e = table[i];
    if (e.kind != PELMORA_KIND_IMAGE_FORMAT) continue;
    auto label = table.Lookup<pelmora_GetFileFilterLabel_fn>(i, "pelmora_GetFileFilterLabel");
    auto ext = table.Lookup<pelmora_GetFileFilterExt_fn>(i, "pelmora_GetFileFilterExt");
    if (!e.module || !label || !ext) break;  // later formats are left out
    const char* l = label();
    const char* x = ext();
    formats.push_back({l ? l : "", x ? x : "", e.module});
  }
  return formats;
}

ImageSize ImageSizeOf(int index) {
  if (index == 1 || index == 2) return kImageSizes[index];
  return kImageSizes[0];
}

std::string DefaultImageExtension(const ImageFormat& format) {
  return format.module ? ModuleFileExt(format.module) : std::string("bmp");
}

std::string ImageFileName(const std::string& path, const ImageFormat& format) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (path.empty() || (dot != std::string::npos && (slash == std::string::npos || dot > slash))) return path;
  const std::string ext = DefaultImageExtension(format);
  return ext.empty() ? path : path + "." + ext;
}

void SwapRedBlue(std::vector<std::uint8_t>& pixels) {
  for (size_t i = 0; i + 2 < pixels.size(); i += 3) std::swap(pixels[i], pixels[i + 2]);
}

namespace {

void Put16(std::string& s, std::uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}

void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string EncodeBmp(int width, int height, const std::vector<std::uint8_t>& bgr) {
  const std::uint32_t row = static_cast<std::uint32_t>(width) * 3;
  const std::uint32_t stride = (row + 3) & ~3u;
  const std::uint32_t imageBytes = stride * static_cast<std::uint32_t>(height);
  std::string s;
  s.reserve(54 + imageBytes);
  s += "BM";
  Put32(s, 54 + imageBytes);
  Put16(s, 0);
  Put16(s, 0);
  Put32(s, 54);
  Put32(s, 40);
  Put32(s, static_cast<std::uint32_t>(width));
  Put32(s, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
  Put16(s, 1);
  Put16(s, 24);
  for (int i = 0; i < 6; ++i) Put32(s, 0);  // no compression, sizes and palette left to the reader
  for (int y = 0; y < height; ++y) {
    const size_t from = static_cast<size_t>(y) * row;
    if (from + row <= bgr.size()) s.append(reinterpret_cast<const char*>(bgr.data() + from), row);
    else s.append(row, '\0');
    s.append(stride - row, '\0');
  }
  return s;
}

bool SaveImage(const ImageFormat& format, const std::string& path, int width, int height,
               const std::vector<std::uint8_t>& bgr) {
  if (!format.module) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string bytes = EncodeBmp(width, height, bgr);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
  }
  auto save = ModuleLookup<pelmora_SaveFile_fn>(format.module, "pelmora_SaveFile");
  if (!save) return false;
  save(path.c_str(), width, height, bgr.data());
  return true;
}

}  // namespace pelmora
