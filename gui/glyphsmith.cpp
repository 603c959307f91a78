// Entry of the glyphsmith desktop program.
#include "gui_application.h"

wxIMPLEMENT_APP_NO_MAIN(GuiApplication);

int main(int argc, char** argv)
{
    return wxEntry(argc, argv);
}
