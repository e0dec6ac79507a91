// A JPEG encoded in memory for the picture tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

// A JPEG of width x height in one colour space, every pixel `pixel`, or with
// `noisy` a busy pattern, so that the picture data outweighs the headers.
inline std::vector<std::uint8_t> EncodeTestJpeg(int width, int height, J_COLOR_SPACE space,
                                                int components, std::vector<std::uint8_t> pixel,
                                                bool noisy = false) {
  jpeg_compress_struct codec{};
  jpeg_error_mgr errors{};
  codec.err = jpeg_std_error(&errors);
  jpeg_create_compress(&codec);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&codec, &buffer, &size);
  codec.image_width = static_cast<JDIMENSION>(width);
  codec.image_height = static_cast<JDIMENSION>(height);
  codec.input_components = components;
  codec.in_color_space = space;
  jpeg_set_defaults(&codec);
  jpeg_set_quality(&codec, 95, TRUE);
  jpeg_start_compress(&codec, TRUE);
  std::vector<std::uint8_t> row;
  for (int x = 0; x < width; ++x) row.insert(row.end(), pixel.begin(), pixel.end());
  while (codec.next_scanline < codec.image_height) {
    if (noisy) {
      for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = static_cast<std::uint8_t>((i * 131 + codec.next_scanline * 71) ^ (i * i));
    }
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&codec, &line, 1);
  }
  jpeg_finish_compress(&codec);
  std::vector<std::uint8_t> jpeg(buffer, buffer + size);
  jpeg_destroy_compress(&codec);
  std::free(buffer);
  return jpeg;
}
