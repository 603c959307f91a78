#include "character_map.h"

#include "ds_bytes.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
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
        return dsLoadLittle32(output);
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

bool hasUnicodePrefix(std::string_view text)
{
    return text.size() >= 2 && (text[0] == 'U' || text[0] == 'u') && text[1] == '+';
}

std::optional<uint32_t> unicodeNotation(std::string_view text)
{
    constexpr size_t kLongestHex = 6; // U+10FFFF
    if (!hasUnicodePrefix(text))
        return std::nullopt;
    const std::string digits(text.substr(2));
    if (digits.empty() || digits.size() > kLongestHex || digits.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        return std::nullopt;
    return uint32_t(std::strtoul(digits.c_str(), nullptr, 16));
}

MappingCheck addMapping(const CharacterList& codes, uint64_t first, CharacterOverrides& overrides, uint32_t& conflict)
{
    const uint64_t last = first + codes.size() - 1;
    if (last > kLargestCharacter)
        return MappingCheck::BeyondUnicode;
    if (first <= kLastSurrogate && last >= kFirstSurrogate)
        return MappingCheck::Surrogate;
    for (size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] <= kLargestFontCode && overrides[codes[i]] && *overrides[codes[i]] != first + i) {
            conflict = codes[i];
            return MappingCheck::TwoCharacters;
        }
    }
    for (size_t i = 0; i < codes.size(); ++i)
        if (codes[i] <= kLargestFontCode)
            overrides[codes[i]] = uint32_t(first + i);
    return MappingCheck::Accepted;
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
