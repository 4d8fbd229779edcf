#include "ui/fltk/Fonts.h"

#include <FL/Fl.H>
#include <fontconfig/fontconfig.h>

#include <string>

namespace bootlume {
namespace {

// The family that fontconfig picks for `family` when Chinese must be shown;
// empty when the best match cannot show Chinese.
std::string ChineseFamily(const char* family) {
  std::string found;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcLangSet* languages = FcLangSetCreate();
  FcLangSetAdd(languages, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcPatternAddLangSet(pattern, FC_LANG, languages);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match != nullptr) {
    FcLangSet* supported = nullptr;
    FcChar8* name = nullptr;
    if (FcPatternGetLangSet(match, FC_LANG, 0, &supported) == FcResultMatch &&
        FcLangSetHasLang(supported, reinterpret_cast<const FcChar8*>("zh-cn")) == FcLangEqual &&
        FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) {
      found = reinterpret_cast<const char*>(name);
    }
    FcPatternDestroy(match);
  }
  FcLangSetDestroy(languages);
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace

void SetUpFonts() {
  if (!FcInit()) return;
  // FLTK keeps the name pointers. The first character gives the style:
  // blank regular, B bold, I italic, P bold italic.
  static const std::string gui = ChineseFamily("sans-serif");
  static const std::string label = ChineseFamily("SimSun");
  static const std::string faces[] = {" " + gui, "B" + gui, "I" + gui, "P" + gui, " " + label};
  if (!gui.empty()) {
    Fl::set_font(FL_HELVETICA, faces[0].c_str());
    Fl::set_font(FL_HELVETICA_BOLD, faces[1].c_str());
    Fl::set_font(FL_HELVETICA_ITALIC, faces[2].c_str());
    Fl::set_font(FL_HELVETICA_BOLD_ITALIC, faces[3].c_str());
  }
  Fl::set_font(kLabelFont, label.empty() ? Fl::get_font(FL_HELVETICA) : faces[4].c_str());
}

}  // namespace bootlume
