// Program entry: the feedback dialog as the main form, then the message loop until it closes.
#include "app/UninstallMain.h"

int main(int argc, char** argv) {
    toolkit::TApplication application;
    application.SetArguments(argc, argv);
    application.Initialize();
    application.CreateForm<TUninstallMainForm>();
    application.Run();
    return 0;
}
