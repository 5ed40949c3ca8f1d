// The message-box service of the desktop program: real, modal Qt boxes.
#pragma once

#include "app/MessageBoxService.h"

class QtMessageBoxService final : public IMessageBoxService {
public:
    MessageResult Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override;
};
