#include "font_header_text.h"

#include <cctype>

std::string fontHeaderText(const std::string& name, const std::vector<uint32_t>& rotations, std::string_view fontType)
{
    std::string guard = name;
    for (char& byte : guard)
        byte = char(std::toupper(static_cast<unsigned char>(byte)));
    std::string text = "#ifndef _FONT_" + guard + "_H\n#define _FONT_" + guard + "_H\n\n";
    text += "#include <ds_font.h>\n";
    for (uint32_t rotation : rotations)
        text += "\nextern const " + std::string(fontType) + " font_" + name + "_" + std::to_string(rotation) + ";";
    text += "\n\n#endif\n";
    return text;
}
