#include "app/core/result_paths.h"

namespace app {

std::u16string RemoveMadeUpFolders(std::u16string_view path) {
    std::u16string out;
    out.reserve(path.size());
    size_t pos = 0;
    while (pos < path.size()) {
        size_t hit = path.find(kMadeUpFolderComponent, pos);
        if (hit == std::u16string_view::npos) {
            out.append(path.substr(pos));
            break;
        }
        out.append(path.substr(pos, hit - pos));
        pos = hit + kMadeUpFolderComponent.size();
    }
    return out;
}

std::u16string SafeComponent(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out) {
        if (c == u'/' || c < 0x20 || c == 0x7F) c = u'_';
    }
    if (out.empty() || out == u"." || out == u"..") out.insert(out.begin(), u'_');
    return out;
}

std::u16string NumberedName(std::u16string_view name, int number) {
    std::u16string num = u" (";
    for (char c : std::to_string(number)) num += char16_t(c);
    num += u")";
    size_t dot = name.rfind(u'.');
    if (dot != std::u16string_view::npos && name.size() >= 4 && dot == name.size() - 4) {
        return std::u16string(name.substr(0, dot)) + num + std::u16string(name.substr(dot));
    }
    return std::u16string(name) + num;
}

}  // namespace app
