#include "codecs/common/jpeg_error_glue.h"

#include "core/os/wide_string.h"

namespace qdx {

namespace {

// A library error: keep its text and return to the recovery point.
void ErrorExit(j_common_ptr cinfo) {
    JpegErrorGlue& glue = ErrorGlueOf(cinfo);
    glue.message[0] = '\0';
    (*cinfo->err->format_message)(cinfo, glue.message);
    glue.message[JMSG_LENGTH_MAX - 1] = '\0';
    std::longjmp(glue.recovery, 1);
}

// Warnings ("Corrupt JPEG data: ... extraneous bytes") are counted as the
// library counts them but never printed: the program says in its own words
// what became of the file.
void CountWarning(j_common_ptr cinfo, int level) {
    if (level < 0) ++cinfo->err->num_warnings;
}
void PrintNothing(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* UseJpegErrorGlue(JpegErrorGlue& glue) {
    jpeg_error_mgr* errors = jpeg_std_error(&glue.errors);
    errors->trace_level = 0;
    errors->error_exit = ErrorExit;
    errors->emit_message = CountWarning;
    errors->output_message = PrintNothing;
    return errors;
}

void KeepMessage(WideString& text, const char* message) {
    text.Clear();
    char16_t units[JMSG_LENGTH_MAX];
    uint32_t count = 0;
    for (; count < JMSG_LENGTH_MAX && message[count] != '\0'; ++count)
        units[count] = static_cast<char16_t>(static_cast<unsigned char>(message[count]));
    text.Append(units, count);
}

}  // namespace qdx
