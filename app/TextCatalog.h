// The user-interface texts in German, English and Dutch, looked up by text id.
// Texts are UTF-8; "&" marks a caption's keyboard accelerator.
#pragma once

#include <cstdint>

struct TextCatalogEntry {
    std::int32_t id;
    const char* german;
    const char* english;
    const char* dutch;
};

inline constexpr std::int32_t kTextCatalogSize = 150; // ids 0..149; 0 and 149 are sentinels

// Texts of windows that the classic table has no rows for (the compressor
// chooser): ids from kFirstAddedTextId on, looked up and switched with the
// language like the others.
inline constexpr std::int32_t kFirstAddedTextId = 1001;
inline constexpr std::int32_t kAddedTextCount = 13;

class CTextCatalog {
public:
    CTextCatalog() = default;
    virtual ~CTextCatalog() = default;

    // Makes the whole table (and the added texts) searchable and sets the language (1 German,
    // 2 English, 3 Dutch), without a range check.
    void Init(std::int32_t language);

    // The text of id in the current language; never null. An id outside 1..148,
    // or any id before Init, gives a "not found" message in a buffer shared by
    // all lookups (valid until the next failed lookup); an unknown language
    // gives "invalid language setting".
    const char* GetText(std::int32_t id) const;

    std::int32_t Language() const { return language_; }

    // The whole table, kTextCatalogSize entries in id order.
    static const TextCatalogEntry* Table();
    // The added texts, kAddedTextCount entries in id order.
    static const TextCatalogEntry* AddedTable();

private:
    // The entry of id among the searchable ones, or nullptr.
    const TextCatalogEntry* Find(std::int32_t id) const;

    std::int32_t language_ = 1;
    std::int32_t entryCount_ = 0;
};

// The program's one catalogue.
CTextCatalog& TextCatalog();

// Shorthand for TextCatalog().GetText(id).
inline const char* GetText(std::int32_t id) {
    return TextCatalog().GetText(id);
}
