// Program entry: the feedback dialog as the main form, then the message loop until it closes.
#include <exception>

#include "app/UninstallMain.h"
#include "platform/shared_library.h"

int main(int argc, char** argv) {
    platform::RestrictLibrarySearch();  // before anything loads a library by name
    toolkit::TApplication application;
    try {
        application.SetArguments(argc, argv);
        application.Initialize();
        application.CreateForm<TUninstallMainForm>();
        application.Run();
    } catch (...) {
        // The dialog could not be shown at all (no window, no terminal): say why instead of vanishing.
        application.ShowException(std::current_exception());
        return 1;
    }
    return 0;
}
