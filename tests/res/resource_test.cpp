// The update tool's resources: identifiers in resource.h, the two language scripts, and what
// windres compiled from them (templates, strings, accelerator, icon, manifest), and the icon file.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "res_file.h"

namespace {

constexpr uint16_t kEnglish = 0x0409;   // 1033
constexpr uint16_t kJapanese = 0x0411;  // 1041
constexpr uint16_t kRtIcon = 3, kRtDialog = 5, kRtString = 6, kRtAccelerator = 9, kRtGroupIcon = 14, kRtManifest = 24;

constexpr uint32_t WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000, WS_BORDER = 0x00800000,
                   WS_TABSTOP = 0x00010000, WS_GROUP = 0x00020000;
constexpr uint32_t SS_CENTER = 0x1, SS_ICON = 0x3, SS_NOPREFIX = 0x80, SS_SUNKEN = 0x1000;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x1, BS_AUTOCHECKBOX = 0x3;
constexpr uint32_t ES_AUTOHSCROLL = 0x80, ES_READONLY = 0x800;
constexpr uint32_t PBS_SMOOTH = 0x1;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ScriptPath(const char* name) {
    return std::string(BRG40FUP_RES_DIR) + "/" + name;
}

// name -> value of every #define with a number in resource.h (IDC_STATIC included).
std::vector<std::pair<std::string, long>> HeaderDefines() {
    std::vector<std::pair<std::string, long>> defines;
    std::istringstream in(ReadText(ScriptPath("resource.h")));
    const std::regex line(R"(^#define\s+(ID\w+)\s+\(?(-?(?:0x[0-9A-Fa-f]+|\d+))\)?\s*$)");
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        if (std::regex_match(text, m, line))
            defines.emplace_back(m[1], std::stol(m[2], nullptr, 0));
    }
    return defines;
}

TEST(ResourceHeader, NamesAreUniqueAndStringsAndControlsHoldTheirFixedNumbers) {
    const auto defines = HeaderDefines();
    std::set<std::string> names;
    std::map<std::string, std::set<long>> byGroup;  // IDD, IDC, IDS, IDR, commands
    for (const auto& [name, value] : defines) {
        EXPECT_TRUE(names.insert(name).second) << "defined twice: " << name;
        if (name == "IDC_STATIC") {
            EXPECT_EQ(value, -1);
            continue;
        }
        std::string group = name.substr(0, name.find('_'));
        if (group == "ID" || group == "IDM")
            group = "command";
        EXPECT_TRUE(byGroup[group].insert(value).second) << name << " repeats the number " << value;
    }
    std::set<long> strings, controls;
    for (long id = 101; id <= 125; ++id)
        strings.insert(id);
    for (long id = 1000; id <= 1007; ++id)
        controls.insert(id);
    EXPECT_EQ(byGroup["IDS"], strings);
    EXPECT_EQ(byGroup["IDC"], controls);
    EXPECT_EQ(byGroup["IDD"], (std::set<long>{100, 102}));
    EXPECT_EQ(byGroup["IDR"], (std::set<long>{128, 131}));
    EXPECT_EQ(byGroup["command"], (std::set<long>{0x0010, 32771}));
    EXPECT_EQ(byGroup.size(), 5u);
}

// The language scripts name every string once and say they are UTF-8.
TEST(ResourceScripts, LanguageScriptsAreCompleteAndUtf8) {
    struct Script {
        const char* file;
        const char* language;
    };
    for (const Script& s : {Script{"brg40fup_en.rc", "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US"},
                            Script{"brg40fup_ja.rc", "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT"}}) {
        SCOPED_TRACE(s.file);
        const std::string text = ReadText(ScriptPath(s.file));
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.find("#pragma code_page(65001)"), std::string::npos);
        EXPECT_NE(text.find(s.language), std::string::npos);
        for (const auto& [name, value] : HeaderDefines()) {
            if (name.rfind("IDS_", 0) != 0 && name.rfind("IDD_", 0) != 0)
                continue;
            const std::regex use("\\b" + name + "\\b");
            const auto count =
                std::distance(std::sregex_iterator(text.begin(), text.end(), use), std::sregex_iterator());
            EXPECT_EQ(count, 1) << name;
        }
    }
    const std::string main = ReadText(ScriptPath("brg40fup.rc"));
    EXPECT_NE(main.find("#include \"brg40fup_en.rc\""), std::string::npos);
    EXPECT_NE(main.find("#include \"brg40fup_ja.rc\""), std::string::npos);
}

class CompiledResources : public ::testing::Test {
protected:
    void SetUp() override {
        const Bytes file = ReadWholeFile(BRG40FUP_RES);
        ASSERT_FALSE(file.empty()) << BRG40FUP_RES;
        ASSERT_TRUE(ParseRes(file, m_entries));
    }
    Dialog LoadDialog(uint16_t id, uint16_t language) {
        Dialog d{};
        const ResEntry* e = FindRes(m_entries, kRtDialog, id, language);
        EXPECT_NE(e, nullptr) << "dialog " << id << " language " << language;
        if (e != nullptr) {
            EXPECT_TRUE(ParseDialog(e->data, d));
        }
        return d;
    }
    std::map<uint16_t, std::string> Strings(uint16_t language) {
        std::map<uint16_t, std::string> strings;
        for (const ResEntry& e : m_entries) {
            if (e.type != kRtString || e.language != language)
                continue;
            std::vector<std::pair<uint16_t, std::string>> block;
            EXPECT_TRUE(ParseStringBlock(e.data, e.name, block));
            for (auto& [id, text] : block)
                strings[id] = text;
        }
        return strings;
    }
    std::vector<ResEntry> m_entries;
};

struct ControlRow {
    int32_t id;
    const char* cls;  // "#128" button, "#129" edit, "#130" static, or a class name
    int16_t x, y, cx, cy;
    uint32_t styleEn, styleJa;  // without WS_GROUP, which the scripts leave to windres
    const char* textEn;
    const char* textJa;
};

const ControlRow kMainControls[] = {
    {-1, "#130", 108, 43, 32, 8, WS_CHILD | WS_VISIBLE | SS_CENTER, WS_CHILD | WS_VISIBLE, "old Ver.", u8"旧ﾊﾞｰｼﾞｮﾝ"},
    {1005, "#130", 111, 53, 24, 8, WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_CENTER,
     WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_CENTER, "", ""},
    {1004, "#128", 7, 7, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP, WS_CHILD | WS_VISIBLE | WS_TABSTOP,
     "[1] Reference", u8"①ﾌｧｲﾙ参照"},
    {1003, "#129", 60, 7, 120, 14, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, "", ""},
    {1000, "#128", 7, 27, 50, 14, WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP,
     WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP, "[2] Write", u8"②ﾌｧｰﾑ書換"},
    {1001, "msctls_progress32", 60, 27, 120, 14, WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH,
     WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, "Progress1", "Progress1"},
    {2, "#128", 7, 47, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP, WS_CHILD | WS_VISIBLE | WS_TABSTOP, "[3] Exit",
     u8"③終了"},
    {1002, "#128", 130, 7, 50, 14, WS_CHILD | WS_TABSTOP, WS_CHILD | WS_TABSTOP, "??????", u8"ﾓｰﾄﾞ変更"},
    {1, "#128", 130, 7, 50, 14, WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON, WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON,
     "OK", "OK"},
    {-1, "#130", 148, 43, 32, 8, WS_CHILD | WS_VISIBLE | SS_CENTER, WS_CHILD | WS_VISIBLE, "new Ver.", u8"新ﾊﾞｰｼﾞｮﾝ"},
    {1006, "#130", 151, 53, 24, 8, WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_CENTER,
     WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_CENTER, "", ""},
    {-1, "#130", 139, 53, 8, 8, WS_CHILD | WS_VISIBLE, WS_CHILD | WS_VISIBLE, "->", u8"→"},
    {1007, "#128", 60, 52, 46, 9, WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX,
     "B40M->B40", u8"B40M→B40"},
};

const ControlRow kAboutControls[] = {
    {-1, "#130", 11, 17, 20, 20, WS_CHILD | WS_VISIBLE | SS_ICON, WS_CHILD | WS_VISIBLE | SS_ICON, "#128", "#128"},
    {-1, "#130", 40, 10, 119, 8, WS_CHILD | WS_VISIBLE | SS_NOPREFIX, WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
     "Brg40mFup Version 1.00", "Brg40mFup Version 1.00"},
    {-1, "#130", 40, 25, 188, 8, WS_CHILD | WS_VISIBLE, WS_CHILD | WS_VISIBLE, nullptr, nullptr},  // wording is ours
    {1, "#128", 178, 7, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, "OK", "OK"},
};

template <size_t N>
void ExpectControls(const Dialog& d, const ControlRow (&rows)[N], bool japanese) {
    ASSERT_EQ(d.items.size(), N);  // template order is the tab order
    for (size_t i = 0; i < N; ++i) {
        const ControlRow& row = rows[i];
        const DialogItem& item = d.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(row.id));
        EXPECT_EQ(item.id, row.id);
        EXPECT_EQ(item.cls, row.cls);
        EXPECT_EQ(item.x, row.x);
        EXPECT_EQ(item.y, row.y);
        EXPECT_EQ(item.cx, row.cx);
        EXPECT_EQ(item.cy, row.cy);
        EXPECT_EQ(item.style & ~WS_GROUP, japanese ? row.styleJa : row.styleEn);
        EXPECT_EQ(item.exStyle, 0u);
        const char* text = japanese ? row.textJa : row.textEn;
        if (text != nullptr) {
            EXPECT_EQ(item.text, text);
        } else {
            EXPECT_FALSE(item.text.empty());
        }
    }
}

TEST_F(CompiledResources, MainWindowTemplateInBothLanguages) {
    struct Case {
        uint16_t language;
        const char* title;
        const char* font;
    };
    for (const Case& c : {Case{kEnglish, "NKV-BRG40M FirmwareUpdateTool", "MS Sans Serif"},
                          Case{kJapanese, u8"NKV-BRG40M ﾌｧｰﾑｱｯﾌﾟﾂｰﾙ", u8"ＭＳ Ｐゴシック"}}) {
        SCOPED_TRACE(c.language);
        const Dialog d = LoadDialog(102, c.language);
        EXPECT_TRUE(d.extended);
        EXPECT_EQ(d.style, 0x90CA00C0u);
        EXPECT_EQ(d.exStyle, 0x00040000u);  // WS_EX_APPWINDOW
        EXPECT_EQ(d.cx, 187);
        EXPECT_EQ(d.cy, 68);
        EXPECT_EQ(d.title, c.title);
        EXPECT_EQ(d.font, c.font);
        EXPECT_EQ(d.pointSize, 9);
        EXPECT_EQ(d.italic, 0);
        ExpectControls(d, kMainControls, c.language == kJapanese);
    }
}

TEST_F(CompiledResources, AboutBoxTemplateInBothLanguages) {
    struct Case {
        uint16_t language;
        const char* title;
        const char* font;
    };
    for (const Case& c : {Case{kEnglish, "About Brg40mFup", "MS Sans Serif"},
                          Case{kJapanese, u8"Brg40mFupのﾊﾞｰｼﾞｮﾝ情報", u8"ＭＳ Ｐゴシック"}}) {
        SCOPED_TRACE(c.language);
        const Dialog d = LoadDialog(100, c.language);
        EXPECT_FALSE(d.extended);
        EXPECT_EQ(d.style, 0x80C800C0u);
        EXPECT_EQ(d.exStyle, 0u);
        EXPECT_EQ(d.cx, 235);
        EXPECT_EQ(d.cy, 55);
        EXPECT_EQ(d.title, c.title);
        EXPECT_EQ(d.font, c.font);
        EXPECT_EQ(d.pointSize, 9);
        ExpectControls(d, kAboutControls, c.language == kJapanese);
    }
}

TEST_F(CompiledResources, StringsExistInBothLanguages) {
    for (uint16_t language : {kEnglish, kJapanese}) {
        SCOPED_TRACE(language);
        const auto strings = Strings(language);
        ASSERT_EQ(strings.size(), 25u);
        EXPECT_EQ(strings.begin()->first, 101);
        EXPECT_EQ(strings.rbegin()->first, 125);
        for (const auto& [id, text] : strings)
            EXPECT_FALSE(text.empty()) << id;
    }
    // English texts are plain ASCII; no Japanese text is left in English.
    for (const auto& [id, text] : Strings(kEnglish)) {
        for (unsigned char ch : text)
            EXPECT_LT(ch, 0x80) << id;
    }
}

struct StringRow {
    uint16_t id;
    const char* english;
    const char* japanese;
};

// The tricky ones: line feeds, format fields, half-width katakana, the texts that look like slips
// (NKV-BRG40 without M, the unclosed parenthesis, 122 in English equal to 110).
const StringRow kSampleStrings[] = {
    {101, "&About Brg40mFup...", u8"Brg40mFup のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
    {102, "Get version information", u8"ﾊﾞｰｼﾞｮﾝ情報の取得"},
    {110, "Firmware updated", u8"ﾌｧｰﾑｳｪｱ更新"},
    {111,
     "Fail to get version information.\n\nNKV-BRG40M may not be connected or the utility was finished while updating "
     "firmware.\n\nIf NKV-BRG40M is connected, firmware update can be continued.\n(If NKV-BRG40M is not connected, "
     "connect the NKV-BRG40 and then click OK button.)",
     u8"ﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝが取得できませんでした。\n\nNKV-"
     u8"BRG40Mが接続されていないか、\n前回ﾌｧｰﾑｳｪｱの更新途中でｱﾌﾟﾘｹｰｼｮﾝを終了した可能性があります。\n\nNKV-"
     u8"BRG40Mが接続されている場合はこのままﾌｧｰﾑｳｪｱの更新を続行しても問題はありません。\n(NKV-"
     u8"BRG40Mが接続されていない場合は接続してからOKﾎﾞﾀﾝを押してください。"},
    {114, "Selected firmware version is %X.%02X.\nSame or an older version of firmware is selected.\nDo you continue?",
     u8"書き込もうとしているﾌｧｰﾑｳｪｱのﾊﾞｰｼﾞｮﾝは%X.%"
     u8"02Xです。\n現在のﾌｧｰﾑｳｪｱﾊﾞｰｼﾞｮﾝと同じか古いものが選択されています。\nﾌｧｰﾑｳｪｱの書き換えを行いますか?"},
    {115, "Checksum is not matched.\nRetry to select firmware data for NKV-BRG40M.\nUpdate process will be stopped.",
     u8"ﾁｪｯｸｻﾑが一致しません。\n再度NKV-BRG40用のﾌｧｰﾑｳｪｱﾃﾞｰﾀを参照してください。\nﾌｧｰﾑｳｪｱの書き換えを中断します。"},
    {122, "Firmware updated", u8"ﾌｧｰﾑｳｪｱ書き換え"},
};

TEST_F(CompiledResources, SampleStringsCharacterForCharacter) {
    const auto english = Strings(kEnglish);
    const auto japanese = Strings(kJapanese);
    for (const StringRow& row : kSampleStrings) {
        SCOPED_TRACE(row.id);
        ASSERT_EQ(english.count(row.id), 1u);
        ASSERT_EQ(japanese.count(row.id), 1u);
        EXPECT_EQ(english.at(row.id), row.english);
        EXPECT_EQ(japanese.at(row.id), row.japanese);
    }
}

TEST_F(CompiledResources, AcceleratorIsCtrlShiftAltF10ForCommand32771) {
    int tables = 0;
    for (const ResEntry& e : m_entries) {
        if (e.type != kRtAccelerator)
            continue;
        ++tables;
        EXPECT_EQ(e.name, 131);
        std::vector<Accelerator> entries;
        ASSERT_TRUE(ParseAccelerators(e.data, entries));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].flags, 0x9F);  // VIRTKEY NOINVERT SHIFT CONTROL ALT, end of table
        EXPECT_EQ(entries[0].key, 0x79);    // VK_F10
        EXPECT_EQ(entries[0].command, 32771);
    }
    EXPECT_EQ(tables, 1);
}

TEST_F(CompiledResources, IconGroupHoldsThreeImagesOf24Bits) {
    const ResEntry* group = nullptr;
    int groups = 0;
    for (const ResEntry& e : m_entries) {
        if (e.type == kRtGroupIcon)
            ++groups, group = &e;
    }
    ASSERT_EQ(groups, 1);
    EXPECT_EQ(group->name, 128);
    std::vector<IconGroupEntry> images;
    ASSERT_TRUE(ParseIconGroup(group->data, images));
    ASSERT_EQ(images.size(), 3u);
    const uint8_t sizes[] = {16, 32, 48};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(images[i].width, sizes[i]);
        EXPECT_EQ(images[i].height, sizes[i]);
        EXPECT_EQ(images[i].bitCount, 24);
        const ResEntry* icon = FindRes(m_entries, kRtIcon, images[i].id, group->language);
        ASSERT_NE(icon, nullptr);
        ASSERT_GE(icon->data.size(), 40u);
        EXPECT_EQ(icon->data.size(), images[i].bytes);
        EXPECT_EQ(icon->data[14] | (icon->data[15] << 8), 24);  // biBitCount
    }
}

TEST_F(CompiledResources, ManifestAsksForAdministratorAndNothingElse) {
    int manifests = 0;
    for (const ResEntry& e : m_entries) {
        if (e.type != kRtManifest)
            continue;
        ++manifests;
        EXPECT_EQ(e.name, 1);
        const std::string text(e.data.begin(), e.data.end());
        EXPECT_NE(text.find(R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>)"),
                  std::string::npos);
        // Elements: assembly, trustInfo, security, requestedPrivileges, requestedExecutionLevel.
        const std::regex element("<([A-Za-z]+)");
        std::vector<std::string> names;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), element); it != std::sregex_iterator(); ++it) {
            names.push_back((*it)[1]);
        }
        EXPECT_EQ(names, (std::vector<std::string>{"assembly", "trustInfo", "security", "requestedPrivileges",
                                                   "requestedExecutionLevel"}));
    }
    EXPECT_EQ(manifests, 1);
}

TEST(IconFile, ThreeImagesOf16To48PixelsAt24Bits) {
    const Bytes ico = ReadWholeFile(BRG40FUP_ICON);
    ASSERT_GE(ico.size(), 6u + 3 * 16);
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(ico[at] | (ico[at + 1] << 8)); };
    auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
    EXPECT_EQ(u16(0), 0u);
    EXPECT_EQ(u16(2), 1u);  // icon
    ASSERT_EQ(u16(4), 3u);
    const uint32_t sizes[] = {16, 32, 48};
    size_t end = 6 + 3 * 16;
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(sizes[i]);
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(ico[entry], sizes[i]);
        EXPECT_EQ(ico[entry + 1], sizes[i]);
        EXPECT_EQ(u16(entry + 6), 24u);  // bits per pixel in the directory
        const uint32_t bytes = u32(entry + 8);
        const uint32_t offset = u32(entry + 12);
        ASSERT_EQ(offset, end);  // images follow each other without gaps
        ASSERT_LE(static_cast<size_t>(offset) + bytes, ico.size());
        EXPECT_EQ(u32(offset), 40u);               // BITMAPINFOHEADER
        EXPECT_EQ(u32(offset + 4), sizes[i]);      // width
        EXPECT_EQ(u32(offset + 8), 2 * sizes[i]);  // colour bits and mask
        EXPECT_EQ(u16(offset + 14), 24u);          // biBitCount
        const uint32_t rowBytes = (sizes[i] * 3 + 3) / 4 * 4;
        const uint32_t maskBytes = (sizes[i] + 31) / 32 * 4;
        EXPECT_EQ(bytes, 40 + (rowBytes + maskBytes) * sizes[i]);
        end = offset + bytes;
    }
    EXPECT_EQ(end, ico.size());
}

}  // namespace
