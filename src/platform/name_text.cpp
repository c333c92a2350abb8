#include "platform/name_text.h"

#include "platform/text_encoding.h"

namespace torvane {

std::string nameText(std::string_view bytes) {
    return isValidUtf8(bytes) ? std::string(bytes) : cp949ToUtf8(bytes);
}

}  // namespace torvane
