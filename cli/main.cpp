// The native command line, quillodex.
#include "cli/command_line.h"

int main(int argc, char** argv) { return qdx::cli::RunCommandLine(argc, argv); }
