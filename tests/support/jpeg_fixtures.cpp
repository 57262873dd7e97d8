#include "tests/support/jpeg_fixtures.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace qdx::test {

namespace {

struct FixtureErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void FixtureErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<FixtureErrors*>(cinfo->err)->jump, 1); }

struct FixtureJob {
    jpeg_compress_struct cinfo;
    FixtureErrors errors;
    unsigned char* buffer;
    unsigned long size;
    const JOCTET* extra;  // the APP1 payload, prepared before the return point
};

bool Encode(FixtureJob* job, const JpegFixture* fixture) {
    job->cinfo.err = jpeg_std_error(&job->errors.pub);
    job->errors.pub.error_exit = FixtureErrorExit;
    if (setjmp(job->errors.jump)) {
        jpeg_destroy_compress(&job->cinfo);
        return false;
    }
    jpeg_create_compress(&job->cinfo);
    jpeg_compress_struct* cinfo = &job->cinfo;
    jpeg_mem_dest(cinfo, &job->buffer, &job->size);
    cinfo->image_width = JDIMENSION(fixture->width);
    cinfo->image_height = JDIMENSION(fixture->height);
    cinfo->input_components = fixture->components;
    cinfo->in_color_space = fixture->components == 1 ? JCS_GRAYSCALE : fixture->components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, fixture->quality, TRUE);
    for (int c = 0; c < cinfo->num_components; ++c) {
        const int factor = (c == 0 && !fixture->fullChroma) ? 2 : 1;
        cinfo->comp_info[c].h_samp_factor = factor;
        cinfo->comp_info[c].v_samp_factor = factor;
    }
    if (fixture->progressive) jpeg_simple_progression(cinfo);
    cinfo->density_unit = UINT8(fixture->densityUnit);
    cinfo->X_density = UINT16(fixture->xDensity);
    cinfo->Y_density = UINT16(fixture->yDensity);
    jpeg_start_compress(cinfo, TRUE);
    if (fixture->extraMarkerBytes > 0) {
        jpeg_write_marker(cinfo, JPEG_APP0 + 1, job->extra, unsigned(fixture->extraMarkerBytes));
    }
    const size_t rowBytes = size_t(fixture->width) * fixture->components;
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(fixture->samples.data() + cinfo->next_scanline * rowBytes);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

}  // namespace

std::string EncodeJpeg(const JpegFixture& fixture) {
    if (fixture.samples.size() != size_t(fixture.width) * fixture.height * fixture.components) return {};
    auto* job = new FixtureJob{};
    const std::vector<JOCTET> extra(size_t(fixture.extraMarkerBytes > 0 ? fixture.extraMarkerBytes : 0), 0x5A);
    job->extra = extra.data();
    std::string bytes;
    if (Encode(job, &fixture) && job->buffer) bytes.assign(reinterpret_cast<const char*>(job->buffer), job->size);
    std::free(job->buffer);
    delete job;
    return bytes;
}

std::vector<JpegSegment> JpegHeaderSegments(const std::string& bytes) {
    std::vector<JpegSegment> segments;
    size_t at = 2;  // after SOI
    while (at + 4 <= bytes.size() && uint8_t(bytes[at]) == 0xFF) {
        JpegSegment segment;
        segment.marker = uint8_t(bytes[at + 1]);
        segment.offset = at;
        const size_t length = (size_t(uint8_t(bytes[at + 2])) << 8) | uint8_t(bytes[at + 3]);
        if (length < 2 || at + 2 + length > bytes.size()) break;
        segment.payload = bytes.substr(at + 4, length - 2);
        segments.push_back(segment);
        if (segment.marker == 0xDA) break;
        at += 2 + length;
    }
    return segments;
}

const JpegSegment* FindSegment(const std::vector<JpegSegment>& segments, uint8_t marker) {
    for (const auto& segment : segments)
        if (segment.marker == marker) return &segment;
    return nullptr;
}

}  // namespace qdx::test
