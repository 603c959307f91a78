// The glyphsmith application object: it owns the one FontRasterizer and
// lends it to the main frame.
#pragma once

#include "font_rasterizer.h"

#include <wx/app.h>
#include <wx/string.h>

#include <memory>

// The window title and the About text, formatted once when the program starts.
extern wxString appTitle;
extern wxString aboutText;

class GuiApplication : public wxApp {
public:
    // Starts FreeType, formats the texts and opens the main frame. False,
    // after printing the FreeType message, when FreeType cannot start.
    bool OnInit() override;
    // Releases the rasteriser; the frame is gone by now. Always 0.
    int OnExit() override;

private:
    std::unique_ptr<FontRasterizer> rasterizer; // outlives the main frame
};
