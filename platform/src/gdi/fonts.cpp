// gdi/fonts.cpp: GDI font objects over fontconfig and FreeType: CreateFontA, the fonts
// selected into memory contexts, GetTextMetricsA, and the test controls of fonts
// (synthetic faces, injected failures, what a handle stands for). Glyphs are in
// glyphs.cpp. Main thread; everything here runs under FontLock.
//
// Sizing follows GDI: a positive height is the cell height, split between ascent and
// descent in the ratio of the face's Windows ascent and descent (the OS/2 table, else
// the horizontal header), so tmAscent + tmDescent is exactly the height asked; the em is
// that height scaled by units-per-em over ascent + descent, in whole pixels, and the
// difference is the internal leading. A negative height is the em height itself.
#include "gdi/fontrecord.h"

#include <cstdlib>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <freetype/ftdriver.h>
#include <freetype/ftmodapi.h>
#include <freetype/tttables.h>
#include <vector>

#include "kernel/controls.h"
#include "kernel/diag.h"
#include "kernel/text.h"

#if defined(__SANITIZE_ADDRESS__)
#define QZ_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QZ_LEAK_CHECKED 1
#endif
#endif
#ifdef QZ_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace {

struct FontTable {
    std::map<HFONT, std::unique_ptr<gdi::Font>> fonts;
    std::map<HDC, HFONT> selected;  // memory contexts that hold a font
    HFONT stock = nullptr;          // what a context holds before any font is selected
    // Test controls.
    std::vector<int> failingCharSets;
    std::map<std::string, std::shared_ptr<const ptest::SyntheticFace>> synthetic;
    std::map<std::string, std::map<UINT, int>> syntheticCalls;
};

FontTable& Table() {
    static FontTable* table = new FontTable;
    return *table;
}

int RoundDiv(int64_t numerator, int64_t denominator) {
    return static_cast<int>((2 * numerator + denominator) / (2 * denominator));
}

// The language and code page that a character set stands for.
void LanguageOf(DWORD charSet, std::string* language, int* codePage) {
    int page = charSet == SHIFTJIS_CHARSET ? 932 : charSet == HANGUL_CHARSET ? 949 : static_cast<int>(GetACP());
    if (page != 949) page = 932;
    *codePage = page;
    *language = page == 949 ? "ko" : "ja";
}

bool CharSetFails(DWORD charSet) {
    for (int failing : Table().failingCharSets)
        if (failing == -1 || failing == static_cast<int>(charSet)) return true;
    return false;
}

// Loads the system's font configuration, once. fontconfig loses a few blocks parsing it,
// which are not ours to free: under LeakSanitizer they are left out of the leak check
// here, at their source. Matched against a suppression instead, they would cost every
// process that draws text a symbolized stack at its exit, a quarter of a second.
void LoadConfigurationOnce() {
    [[maybe_unused]] static const bool loaded = [] {
#ifdef QZ_LEAK_CHECKED
        __lsan::ScopedDisabler untracked;
#endif
        return FcInit() == FcTrue;
    }();
}

// Finds the face through fontconfig: the family when one is named, the language, a
// monospaced face unless a variable pitch is asked, the weight. False when fontconfig
// knows no face at all.
bool MatchFace(const std::string& family, const std::string& language, int weight, bool preferMono,
               gdi::Font* font, int* faceIndex, bool* boldFace) {
    LoadConfigurationOnce();
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language.c_str()));
    if (preferMono) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcPatternAddDouble(pattern, FC_WEIGHT, FcWeightFromOpenTypeDouble(weight > 0 ? weight : FW_NORMAL));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    FcChar8* file = nullptr;
    FcChar8* matchedFamily = nullptr;
    int index = 0;
    double matchedWeight = FC_WEIGHT_REGULAR;
    FcBool synthesised = FcFalse;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (found) {
        font->file = reinterpret_cast<const char*>(file);
        if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch)
            font->family = reinterpret_cast<const char*>(matchedFamily);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        FcPatternGetDouble(match, FC_WEIGHT, 0, &matchedWeight);
        // The system's configuration may already have marked a regular face for
        // emboldening and reported it as bold.
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &synthesised);
    }
    FcPatternDestroy(match);
    *faceIndex = index;
    *boldFace = matchedWeight >= FC_WEIGHT_DEMIBOLD && !synthesised;
    return found;
}

// Sizes an opened face and fills the metrics; false when FreeType refuses the size.
bool SizeFace(gdi::Font* font, int height) {
    FT_Face face = font->face;
    TEXTMETRICA& tm = font->metrics;
    if (!FT_IS_SCALABLE(face)) {
        // A bitmap-only face: the strike nearest the height asked.
        if (face->num_fixed_sizes <= 0) return false;
        int want = height < 0 ? -height : height, best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i)
            if (std::abs(face->available_sizes[i].height - want) < std::abs(face->available_sizes[best].height - want))
                best = i;
        if (FT_Select_Size(face, best) != 0) return false;
        font->emHeight = static_cast<int>(face->size->metrics.y_ppem);
        tm.tmAscent = static_cast<LONG>(face->size->metrics.ascender >> 6);
        tm.tmDescent = static_cast<LONG>(-face->size->metrics.descender >> 6);
        tm.tmMaxCharWidth = static_cast<LONG>(face->size->metrics.max_advance >> 6);
        tm.tmAveCharWidth = tm.tmMaxCharWidth / 2;
    } else {
        int units = face->units_per_EM > 0 ? face->units_per_EM : 2048;
        int ascent = face->ascender, descent = -face->descender;
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0)
            ascent = os2->usWinAscent, descent = static_cast<int16_t>(os2->usWinDescent);
        if (ascent + descent <= 0) ascent = units * 4 / 5, descent = units / 5;
        int total = ascent + descent;
        if (height > 0) {
            font->emHeight = RoundDiv(static_cast<int64_t>(height) * units, total);
            tm.tmAscent = RoundDiv(static_cast<int64_t>(height) * ascent, total);
            tm.tmDescent = height - tm.tmAscent;
        } else {
            font->emHeight = -height;
            tm.tmAscent = RoundDiv(static_cast<int64_t>(-height) * ascent, units);
            tm.tmDescent = RoundDiv(static_cast<int64_t>(-height) * descent, units);
        }
        if (font->emHeight < 1) font->emHeight = 1;
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font->emHeight)) != 0) return false;
        tm.tmMaxCharWidth = static_cast<LONG>(face->size->metrics.max_advance >> 6);
        int average = os2 != nullptr ? os2->xAvgCharWidth : 0;
        tm.tmAveCharWidth = average > 0 ? RoundDiv(static_cast<int64_t>(average) * font->emHeight, units)
                                        : tm.tmMaxCharWidth / 2;
    }
    if (font->embolden) tm.tmMaxCharWidth += gdi::EmboldenPixels(font->emHeight);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = tm.tmHeight - font->emHeight;
    return true;
}

void FreeFont(HFONT handle) {
    auto found = Table().fonts.find(handle);
    if (found == Table().fonts.end()) return;
    if (found->second->face != nullptr) FT_Done_Face(found->second->face);
    Table().fonts.erase(found);
    delete handle;
}

void Release(HFONT handle) {
    auto found = Table().fonts.find(handle);
    if (found == Table().fonts.end() || handle == Table().stock) return;
    gdi::Font& font = *found->second;
    if (font.heldBy > 0) --font.heldBy;
    if (font.heldBy == 0 && font.deletePending) FreeFont(handle);
}

HFONT StockFont() {
    FontTable& table = Table();
    if (table.stock == nullptr)
        table.stock = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "");
    return table.stock;
}

}  // namespace

namespace gdi {

std::recursive_mutex& FontLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

FT_Library FreeTypeLibrary() {
    static FT_Library library = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0) {
            kernel::Diag("gdi: FreeType cannot start");
            return static_cast<FT_Library>(nullptr);
        }
        // Fixed hinting engines, whatever FREETYPE_PROPERTIES says, so the bits never change
        // from one run to the next.
        FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
        FT_Property_Set(made, "truetype", "interpreter-version", &interpreter);
        FT_UInt engine = FT_HINTING_ADOBE;
        FT_Property_Set(made, "cff", "hinting-engine", &engine);
        return made;
    }();
    return library;
}

bool IsFont(HGDIOBJ object) {
    std::lock_guard<std::recursive_mutex> hold(FontLock());
    return Table().fonts.count(static_cast<HFONT>(object)) != 0;
}

HGDIOBJ SelectFont(HDC dc, HGDIOBJ object) {
    std::lock_guard<std::recursive_mutex> hold(FontLock());
    FontTable& table = Table();
    HFONT font = static_cast<HFONT>(object);
    auto next = table.fonts.find(font);
    if (next == table.fonts.end() || next->second->deletePending) return nullptr;
    auto held = table.selected.find(dc);
    HFONT previous = held != table.selected.end() ? held->second : StockFont();
    if (font != table.stock) ++next->second->heldBy;
    table.selected[dc] = font;
    Release(previous);
    return previous;
}

bool DeleteFontObject(HGDIOBJ object) {
    std::lock_guard<std::recursive_mutex> hold(FontLock());
    HFONT font = static_cast<HFONT>(object);
    auto found = Table().fonts.find(font);
    if (found == Table().fonts.end()) return false;
    if (font == Table().stock) return true;  // a stock object is never deleted
    if (found->second->heldBy > 0)
        found->second->deletePending = true;
    else
        FreeFont(font);
    return true;
}

void ForgetContextFont(HDC dc) {
    std::lock_guard<std::recursive_mutex> hold(FontLock());
    auto held = Table().selected.find(dc);
    if (held == Table().selected.end()) return;
    HFONT font = held->second;
    Table().selected.erase(held);
    Release(font);
}

Font* FontOfContext(HDC dc) {
    if (dc == nullptr) return nullptr;
    auto held = Table().selected.find(dc);
    HFONT handle = held != Table().selected.end() ? held->second : StockFont();
    auto found = Table().fonts.find(handle);
    return found != Table().fonts.end() ? found->second.get() : nullptr;
}

void CountSyntheticCall(const Font& font, UINT code) {
    if (font.synthetic) ++Table().syntheticCalls[font.synthetic->name][code];
}

}  // namespace gdi

namespace kernel {

void ResetFontControls() {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    Table().failingCharSets.clear();
    Table().synthetic.clear();
    Table().syntheticCalls.clear();
}

}  // namespace kernel

// A height of 0 takes GDI's default cell of 16 pixels.
HFONT CreateFontA(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD charSet, DWORD, DWORD, DWORD,
                  DWORD pitchAndFamily, LPCSTR faceName) {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    if (CharSetFails(charSet))
        return kernel::Fail<HFONT>(ERROR_INVALID_PARAMETER, nullptr, "gdi: CreateFontA charset %u: injected failure",
                                   static_cast<unsigned>(charSet));
    if (height == 0) height = 16;
    auto font = std::make_unique<gdi::Font>();
    font->weight = weight;
    font->charSet = static_cast<BYTE>(charSet);
    font->pitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    LanguageOf(charSet, &font->language, &font->codePage);
    std::string family = faceName != nullptr ? kernel::Cp932ToUtf8(faceName) : std::string();

    TEXTMETRICA& tm = font->metrics;
    auto synthetic = Table().synthetic.find(family);
    if (!family.empty() && synthetic != Table().synthetic.end()) {
        const ptest::SyntheticFace& face = *synthetic->second;
        font->synthetic = synthetic->second;
        font->family = face.name;
        font->emHeight = face.height;
        tm.tmHeight = face.height;
        tm.tmAscent = face.ascent;
        tm.tmDescent = face.height - face.ascent;
        tm.tmMaxCharWidth = face.maxCharWidth;
        tm.tmAveCharWidth = face.aveCharWidth > 0 ? face.aveCharWidth : face.maxCharWidth / 2;
    } else {
        FT_Library library = gdi::FreeTypeLibrary();
        int index = 0;
        bool boldFace = false;
        bool mono = (pitchAndFamily & 3) != VARIABLE_PITCH;
        if (library == nullptr || !MatchFace(family, font->language, weight, mono, font.get(), &index, &boldFace))
            return kernel::Fail<HFONT>(ERROR_INVALID_PARAMETER, nullptr, "gdi: CreateFontA \"%s\": no face found",
                                       family.c_str());
        if (FT_New_Face(library, font->file.c_str(), index, &font->face) != 0)
            return kernel::Fail<HFONT>(ERROR_INVALID_PARAMETER, nullptr, "gdi: CreateFontA: cannot open %s",
                                       font->file.c_str());
        font->embolden = weight >= 600 && !boldFace;
        if (!SizeFace(font.get(), height)) {
            FT_Done_Face(font->face);
            return kernel::Fail<HFONT>(ERROR_INVALID_PARAMETER, nullptr, "gdi: CreateFontA: %s cannot take height %d",
                                       font->file.c_str(), height);
        }
    }
    tm.tmExternalLeading = 0;
    tm.tmWeight = weight;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmCharSet = static_cast<BYTE>(charSet);
    tm.tmPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    HFONT handle = new HFONT__();
    Table().fonts[handle] = std::move(font);
    return handle;
}

BOOL GetTextMetricsA(HDC dc, LPTEXTMETRICA metrics) {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    gdi::Font* font = gdi::FontOfContext(dc);
    if (font == nullptr || metrics == nullptr) return FALSE;
    *metrics = font->metrics;
    return TRUE;
}

namespace ptest {

void FailCreateFont(int charSet, bool fail) {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    auto& failing = Table().failingCharSets;
    for (auto it = failing.begin(); it != failing.end();)
        it = *it == charSet ? failing.erase(it) : it + 1;
    if (fail) failing.push_back(charSet);
}

void RegisterSyntheticFace(const SyntheticFace& face) {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    Table().synthetic[face.name] = std::make_shared<const SyntheticFace>(face);
    Table().syntheticCalls.erase(face.name);
}

int GetSyntheticGlyphCalls(const std::string& faceName, UINT code) {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    auto face = Table().syntheticCalls.find(faceName);
    if (face == Table().syntheticCalls.end()) return 0;
    auto count = face->second.find(code);
    return count != face->second.end() ? count->second : 0;
}

FontView GetFontView(HFONT handle) {
    std::lock_guard<std::recursive_mutex> hold(gdi::FontLock());
    FontView view;
    auto found = Table().fonts.find(handle);
    if (found == Table().fonts.end()) return view;
    const gdi::Font& font = *found->second;
    view.exists = true;
    view.synthetic = font.synthetic != nullptr;
    view.family = font.family;
    view.file = font.file;
    view.language = font.language;
    view.codePage = font.codePage;
    view.emHeight = font.emHeight;
    view.emboldened = font.embolden;
    return view;
}

}  // namespace ptest
