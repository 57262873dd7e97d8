#pragma once
// How the JPEG reader and writer take the library's errors: an error keeps
// the library's text and jumps back to the recovery point that the caller set
// with setjmp(glue.recovery) before its first library call.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace qdx {

class WideString;

struct JpegErrorGlue {
    jpeg_error_mgr errors;  // first: the library sees only this part
    std::jmp_buf recovery;
    char message[JMSG_LENGTH_MAX];
};

// The library's standard error manager with its messages silenced and its
// error exit replaced by the jump back; hand the result to cinfo.err.
jpeg_error_mgr* UseJpegErrorGlue(JpegErrorGlue& glue);

// The glue of a library object set up with UseJpegErrorGlue.
inline JpegErrorGlue& ErrorGlueOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrorGlue*>(cinfo->err); }

// Sets `text` to a library message (plain ASCII, one code unit per byte).
void KeepMessage(WideString& text, const char* message);

}  // namespace qdx
