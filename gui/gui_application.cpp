#include "gui_application.h"

#include "gui_main.h"
#include "gui_texts.h"

#include <wx/image.h>

#include <cstdio>

wxString appTitle;
wxString aboutText;

bool GuiApplication::OnInit()
{
    try {
        rasterizer = std::make_unique<FontRasterizer>();
    } catch (const FTException& error) {
        std::printf(glyphsmith::kFreeTypeStartFailure, error.what());
        std::fflush(stdout);
        return false;
    }
    appTitle = wxString::Format(glyphsmith::kTitleFormat, glyphsmith::kVersionText);
    aboutText = wxString::Format(glyphsmith::kAboutFormat, appTitle);
    // The frame decodes its icon from PNG data, so the handler comes first.
    wxImage::AddHandler(new wxPNGHandler);
    GuiMain* frame = new GuiMain(appTitle, rasterizer.get());
    frame->Show(true);
    SetTopWindow(frame);
    return true;
}

int GuiApplication::OnExit()
{
    rasterizer.reset();
    return 0;
}
