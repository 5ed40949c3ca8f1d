// The language of the whole program: the text catalogue and Qt's own texts
// (standard buttons of message boxes, file dialogs and their prompts), which
// come from Qt's translations installed on the machine.
#pragma once

#include <cstdint>

// Sets the catalogue to language (1 German, 2 English, 3 Dutch) and loads
// Qt's translation for it; English, or a language whose translation is not
// installed, leaves Qt's texts in English.
void SetProgramLanguage(std::int32_t language);
