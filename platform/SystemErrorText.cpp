#include "platform/SystemErrorText.h"

#if defined(_WIN32)
#include <windows.h>

#include <filesystem>

#include "platform/Utf8Path.h"

namespace o8r {

std::string SystemErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length != 0 && text != nullptr ? std::wstring(text, length) : L"";
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    if (message.empty())
        return "system error " + std::to_string(code);
    return Utf8FromPath(std::filesystem::path(message));
}

}  // namespace o8r

#endif
