// File-type categories: the captions the type selection, the filter and the results walk
// share, the typeSelection digits, and the type test applied to every candidate file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include "platform/win_types.h"

namespace app {

inline constexpr std::u16string_view kCaptionImages = u"Images(*.bmp,*.jpg,*.tif,*.png,*.gif)";
inline constexpr std::u16string_view kCaptionVideo = u"Video(*.avi,*.rmvb,*.rm,*.mp4,*.flv,*.mpg)";
inline constexpr std::u16string_view kCaptionAudio = u"Audio(*.mp3,*.wav,*.wma)";
inline constexpr std::u16string_view kCaptionDocument = u"Document(*.doc,*.docx.*.xls,*.xlsx,*.ppt,*.pptx,*.txt)";
inline constexpr std::u16string_view kCaptionAllFilesFilter = u"All Files(*.*)";
inline constexpr std::u16string_view kCaptionAllFilesSelection = u"All files(*.*)";

// typeSelection digits: each decimal digit is 1 when its category is chosen.
enum TypeDigit : int32_t {
    TYPE_ALL = 1,
    TYPE_IMAGES = 10,
    TYPE_VIDEO = 100,
    TYPE_AUDIO = 1000,
    TYPE_DOCUMENTS = 10000,
};
inline constexpr int32_t kAllTypes = TYPE_ALL;  // the starting value: every file

// Whether the digit of `digit` (1, 10, 100, ...) in `typeSelection` is 1.
bool TypeChosen(int32_t typeSelection, int32_t digit);

// The captions of the chosen categories in the order Images, Video, Audio, Document,
// joined without separators.
std::u16string TypePattern(int32_t typeSelection);

// The extension the type test looks at: the text after the last "." of the name, or the
// whole name when it has none, in lower case.
std::u16string TypeTestExtension(const WCHAR* name);

// The type test: every name passes when "all files" is chosen; otherwise the name passes
// when its extension occurs anywhere in the pattern of the chosen captions.
bool PassesTypeSelection(const WCHAR* name, int32_t typeSelection);

// "Excellent", "Good", "Poor", "None"; "Unrated" for anything else.
const char* ChanceWord(int32_t chance);

}  // namespace app
