#include <algorithm>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "test_images.h"

// Inverted CMYK as Adobe writes it: 255 means no ink.
static void InkOf(const uint8_t* rgb, uint8_t* cmyk) {
    int k = std::max({rgb[0], rgb[1], rgb[2]});
    for (int i = 0; i < 3; ++i) cmyk[i] = k == 0 ? 0 : static_cast<uint8_t>((rgb[i] * 255 + k / 2) / k);
    cmyk[3] = static_cast<uint8_t>(k);
}

Pixels CmykRoundTrip(const Pixels& pixels) {
    Pixels out = pixels;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            uint8_t ink[4];
            InkOf(pixels.At(x, y), ink);
            for (int i = 0; i < 3; ++i) out.At(x, y)[i] = static_cast<uint8_t>(ink[i] * ink[3] / 255.0 + 0.5);
        }
    return out;
}

bool WriteJpegVariant(const std::string& path, const Pixels& pixels, const JpegVariant& variant) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    bool ink = variant.cmyk || variant.ycck;
    info.image_width = static_cast<JDIMENSION>(pixels.width);
    info.image_height = static_cast<JDIMENSION>(pixels.height);
    info.input_components = ink ? 4 : pixels.channels;
    info.in_color_space = ink ? JCS_CMYK : pixels.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    if (ink) jpeg_set_colorspace(&info, variant.ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&info, variant.quality, TRUE);
    if (ink)
        for (int i = 1; i < 4; ++i) info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
    if (pixels.channels == 3 || ink) {
        info.comp_info[0].h_samp_factor = variant.lumaH;
        info.comp_info[0].v_samp_factor = variant.lumaV;
    }
    info.arith_code = variant.arithmetic ? TRUE : FALSE;
    info.restart_in_rows = variant.restartRows;
    if (variant.progressive) jpeg_simple_progression(&info);
    jpeg_scan_info scans[8];
    if (variant.scanPerComponent) {
        int n = 0;
        for (int band = 0; band < (variant.progressive ? 2 : 1); ++band)
            for (int c = 0; c < info.num_components; ++c, ++n) {
                scans[n] = jpeg_scan_info{1, {c, 0, 0, 0}, 0, 63, 0, 0};
                if (variant.progressive) scans[n].Ss = scans[n].Se = band;
                if (variant.progressive && band == 1) scans[n].Se = 63;
            }
        info.scan_info = scans;
        info.num_scans = n;
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(pixels.width) * 4);
    while (info.next_scanline < info.image_height) {
        int y = static_cast<int>(info.next_scanline);
        JSAMPROW pointer;
        if (ink) {
            for (int x = 0; x < pixels.width; ++x) InkOf(pixels.At(x, y), &row[4 * x]);
            pointer = row.data();
        } else {
            pointer = const_cast<uint8_t*>(pixels.At(0, y));
        }
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return fclose(f) == 0;
}
