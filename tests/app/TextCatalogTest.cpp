#include "app/TextCatalog.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::int32_t kGerman = 1;
constexpr std::int32_t kEnglish = 2;
constexpr std::int32_t kDutch = 3;

struct LanguageColumn {
    const char* name;
    const char* TextCatalogEntry::*text;
};

constexpr std::array<LanguageColumn, 3> kColumns = {{
    {"German", &TextCatalogEntry::german},
    {"English", &TextCatalogEntry::english},
    {"Dutch", &TextCatalogEntry::dutch},
}};

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

// True if every '%' in text starts a "%s".
bool OnlyStringPlaceholders(std::string_view text) {
    for (std::size_t pos = text.find('%'); pos != std::string_view::npos;
         pos = text.find('%', pos + 1)) {
        if (pos + 1 >= text.size() || text[pos + 1] != 's') {
            return false;
        }
    }
    return true;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        if (overlong || surrogate || code > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

const TextCatalogEntry& Row(std::int32_t id) {
    return CTextCatalog::Table()[id];
}

// Makes the shared message buffer hold a known German message.
std::string ProvokeGermanMessage(std::int32_t id) {
    CTextCatalog german;
    german.Init(kGerman);
    return german.GetText(id);
}

// ---------------------------------------------------------------------------
// Lookup rules

TEST(TextCatalogLookup, StartsInGermanWithNothingSearchable) {
    CTextCatalog catalog;
    EXPECT_EQ(catalog.Language(), kGerman);
    EXPECT_STREQ(catalog.GetText(1), "FEHLER: Text ID (1) nicht gefunden");
    EXPECT_STREQ(catalog.GetText(148), "FEHLER: Text ID (148) nicht gefunden");
}

TEST(TextCatalogLookup, InitSetsLanguageWithoutRangeCheck) {
    CTextCatalog catalog;
    catalog.Init(kDutch);
    EXPECT_EQ(catalog.Language(), kDutch);
    catalog.Init(0);
    EXPECT_EQ(catalog.Language(), 0);
    catalog.Init(-7);
    EXPECT_EQ(catalog.Language(), -7);
}

TEST(TextCatalogLookup, FoundTextsComeFromTheTableColumnOfTheLanguage) {
    CTextCatalog catalog;
    for (std::int32_t language = kGerman; language <= kDutch; ++language) {
        catalog.Init(language);
        const LanguageColumn& column = kColumns[static_cast<std::size_t>(language - 1)];
        for (std::int32_t id = 1; id < kTextCatalogSize - 1; ++id) {
            // The very pointer of the table, not a copy.
            EXPECT_EQ(catalog.GetText(id), Row(id).*column.text) << column.name << " id " << id;
        }
    }
}

TEST(TextCatalogLookup, LanguageSwitchAppliesToLaterLookups) {
    CTextCatalog catalog;
    catalog.Init(kDutch);
    EXPECT_STREQ(catalog.GetText(29), "STOPPEN");
    catalog.Init(kGerman);
    EXPECT_STREQ(catalog.GetText(29), "ENDE");
    catalog.Init(kEnglish);
    EXPECT_STREQ(catalog.GetText(29), "END");
}

TEST(TextCatalogLookup, SentinelsAreNeverReturned) {
    CTextCatalog catalog;
    catalog.Init(kEnglish);
    EXPECT_STREQ(catalog.GetText(0), "ERROR: TEXT ID (0) not found");
    EXPECT_STREQ(catalog.GetText(149), "ERROR: TEXT ID (149) not found");
    catalog.Init(kGerman);
    EXPECT_STREQ(catalog.GetText(0), "FEHLER: Text ID (0) nicht gefunden");
    EXPECT_STREQ(catalog.GetText(149), "FEHLER: Text ID (149) nicht gefunden");
}

TEST(TextCatalogLookup, IdsOutsideTheTableGiveTheMessageOfTheLanguage) {
    CTextCatalog catalog;
    catalog.Init(kEnglish);
    EXPECT_STREQ(catalog.GetText(150), "ERROR: TEXT ID (150) not found");
    catalog.Init(kGerman);
    EXPECT_STREQ(catalog.GetText(-5), "FEHLER: Text ID (-5) nicht gefunden");
    EXPECT_STREQ(catalog.GetText(INT32_MIN), "FEHLER: Text ID (-2147483648) nicht gefunden");
}

TEST(TextCatalogLookup, MessagesShareOneBuffer) {
    CTextCatalog german;
    CTextCatalog english;
    english.Init(kEnglish);
    const char* first = german.GetText(7);
    const char* second = english.GetText(500);
    EXPECT_EQ(first, second);
    // The second failure overwrote the first message.
    EXPECT_STREQ(first, "ERROR: TEXT ID (500) not found");
}

TEST(TextCatalogLookup, DutchLeavesTheMessageBufferAsItIs) {
    ASSERT_EQ(ProvokeGermanMessage(-42), "FEHLER: Text ID (-42) nicht gefunden");
    CTextCatalog dutch;
    dutch.Init(kDutch);
    EXPECT_STREQ(dutch.GetText(0), "FEHLER: Text ID (-42) nicht gefunden");
    EXPECT_STREQ(dutch.GetText(200), "FEHLER: Text ID (-42) nicht gefunden");
}

TEST(TextCatalogLookup, UnknownLanguageGivesFixedTextForValidIds) {
    CTextCatalog catalog;
    catalog.Init(4);
    EXPECT_STREQ(catalog.GetText(1), "invalid language setting");
    EXPECT_STREQ(catalog.GetText(148), "invalid language setting");

    // A valid id gives the fixed text, not whatever the buffer holds.
    ASSERT_EQ(ProvokeGermanMessage(999), "FEHLER: Text ID (999) nicht gefunden");
    EXPECT_STREQ(catalog.GetText(1), "invalid language setting");
    // A missing id leaves the buffer alone, as under Dutch.
    EXPECT_STREQ(catalog.GetText(149), "FEHLER: Text ID (999) nicht gefunden");
}

TEST(TextCatalogLookup, ProgramCatalogueIsOneObject) {
    EXPECT_EQ(&TextCatalog(), &TextCatalog());
    const std::int32_t saved = TextCatalog().Language();
    TextCatalog().Init(kEnglish);
    EXPECT_STREQ(GetText(36), "Reverse");
    TextCatalog().Init(saved);
}

// ---------------------------------------------------------------------------
// Table shape and consistency of the three columns

TEST(TextCatalogTable, HasOneRowPerIdInOrder) {
    ASSERT_EQ(kTextCatalogSize, 150);
    const TextCatalogEntry* table = CTextCatalog::Table();
    ASSERT_NE(table, nullptr);
    for (std::int32_t i = 0; i < kTextCatalogSize; ++i) {
        EXPECT_EQ(table[i].id, i);
        for (const LanguageColumn& column : kColumns) {
            EXPECT_NE(table[i].*column.text, nullptr) << column.name << " id " << i;
        }
    }
}

TEST(TextCatalogTable, SentinelRowsMarkBothEnds) {
    EXPECT_STREQ(Row(0).german, "Erste Text ID");
    EXPECT_STREQ(Row(0).english, "First Text ID");
    EXPECT_STREQ(Row(0).dutch, "Eerste tekst ID");
    EXPECT_STREQ(Row(149).german, "Letzte Text ID");
    EXPECT_STREQ(Row(149).english, "Last Text ID");
    EXPECT_STREQ(Row(149).dutch, "Laatste tekst ID");
}

TEST(TextCatalogTable, UsableTextsAreNonEmptyValidUtf8) {
    for (std::int32_t id = 0; id < kTextCatalogSize; ++id) {
        for (const LanguageColumn& column : kColumns) {
            const std::string_view text = Row(id).*column.text;
            EXPECT_FALSE(text.empty()) << column.name << " id " << id;
            EXPECT_TRUE(IsValidUtf8(text)) << column.name << " id " << id;
        }
    }
}

TEST(TextCatalogTable, ErrorTextsAreTranslatedWithTheirOwnPrefix) {
    std::size_t errorRows = 0;
    for (std::int32_t id = 1; id < kTextCatalogSize - 1; ++id) {
        const TextCatalogEntry& row = Row(id);
        const std::string_view english = row.english;
        EXPECT_FALSE(StartsWith(row.german, "ERROR")) << "id " << id;
        EXPECT_FALSE(StartsWith(row.dutch, "ERROR")) << "id " << id;
        if (!StartsWith(english, "ERROR")) {
            EXPECT_FALSE(StartsWith(row.german, "FEHLER")) << "id " << id;
            EXPECT_FALSE(StartsWith(row.dutch, "FOUT")) << "id " << id;
            continue;
        }
        ++errorRows;
        EXPECT_TRUE(StartsWith(row.german, "FEHLER")) << "id " << id;
        EXPECT_TRUE(StartsWith(row.dutch, "FOUT")) << "id " << id;
        EXPECT_NE(english, row.german) << "id " << id;
        EXPECT_NE(english, row.dutch) << "id " << id;
    }
    EXPECT_GT(errorRows, 0u);
}

TEST(TextCatalogTable, SentencesAreTranslated) {
    for (std::int32_t id = 1; id < kTextCatalogSize - 1; ++id) {
        const std::string_view english = Row(id).english;
        if (CountOf(english, " ") < 2) {
            continue; // short captions may be the same word in every language
        }
        EXPECT_NE(english, Row(id).german) << "id " << id;
        EXPECT_NE(english, Row(id).dutch) << "id " << id;
        EXPECT_NE(std::string_view(Row(id).german), Row(id).dutch) << "id " << id;
    }
}

TEST(TextCatalogTable, PlaceholdersMatchAcrossLanguages) {
    std::size_t rowsWithPlaceholder = 0;
    for (std::int32_t id = 0; id < kTextCatalogSize; ++id) {
        const std::size_t english = CountOf(Row(id).english, "%s");
        EXPECT_LE(english, 1u) << "id " << id;
        rowsWithPlaceholder += english;
        for (const LanguageColumn& column : kColumns) {
            const std::string_view text = Row(id).*column.text;
            EXPECT_EQ(CountOf(text, "%s"), english) << column.name << " id " << id;
            EXPECT_TRUE(OnlyStringPlaceholders(text)) << column.name << " id " << id;
        }
    }
    EXPECT_EQ(rowsWithPlaceholder, 5u);
    for (std::int32_t id : {97, 98, 101, 102, 104}) {
        EXPECT_EQ(CountOf(Row(id).english, "%s"), 1u) << "id " << id;
    }
}

TEST(TextCatalogTable, LineBreaksMatchAcrossLanguages) {
    for (std::int32_t id = 0; id < kTextCatalogSize; ++id) {
        const std::string_view english = Row(id).english;
        for (const LanguageColumn& column : kColumns) {
            const std::string_view text = Row(id).*column.text;
            EXPECT_EQ(CountOf(text, "\r\n"), CountOf(english, "\r\n"))
                << column.name << " id " << id;
            EXPECT_EQ(CountOf(text, "\n\r"), CountOf(english, "\n\r"))
                << column.name << " id " << id;
            EXPECT_EQ(LineBreakChars(text), LineBreakChars(english)) << column.name << " id " << id;
        }
    }
    // The one row whose break is written the other way round keeps it so.
    EXPECT_EQ(LineBreakChars(Row(64).german), "\n\r");
    EXPECT_EQ(LineBreakChars(Row(64).dutch), "\n\r");
}

TEST(TextCatalogTable, AcceleratorsMatchAcrossLanguages) {
    std::size_t captions = 0;
    for (std::int32_t id = 0; id < kTextCatalogSize; ++id) {
        const std::size_t english = CountOf(Row(id).english, "&");
        EXPECT_LE(english, 1u) << "id " << id;
        captions += english;
        for (const LanguageColumn& column : kColumns) {
            const std::string_view text = Row(id).*column.text;
            EXPECT_EQ(CountOf(text, "&"), english) << column.name << " id " << id;
            if (english == 1) {
                // An accelerator needs a letter after it.
                const std::size_t pos = text.find('&');
                EXPECT_LT(pos + 1, text.size()) << column.name << " id " << id;
            }
        }
    }
    EXPECT_GT(captions, 0u);
}

// ---------------------------------------------------------------------------
// Rows other parts of the program rely on

TEST(TextCatalogRows, SetupCaption) {
    EXPECT_STREQ(Row(31).german, "&Einstellungen");
    EXPECT_STREQ(Row(31).english, "S&etup");
    EXPECT_STREQ(Row(31).dutch, "Voork&euren");
}

TEST(TextCatalogRows, HalfMirrorButtonsUseEachLanguagesInitials) {
    for (const LanguageColumn& column : kColumns) {
        EXPECT_STREQ(Row(37).*column.text, "R") << column.name;
        EXPECT_STREQ(Row(38).*column.text, "L") << column.name;
    }
    EXPECT_STREQ(Row(39).german, "O");
    EXPECT_STREQ(Row(40).german, "U");
    EXPECT_STREQ(Row(39).english, "U");
    EXPECT_STREQ(Row(40).english, "D");
    EXPECT_STREQ(Row(39).dutch, "B");
    EXPECT_STREQ(Row(40).dutch, "O");
}

TEST(TextCatalogRows, GermanTextsAreUtf8) {
    EXPECT_STREQ(Row(36).german, "R\xC3\xBC"
                                 "ckwarts");
    EXPECT_STREQ(Row(64).german, "FEHLER: Format nicht unterst\xC3\xBC"
                                 "tzt\n\r");
}

TEST(TextCatalogRows, ErrorAndProjectTexts) {
    EXPECT_STREQ(Row(54).german, "FEHLER:\r\nOpen AVI File");
    EXPECT_STREQ(Row(54).english, "ERROR:\r\nOpen AVI file");
    EXPECT_STREQ(Row(54).dutch, "FOUT:\r\nOpenen AVI bestand");
    EXPECT_STREQ(Row(77).dutch, "FOUT File Write:\r\nProject kan niet opgeslagen worden");
    EXPECT_STREQ(Row(97).german, "Aktuelle Overlay AVI Bild Nummer [Zeit=%s sec.]");
}

TEST(TextCatalogRows, EnglishKeepsItsOriginalWording) {
    EXPECT_STREQ(Row(87).english, "Set overlay poistion; use cursor for fine adjustment");
    EXPECT_STREQ(Row(105).english, "Select ovelay border (size and color)");
    EXPECT_STREQ(Row(128).english,
                 "ERROR:\r\nStartposition must be lower or equal then endposition");
}

TEST(TextCatalogRows, PartNamesStayInErrorTexts) {
    for (std::int32_t id : {56, 57, 58, 65}) {
        const std::string_view english = Row(id).english;
        // The part name follows "ERROR: " and ends at the first blank or line break.
        const std::string_view name = english.substr(7, english.find_first_of(" \r", 7) - 7);
        ASSERT_FALSE(name.empty()) << "id " << id;
        EXPECT_NE(std::string_view(Row(id).german).find(name), std::string_view::npos)
            << "id " << id;
        EXPECT_NE(std::string_view(Row(id).dutch).find(name), std::string_view::npos)
            << "id " << id;
    }
}

} // namespace
