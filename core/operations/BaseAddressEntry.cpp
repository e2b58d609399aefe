#include "core/operations/BaseAddressEntry.h"

#include <cstdio>

#include "core/image/ImageFile.h"
#include "core/model/HexText.h"
#include "core/model/Messages.h"

namespace o8r {

BaseAddressEntry::BaseAddressEntry(Prompts& prompts, const MemoryMap& map)
    : m_prompts(prompts), m_map(map), m_base(DefaultBinaryBase(map)) {
    char text[16];
    std::snprintf(text, sizeof text, "%05X", static_cast<unsigned>(m_base));
    m_initialText = text;
}

bool BaseAddressEntry::PressOk(const std::string& text) {
    auto refuse = [this](const char* message) {
        m_prompts.ShowMessage(Message{message, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                                      Owner::AddressSetting});
        return false;
    };
    if (text.empty())
        return refuse(text::kNoStartAddress);
    const std::optional<std::uint64_t> value =
        text.size() <= kFieldLength ? ParseHex(text) : std::nullopt;
    if (!value)
        return refuse(text::kInputFormatError);
    if (!InMemoryMap(m_map, static_cast<std::uint32_t>(*value)))
        return refuse(text::kAddressOutOfMap);
    m_base = static_cast<std::uint32_t>(*value);
    return true;
}

}  // namespace o8r
