// A message-box service for tests: records every box and answers from a
// script (OK for plain boxes once the script is used up).
#pragma once

#include "app/MessageBoxService.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedMessageBoxes final : public IMessageBoxService {
public:
    struct Shown {
        std::string text;
        MessageButtons buttons;
        MessageIcon icon;
    };

    ScriptedMessageBoxes() { SetMessageBoxService(this); }
    ~ScriptedMessageBoxes() override { SetMessageBoxService(nullptr); }
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    // The next boxes are answered with these results, in order.
    void Answer(MessageResult result) { answers_.push_back(result); }

    MessageResult Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override {
        shown.push_back({text, buttons, icon});
        if (!answers_.empty()) {
            const MessageResult result = answers_.front();
            answers_.pop_front();
            return result;
        }
        return buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::Cancel;
    }

    std::vector<Shown> shown;

private:
    std::deque<MessageResult> answers_;
};
