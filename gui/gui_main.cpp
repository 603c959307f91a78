#include "gui_main.h"

#include "font_source_text.h"
#include "font_source_writer.h"
#include "gui_application.h"
#include "gui_rules.h"
#include "gui_texts.h"
#include "packed_source_writer.h"
#include "stored_glyphs.h"

#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/filedlg.h>
#include <wx/icon.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <stdexcept>

#include "logo_png.inc"

namespace {

// A frame with the usual decorations but no resizing border.
constexpr long kFrameStyle = wxDEFAULT_FRAME_STYLE & ~wxRESIZE_BORDER;
constexpr int kBorder = 5;           // pixels around every sizer item
const wxSize kPreviewSize(800, 600); // drawable area of the preview
const wxSize kStoredSize(glyphsmith::kStoredViewWidth, glyphsmith::kStoredViewHeight);
const wxSize kExportButtonSize(120, 40);

// Converts `text` with the locale's multibyte conversion. False when it
// cannot be converted; `narrow` is then empty.
bool toNarrow(const wxString& text, std::string& narrow)
{
    narrow.clear();
    if (text.empty())
        return true;
    const wxScopedCharBuffer buffer = text.mb_str(wxConvLibc);
    if (buffer.length() == 0)
        return false;
    narrow.assign(buffer.data(), buffer.length());
    return true;
}

// A text taken from a control: a text that cannot be converted counts as empty.
std::string narrowOrEmpty(const wxString& text)
{
    std::string narrow;
    toNarrow(text, narrow);
    return narrow;
}

wxString fromNarrow(const char* text)
{
    return wxString(text, wxConvLibc);
}

} // namespace

GuiMain::GuiMain(const wxString& title, FontRasterizer* fontRasterizer)
    : wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, kFrameStyle), rasterizer(fontRasterizer)
{
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap::NewFromPNGData(kLogoPngData, sizeof kLogoPngData));
    SetIcon(icon);
    createMenus();
    createLayout();
    bindHandlers();
    parseCharList(narrowOrEmpty(charsText->GetValue()));
}

void GuiMain::createMenus()
{
    wxMenu* fileMenu = new wxMenu;
    fileMenu->Append(ID_LOAD_FONT, glyphsmith::kLoadFontItem, "");
    fileMenu->Append(wxID_EXIT, glyphsmith::kQuitItem, "");
    wxMenu* helpMenu = new wxMenu;
    helpMenu->Append(wxID_ABOUT, glyphsmith::kAboutItem);
    menuBar = new wxMenuBar;
    menuBar->Append(fileMenu, glyphsmith::kFileMenu);
    menuBar->Append(helpMenu, glyphsmith::kHelpMenu);
    SetMenuBar(menuBar);
}

// Alignments that have no effect in their sizer's direction are left out:
// wxWidgets 3.2 reports them as programming errors.
void GuiMain::createLayout()
{
    wxBoxSizer* top = new wxBoxSizer(wxHORIZONTAL);
    SetSizer(top);
    wxStaticBoxSizer* configuration = new wxStaticBoxSizer(wxVERTICAL, this, glyphsmith::kConfigurationLabel);
    top->Add(configuration, 0, wxEXPAND | wxALL, kBorder);
    top->Add(createViews(), 1, wxEXPAND);

    wxBoxSizer* heightRow = new wxBoxSizer(wxHORIZONTAL);
    configuration->Add(heightRow, 0, wxALL, kBorder);
    heightRow->Add(
        new wxStaticText(this, wxID_ANY, glyphsmith::kFontHeightLabel), 0, wxALIGN_CENTER_VERTICAL | wxALL, kBorder);
    heightText = new wxTextCtrl(this, ID_FONT_HEIGHT, "", wxDefaultPosition, wxDefaultSize, 0);
    heightText->SetValue(glyphsmith::kInitialHeight);
    heightRow->Add(heightText, 0, wxALL, kBorder);
    heightRow->Add(
        new wxStaticText(this, wxID_ANY, glyphsmith::kPixelsLabel), 0, wxALIGN_CENTER_VERTICAL | wxALL, kBorder);

    configuration->Add(new wxStaticText(this, wxID_ANY, glyphsmith::kCharactersLabel), 0, wxALL, kBorder);
    charsText =
        new wxTextCtrl(this, ID_CHARS, "", wxDefaultPosition, wxDefaultSize, wxTE_MULTILINE | wxTE_PROCESS_ENTER);
    charsText->SetValue(glyphsmith::kInitialCharacters);
    configuration->Add(charsText, 1, wxEXPAND | wxALL, kBorder);
    exportButton = new wxButton(this, ID_EXPORT, glyphsmith::kExportLabel, wxDefaultPosition, kExportButtonSize, 0);
    // Made after the button, so that the tab order of the fields before it
    // stays as it was; shown above it.
    wxBoxSizer* codePageRow = new wxBoxSizer(wxHORIZONTAL);
    codePageRow->Add(
        new wxStaticText(this, wxID_ANY, glyphsmith::kCodePageLabel), 0, wxALIGN_CENTER_VERTICAL | wxALL, kBorder);
    codePageChoice = new wxChoice(this, ID_CODE_PAGE);
    codePageChoice->Append(glyphsmith::kNoCodePage);
    for (std::string_view page : kCodePages)
        codePageChoice->Append(wxString(page.data(), page.size()));
    codePageChoice->SetSelection(0);
    codePageRow->Add(codePageChoice, 1, wxALL, kBorder);
    configuration->Add(codePageRow, 0, wxEXPAND | wxALL, kBorder);
    createFormatControls(configuration);
    configuration->Add(exportButton, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, kBorder);

    top->SetSizeHints(this);
    Centre(wxBOTH);
}

// Made after the code-page choice, so that the tab order before them stays
// as it was; shown above the Export button.
void GuiMain::createFormatControls(wxSizer* configuration)
{
    wxBoxSizer* formatRow = new wxBoxSizer(wxHORIZONTAL);
    formatRow->Add(
        new wxStaticText(this, wxID_ANY, glyphsmith::kFormatLabel), 0, wxALIGN_CENTER_VERTICAL | wxALL, kBorder);
    formatChoice = new wxChoice(this, ID_FORMAT);
    formatChoice->Append(glyphsmith::kClassicFormat);
    for (const char* packed : glyphsmith::kPackedFormats)
        formatChoice->Append(packed);
    formatChoice->SetSelection(0);
    formatRow->Add(formatChoice, 1, wxALL, kBorder);
    configuration->Add(formatRow, 0, wxEXPAND | wxALL, kBorder);
    compressBox = new wxCheckBox(this, wxID_ANY, glyphsmith::kCompressLabel);
    compressBox->Disable();
    configuration->Add(compressBox, 0, wxALL, kBorder);
    wxBoxSizer* rotationRow = new wxBoxSizer(wxHORIZONTAL);
    rotationRow->Add(
        new wxStaticText(this, wxID_ANY, glyphsmith::kRotationsLabel), 0, wxALIGN_CENTER_VERTICAL | wxALL, kBorder);
    for (size_t index = 0; index < rotationBoxes.size(); ++index) {
        rotationBoxes[index] = new wxCheckBox(this, wxID_ANY, wxString::Format("%u", unsigned(kFontRotations[index])));
        rotationBoxes[index]->SetValue(true);
        rotationRow->Add(rotationBoxes[index], 0, wxALIGN_CENTER_VERTICAL | wxALL, kBorder);
    }
    configuration->Add(rotationRow, 0, wxALL, kBorder);
}

glyphsmith::ExportFormat GuiMain::exportFormat() const
{
    glyphsmith::ExportFormat format;
    const int selection = formatChoice->GetSelection();
    format.bpp = selection > 0 ? glyphsmith::kPackedDepths[selection - 1] : 0;
    format.compressed = format.bpp != 0 && compressBox->GetValue();
    for (size_t index = 0; index < rotationBoxes.size(); ++index)
        if (rotationBoxes[index]->GetValue())
            format.rotations.push_back(kFontRotations[index]);
    return format;
}

// Choosing a format starts its rotation boxes over; only the packed format
// compresses.
void GuiMain::onFormat(wxCommandEvent&)
{
    const glyphsmith::ExportFormat format = exportFormat();
    const std::vector<uint32_t> rotations = glyphsmith::defaultRotations(format.bpp);
    for (size_t index = 0; index < rotationBoxes.size(); ++index)
        rotationBoxes[index]->SetValue(std::count(rotations.begin(), rotations.end(), kFontRotations[index]) != 0);
    compressBox->Enable(format.bpp != 0);
    if (format.bpp == 0)
        compressBox->SetValue(false);
}

wxSizer* GuiMain::createViews()
{
    wxBoxSizer* views = new wxBoxSizer(wxVERTICAL);
    previewCanvas = new wxWindow(this, wxID_ANY, wxDefaultPosition, kPreviewSize, 0, wxPanelNameStr);
    views->Add(previewCanvas, 0, wxALL, kBorder);
    wxStaticBoxSizer* stored = new wxStaticBoxSizer(wxVERTICAL, this, glyphsmith::kStoredViewLabel);
    storedCanvas = new wxWindow(this, wxID_ANY, wxDefaultPosition, kStoredSize, 0, wxPanelNameStr);
    stored->Add(storedCanvas, 0, wxALL, kBorder);
    views->Add(stored, 0, wxALL, kBorder);
    return views;
}

void GuiMain::bindHandlers()
{
    Bind(wxEVT_MENU, &GuiMain::onQuit, this, wxID_EXIT);
    Bind(wxEVT_MENU, &GuiMain::onAbout, this, wxID_ABOUT);
    Bind(wxEVT_MENU, &GuiMain::onLoadFont, this, ID_LOAD_FONT);
    Bind(wxEVT_CLOSE_WINDOW, &GuiMain::onClose, this);
    Bind(wxEVT_TEXT_ENTER, &GuiMain::onCharsEnter, this, ID_CHARS);
    Bind(wxEVT_BUTTON, &GuiMain::onExport, this, ID_EXPORT);
    Bind(wxEVT_CHOICE, &GuiMain::onCodePage, this, ID_CODE_PAGE);
    Bind(wxEVT_CHOICE, &GuiMain::onFormat, this, ID_FORMAT);
    Bind(wxEVT_TEXT, &GuiMain::onHeightChange, this, ID_FONT_HEIGHT);
    previewCanvas->Bind(wxEVT_PAINT, &GuiMain::onPaintPreview, this);
    storedCanvas->Bind(wxEVT_PAINT, &GuiMain::onPaintStored, this);
}

void GuiMain::parseCharList(const std::string& text)
{
    glyphsmith::MappedCharList list = glyphsmith::parseMappedCharList(text);
    charCodes = std::move(list.codes);
    overrides = list.overrides;
    updateSlots();
}

void GuiMain::updateSlots()
{
    CharacterMap map = identityMap();
    const int page = codePageChoice ? codePageChoice->GetSelection() : 0;
    // A page iconv cannot open shows as none.
    if (page > 0 && !codePageMap(kCodePages[size_t(page - 1)], map))
        map = identityMap();
    slots = glyphsmith::glyphSlots(charCodes, withOverrides(map, overrides));
    previewCharacters.clear();
    for (const GlyphSlot& slot : slots)
        previewCharacters.push_back(slot.character);
}

void GuiMain::onCodePage(wxCommandEvent&)
{
    updateSlots();
    refreshViews();
}

void GuiMain::refreshViews()
{
    previewCanvas->Refresh();
    storedCanvas->Refresh();
}

void GuiMain::onQuit(wxCommandEvent&)
{
    Close(true);
}

void GuiMain::onAbout(wxCommandEvent&)
{
    wxMessageDialog about(this, aboutText, glyphsmith::kAboutCaption, wxOK);
    about.ShowModal();
}

void GuiMain::onClose(wxCloseEvent&)
{
    Destroy();
}

void GuiMain::onLoadFont(wxCommandEvent&)
{
    {
        wxFileDialog dialog(
            this, glyphsmith::kLoadFontTitle, "", "", glyphsmith::kFontFileFilter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        if (dialog.ShowModal() == wxID_OK)
            loadChosenFont(dialog.GetPath());
    }
    Refresh();
    refreshViews();
}

void GuiMain::loadChosenFont(const wxString& path)
{
    std::string narrowPath;
    if (!toNarrow(path, narrowPath) || narrowPath.empty()) {
        showError(glyphsmith::kInvalidFileName);
        return;
    }
    try {
        rasterizer->loadFont(narrowPath);
    } catch (const FTException& error) {
        showError(fromNarrow(error.what()));
        return;
    }
    preview.forgetFont();
    storedGlyphs.forgetFont();
}

void GuiMain::onCharsEnter(wxCommandEvent&)
{
    parseCharList(narrowOrEmpty(charsText->GetValue()));
    Refresh();
    refreshViews();
}

void GuiMain::onPaintPreview(wxPaintEvent&)
{
    wxPaintDC dc(previewCanvas);
    preview.paint(dc, previewCanvas->GetSize(), *rasterizer, previewCharacters);
}

void GuiMain::onPaintStored(wxPaintEvent&)
{
    wxPaintDC dc(storedCanvas);
    const glyphsmith::HeightCheck check = glyphsmith::checkFontHeight(narrowOrEmpty(heightText->GetValue()));
    std::optional<uint32_t> height;
    if (check.status == glyphsmith::HeightStatus::Valid)
        height = check.height;
    storedGlyphs.paint(dc, storedCanvas->GetSize(), *rasterizer, slots, height);
}

void GuiMain::onHeightChange(wxCommandEvent&)
{
    storedCanvas->Refresh();
}

void GuiMain::onExport(wxCommandEvent&)
{
    const glyphsmith::HeightCheck check = glyphsmith::checkFontHeight(narrowOrEmpty(heightText->GetValue()));
    if (check.status == glyphsmith::HeightStatus::NotANumber) {
        showError(glyphsmith::kInvalidFontSize);
        return;
    }
    if (check.status == glyphsmith::HeightStatus::OutOfRange) {
        showError(glyphsmith::fontHeightOutOfRangeMessage());
        return;
    }
    if (!rasterizer->hasFont()) {
        showError(glyphsmith::kNoFontLoaded);
        return;
    }
    const glyphsmith::ExportFormat format = exportFormat();
    const bool mapped = codePageChoice->GetSelection() > 0 ||
        std::any_of(overrides.begin(), overrides.end(), [](const std::optional<uint32_t>& c) { return c.has_value(); });
    const std::string problem = glyphsmith::exportProblem(charCodes, mapped, format);
    if (!problem.empty()) {
        showError(fromNarrow(problem.c_str()));
        return;
    }
    exportAtHeight(check.height, format);
}

bool GuiMain::writeExport(
    const glyphsmith::ExportTarget& target, uint32_t height, const glyphsmith::ExportFormat& format)
{
    std::string failed;
    if (format.bpp == 0) {
        const FontGlyphSet glyphs = renderFontGlyphs(FontSources{rasterizer}, height, slots);
        failed = writeFontSource(glyphs, target.fontName, target.outputDir, {}, format.rotations);
    } else {
        const GlyphRendering rendering = format.bpp == 1 ? GlyphRendering::Mono : GlyphRendering::Grey;
        const PackedGlyphSet glyphs = renderPackedGlyphs(FontSources{rasterizer}, height, charCodes, rendering);
        const PackedFontOptions options{format.bpp, format.compressed, format.rotations};
        failed = writePackedFontSource(glyphs, options, target.fontName, target.outputDir);
    }
    if (!failed.empty())
        showError(glyphsmith::kErrorWritingFile);
    return failed.empty();
}

void GuiMain::exportAtHeight(uint32_t height, const glyphsmith::ExportFormat& format)
{
    wxString chosenPath;
    {
        wxFileDialog dialog(this, glyphsmith::kSaveSourceTitle, "", "", glyphsmith::kSourceFileFilter,
            wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (dialog.ShowModal() != wxID_OK)
            return;
        chosenPath = dialog.GetPath();
    }
    std::string narrowPath;
    if (!toNarrow(chosenPath, narrowPath) || narrowPath.empty()) {
        showError(glyphsmith::kInvalidFileName);
        return;
    }
    glyphsmith::ExportTarget target = glyphsmith::exportTarget(narrowPath);
    sanitizeFontName(target.fontName);
    try {
        if (!writeExport(target, height, format))
            return;
        const std::string stem = target.outputDir + target.fontName;
        const wxString message = wxString::Format(
            glyphsmith::kExportedFormat, fromNarrow((stem + ".cpp").c_str()), fromNarrow((stem + ".h").c_str()));
        wxMessageDialog done(this, message, glyphsmith::kExportedCaption, wxOK | wxICON_INFORMATION);
        done.ShowModal();
    } catch (const FTException& error) {
        showError(fromNarrow(error.what()));
    } catch (const std::runtime_error& error) {
        showError(fromNarrow(error.what()));
    }
}

void GuiMain::showError(const wxString& message)
{
    wxMessageDialog box(this, message, glyphsmith::kErrorCaption, wxOK | wxICON_ERROR);
    box.ShowModal();
}
