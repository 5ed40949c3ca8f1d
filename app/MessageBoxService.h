// Every message box of the program goes through this service, so that the
// program shows real boxes and tests answer them without a window.
#pragma once

#include <string>

enum class MessageButtons { Ok, OkCancel, YesNoCancel };
enum class MessageIcon { None, Information, Exclamation, Stop, Question };

// Results carry the platform's button values, because the worker protocol
// hands some of them on (13 for OK, 27 for Cancel are written by the caller).
enum class MessageResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

class IMessageBoxService {
public:
    virtual ~IMessageBoxService() = default;
    // text is UTF-8 and may contain "\r\n" line breaks.
    virtual MessageResult Show(const std::string& text, MessageButtons buttons,
                               MessageIcon icon) = 0;
};

// The service in use. Until one is installed, a service that answers OK (or
// Cancel for questions) without showing anything is used.
IMessageBoxService& MessageBoxes();

// Installs a service (not owned); nullptr returns to the silent default.
void SetMessageBoxService(IMessageBoxService* service);

// Shorthand for an OK box.
inline MessageResult ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) {
    return MessageBoxes().Show(text, MessageButtons::Ok, icon);
}
