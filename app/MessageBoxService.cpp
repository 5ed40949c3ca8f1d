#include "app/MessageBoxService.h"

namespace {

class SilentMessageBoxes final : public IMessageBoxService {
public:
    MessageResult Show(const std::string&, MessageButtons buttons, MessageIcon) override {
        return buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::Cancel;
    }
};

SilentMessageBoxes g_silent;
IMessageBoxService* g_service = nullptr;

} // namespace

IMessageBoxService& MessageBoxes() {
    return g_service != nullptr ? *g_service : g_silent;
}

void SetMessageBoxService(IMessageBoxService* service) {
    g_service = service;
}
