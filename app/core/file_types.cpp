#include "app/core/file_types.h"

namespace app {

bool TypeChosen(int32_t typeSelection, int32_t digit) {
    if (digit <= 0) return false;
    return (typeSelection / digit) % 10 == 1;
}

std::u16string TypePattern(int32_t typeSelection) {
    std::u16string pattern;
    if (TypeChosen(typeSelection, TYPE_IMAGES)) pattern += kCaptionImages;
    if (TypeChosen(typeSelection, TYPE_VIDEO)) pattern += kCaptionVideo;
    if (TypeChosen(typeSelection, TYPE_AUDIO)) pattern += kCaptionAudio;
    if (TypeChosen(typeSelection, TYPE_DOCUMENTS)) pattern += kCaptionDocument;
    return pattern;
}

namespace {
// Lower case for the Latin letters a file extension normally holds (ASCII and Latin-1).
char16_t LowerChar(char16_t c) {
    if (c >= u'A' && c <= u'Z') return char16_t(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
    return c;
}
}  // namespace

std::u16string TypeTestExtension(const WCHAR* name) {
    std::u16string_view n = name ? std::u16string_view(name) : std::u16string_view();
    size_t dot = n.rfind(u'.');
    std::u16string ext(dot == std::u16string_view::npos ? n : n.substr(dot + 1));
    for (char16_t& c : ext) c = LowerChar(c);
    return ext;
}

bool PassesTypeSelection(const WCHAR* name, int32_t typeSelection) {
    if (TypeChosen(typeSelection, TYPE_ALL)) return true;
    return TypePattern(typeSelection).find(TypeTestExtension(name)) != std::u16string::npos;
}

const char* ChanceWord(int32_t chance) {
    switch (chance) {
        case 1: return "Excellent";
        case 2: return "Good";
        case 3: return "Poor";
        case 4: return "None";
        default: return "Unrated";
    }
}

}  // namespace app
