// The entry point of Quillodex.exe.
#include <windows.h>

#include "app/startup/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return qdx::app::ProgramMain(instance, showCommand);
}
