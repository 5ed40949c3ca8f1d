#include "app/TextCatalog.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::int32_t kGerman = 1;
constexpr std::int32_t kEnglish = 2;
constexpr std::int32_t kDutch = 3;

constexpr std::array<const char * TextCatalogEntry::*, 3> kColumns = {
    &TextCatalogEntry::german, &TextCatalogEntry::english, &TextCatalogEntry::dutch};

const TextCatalogEntry& Row(std::int32_t id) {
    return id >= kFirstAddedTextId ? CTextCatalog::AddedTable()[id - kFirstAddedTextId]
                                   : CTextCatalog::Table()[id];
}

// The usable ids: 1..148 of the table, then the added texts.
std::vector<std::int32_t> UsableIds() {
    std::vector<std::int32_t> ids;
    for (std::int32_t id = 1; id < kTextCatalogSize - 1; ++id) {
        ids.push_back(id);
    }
    for (std::int32_t i = 0; i < kAddedTextCount; ++i) {
        ids.push_back(kFirstAddedTextId + i);
    }
    return ids;
}

std::size_t CountOf(std::string_view text, std::string_view pattern) {
    std::size_t count = 0;
    for (std::size_t pos = text.find(pattern); pos != std::string_view::npos;
         pos = text.find(pattern, pos + pattern.size())) {
        ++count;
    }
    return count;
}

// The carriage-return and line-feed characters of a text, in order.
std::string LineBreakChars(std::string_view text) {
    std::string chars;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            chars += c;
        }
    }
    return chars;
}

// Well-formed UTF-8, as glibc's converter judges it: no overlong forms, no
// surrogates, nothing above U+10FFFF, nothing cut off.
bool IsValidUtf8(std::string_view text) {
    const iconv_t converter = iconv_open("UTF-32LE", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "no UTF-8 converter";
        return false;
    }
    std::string in(text);
    std::vector<char> out(4 * text.size() + 4);
    char* inAt = in.data();
    char* outAt = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const bool ok = iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != std::size_t(-1);
    iconv_close(converter);
    return ok && inLeft == 0;
}

TEST(TextCatalogLookup, TextsComeFromTheColumnOfTheLanguage) {
    CTextCatalog catalog;
    // Before Init nothing is found, in German.
    EXPECT_STREQ(catalog.GetText(1), "FEHLER: Text ID (1) nicht gefunden");
    EXPECT_STREQ(catalog.GetText(kFirstAddedTextId), "FEHLER: Text ID (1001) nicht gefunden");
    for (std::int32_t language = kGerman; language <= kDutch; ++language) {
        catalog.Init(language);
        TextCatalog().Init(language); // the program's, read by the shorthand
        EXPECT_EQ(TextCatalog().Language(), language);
        for (const std::int32_t id : UsableIds()) {
            // The very pointer of the table, not a copy.
            EXPECT_EQ(catalog.GetText(id), Row(id).*kColumns[std::size_t(language - 1)])
                << language << " id " << id;
            EXPECT_EQ(GetText(id), catalog.GetText(id)) << language << " id " << id;
        }
    }
    TextCatalog().Init(kGerman);
}

// Other ids give the message of the language, in one buffer for all
// catalogues: the next failure overwrites it; Dutch and unknown languages
// leave it as it is, and an unknown language gives a fixed text for valid ids.
TEST(TextCatalogLookup, OtherIdsGiveTheMessageOfTheLanguageInOneBuffer) {
    CTextCatalog german, english, dutch, unknown;
    german.Init(kGerman);
    english.Init(kEnglish);
    dutch.Init(kDutch);
    unknown.Init(4);
    const struct {
        CTextCatalog* catalog;
        std::int32_t id;
        const char* text;
    } cases[] = {{&english, 0, "ERROR: TEXT ID (0) not found"},
                 {&english, kFirstAddedTextId - 1, "ERROR: TEXT ID (1000) not found"},
                 {&english, kFirstAddedTextId + kAddedTextCount, "ERROR: TEXT ID (1014) not found"},
                 {&german, 149, "FEHLER: Text ID (149) nicht gefunden"},
                 {&german, INT32_MIN, "FEHLER: Text ID (-2147483648) nicht gefunden"},
                 {&dutch, 0, "FEHLER: Text ID (-2147483648) nicht gefunden"},
                 {&unknown, 149, "FEHLER: Text ID (-2147483648) nicht gefunden"},
                 {&unknown, 1, "invalid language setting"},
                 {&unknown, 148, "invalid language setting"}};
    for (const auto& c : cases) {
        EXPECT_STREQ(c.catalog->GetText(c.id), c.text) << c.id;
    }
    EXPECT_EQ(english.GetText(500), german.GetText(7000)); // the same buffer
}

TEST(TextCatalogTable, EveryTextIsThereInEveryLanguageInTheSameShapeErrorsNamedSo) {
    ASSERT_EQ(kTextCatalogSize, 150);
    std::size_t errorRows = 0;
    for (const std::int32_t id : UsableIds()) {
        const std::string_view english = Row(id).english;
        EXPECT_EQ(Row(id).id, id);
        for (const auto column : kColumns) {
            ASSERT_NE(Row(id).*column, nullptr) << "id " << id;
            const std::string_view text = Row(id).*column;
            EXPECT_FALSE(text.empty()) << "id " << id;
            EXPECT_TRUE(IsValidUtf8(text)) << "id " << id;
            EXPECT_EQ(CountOf(text, "&"), CountOf(english, "&")) << text; // accelerators
            EXPECT_EQ(CountOf(text, "%s"), CountOf(english, "%s")) << text;
            EXPECT_EQ(CountOf(text, "%"), CountOf(text, "%s")) << text; // nothing but %s
            EXPECT_EQ(LineBreakChars(text), LineBreakChars(english)) << text;
        }
        // Error texts start with their language's word.
        const bool error = english.starts_with("ERROR");
        errorRows += error ? 1 : 0;
        EXPECT_EQ(std::string_view(Row(id).german).starts_with("FEHLER"), error) << "id " << id;
        EXPECT_EQ(std::string_view(Row(id).dutch).starts_with("FOUT"), error) << "id " << id;
    }
    EXPECT_GT(errorRows, 10u);
}

} // namespace
