// JPEG writing with jpegli, the JPEG XL project's encoder: the same kind of
// file (baseline or progressive, 8 bits, Huffman coded) in fewer bytes for
// the same look. Only a program that asks for it links it (UseJpegli); the
// decoder stays libjpeg-turbo's.
#include "jpegli_write.h"

#include <jpeglib.h>

#include "lib/jpegli/encode.h"

namespace {

bool EncodeWithJpegli(jpeg_destination_mgr* destination, ErrorManager* errors, const JpegSettings& settings,
                      RowSource* source) {
    jpeg_compress_struct info = {};
    if (setjmp(errors->escape) != 0) {
        jpegli_destroy_compress(&info);
        return false;
    }
    info.err = &errors->manager;
    jpegli_create_compress(&info);
    info.dest = destination;
    info.image_width = static_cast<JDIMENSION>(settings.width);
    info.image_height = static_cast<JDIMENSION>(settings.height);
    info.input_components = settings.channels;
    info.in_color_space = settings.channels == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpegli_set_defaults(&info);  // YCbCr; 4:2:0 for colour
    if (settings.channels == 3) {
        int factor = settings.chroma == kChroma444 ? 1 : 2;
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = factor;
        info.comp_info[1].h_samp_factor = info.comp_info[1].v_samp_factor = 1;
        info.comp_info[2].h_samp_factor = info.comp_info[2].v_samp_factor = 1;
    }
    jpegli_set_quality(&info, settings.quality, TRUE);
    info.optimize_coding = settings.optimize ? TRUE : FALSE;
    if (settings.progressive) jpegli_simple_progression(&info);
    else jpegli_set_progressive_level(&info, 0);  // baseline, as asked
    jpegli_start_compress(&info, TRUE);
    bool ok = true;
    while (ok && info.next_scanline < info.image_height) {
        uint8_t* rows[16];
        int y = static_cast<int>(info.next_scanline);
        int n = source->get(source, y, settings.height - y < 16 ? settings.height - y : 16, rows);
        ok = n > 0;
        if (ok) jpegli_write_scanlines(&info, rows, static_cast<JDIMENSION>(n));
    }
    if (ok) jpegli_finish_compress(&info);
    jpegli_destroy_compress(&info);
    return ok;
}

}  // namespace

void UseJpegli(bool jpegli) { UseJpegRowsEncoder(jpegli ? EncodeWithJpegli : nullptr); }
