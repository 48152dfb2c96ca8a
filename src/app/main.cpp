#include "app/CMainApp.h"

int main(int argc, char** argv)
{
    CMainApp app;
    return app.Run(argc, argv);
}
