#include "character_map.h"

#include <cctype>
#include <cerrno>
#include <iconv.h>

namespace {

// The converter of one code page to UTF-32LE, closed on every path.
class CodePageConverter {
public:
    explicit CodePageConverter(std::string_view name) : cd(iconv_open("UTF-32LE", std::string(name).c_str())) { }
    ~CodePageConverter()
    {
        if (opened())
            iconv_close(cd);
    }
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;

    bool opened() const { return cd != iconv_t(-1); }

    // The character of `byte`, or kNoCharacter when the page has none or
    // iconv gives more than one character for it.
    uint32_t character(uint8_t byte)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        char input = char(byte);
        unsigned char output[8];
        char* in = &input;
        char* out = reinterpret_cast<char*>(output);
        size_t inLeft = 1, outLeft = sizeof output;
        if (iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1) || inLeft != 0 || outLeft != sizeof output - 4)
            return kNoCharacter;
        return uint32_t(output[0]) | uint32_t(output[1]) << 8 | uint32_t(output[2]) << 16 | uint32_t(output[3]) << 24;
    }

private:
    iconv_t cd; // iconv_t(-1) when the page could not be opened
};

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

CharacterMap identityMap()
{
    CharacterMap map{};
    for (uint32_t code = 0; code < map.size(); ++code)
        map[code] = code;
    return map;
}

std::optional<std::string_view> codePageName(std::string_view name)
{
    for (std::string_view page : kCodePages)
        if (sameIgnoringCase(page, name))
            return page;
    return std::nullopt;
}

bool codePageMap(std::string_view name, CharacterMap& map)
{
    CodePageConverter converter(name);
    if (!converter.opened())
        return false;
    for (uint32_t code = 0; code < map.size(); ++code)
        map[code] = converter.character(uint8_t(code));
    return true;
}

CharacterMap withOverrides(CharacterMap base, const CharacterOverrides& overrides)
{
    for (uint32_t code = 0; code < base.size(); ++code)
        if (overrides[code])
            base[code] = *overrides[code];
    return base;
}

std::optional<uint32_t> codeOfCharacter(const CharacterMap& map, const CharacterList& candidates, uint32_t character)
{
    for (uint32_t code : candidates)
        if (code < map.size() && map[code] == character)
            return code;
    return std::nullopt;
}
