// The glyphsmith main frame: the configuration column (font height,
// characters to convert, Export) beside the 800 x 600 glyph preview.
#pragma once

#include "character_list.h"
#include "character_map.h"
#include "font_glyph_set.h"
#include "font_rasterizer.h"
#include "gui_rules.h"
#include "preview_painter.h"
#include "stored_glyphs_painter.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/textctrl.h>

#include <array>
#include <string>

// Window identifiers; the stock wxID_EXIT and wxID_ABOUT serve Quit and About.
enum {
    ID_LOAD_FONT = 6000,   // File > Load Font
    ID_FONT_HEIGHT = 6001, // the font height field
    ID_CHARS = 6002,       // the characters field
    ID_EXPORT = 6003,      // the Export button
    ID_CODE_PAGE = 6004,   // the code-page choice
    ID_FORMAT = 6005,      // the format choice
};

class GuiMain : public wxFrame {
public:
    // Builds the whole window around the borrowed `rasterizer`, which must
    // outlive the frame, and commits the initial character list.
    GuiMain(const wxString& title, FontRasterizer* rasterizer);

    void onQuit(wxCommandEvent& event);
    void onAbout(wxCommandEvent& event);
    void onClose(wxCloseEvent& event);
    void onLoadFont(wxCommandEvent& event);
    void onCharsEnter(wxCommandEvent& event);
    void onExport(wxCommandEvent& event);
    void onCodePage(wxCommandEvent& event);
    void onFormat(wxCommandEvent& event);
    void onPaintPreview(wxPaintEvent& event);
    void onPaintStored(wxPaintEvent& event);
    void onHeightChange(wxCommandEvent& event);

    // Replaces the committed list with the codes `text` lists, and the
    // characters its `=` items give them.
    void parseCharList(const std::string& text);

private:
    void createMenus();
    void createLayout();
    void bindHandlers();
    // Opens the font at `path`, reporting a failure in an error box.
    void loadChosenFont(const wxString& path);
    // The controls after the code-page choice: format, compression, rotations.
    void createFormatControls(wxSizer* configuration);
    // The format the controls give.
    glyphsmith::ExportFormat exportFormat() const;
    // Asks for the output file and writes the font at `height` pixels in
    // `format`, saying where it wrote.
    void exportAtHeight(uint32_t height, const glyphsmith::ExportFormat& format);
    // Writes the font to the files of `target`; false, with an error box,
    // when a file cannot be written. Throws as the exporters do.
    bool writeExport(const glyphsmith::ExportTarget& target, uint32_t height, const glyphsmith::ExportFormat& format);
    // Lays out the preview and, below it, the view of the stored glyphs.
    wxSizer* createViews();
    // Repaints the preview and the view of the stored glyphs.
    void refreshViews();
    void showError(const wxString& message);
    // The slots of the committed list under the chosen code page.
    void updateSlots();

    FontRasterizer* rasterizer;                   // borrowed from the application, never deleted here
    wxMenuBar* menuBar = nullptr;                 // owned by the frame once set
    wxButton* exportButton = nullptr;             // "Export"
    wxTextCtrl* heightText = nullptr;             // font height in pixels
    wxTextCtrl* charsText = nullptr;              // characters to convert
    wxWindow* previewCanvas = nullptr;            // plain window the preview is painted on
    wxWindow* storedCanvas = nullptr;             // plain window the stored glyphs are painted on
    wxChoice* codePageChoice = nullptr;           // "none" or one of kCodePages
    wxChoice* formatChoice = nullptr;             // the classic format, or the packed one at a depth
    wxCheckBox* compressBox = nullptr;            // compressed images (packed only)
    std::array<wxCheckBox*, 4> rotationBoxes{};   // one per rotation of kFontRotations
    CharacterList charCodes;                      // committed list, read by the export check
    CharacterOverrides overrides;                 // characters the committed list's `=` items give
    GlyphSlots slots;                             // what each code shows: the preview and the export
    CharacterList previewCharacters;              // the characters of `slots`, in list order
    glyphsmith::PreviewPainter preview;           // cached glyphs and image of the preview
    glyphsmith::StoredGlyphsPainter storedGlyphs; // the glyphs at the export height, as stored
};
