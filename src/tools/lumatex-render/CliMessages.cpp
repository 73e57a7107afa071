#include "CliMessages.h"

namespace RenderCli {

std::string MessageAsLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            // A pair of different line-break characters is one break.
            if (i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r') && text[i + 1] != c) ++i;
            out.push_back('\n');
        } else {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

void TCliMessageSink::ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) {
    const char* kind = icon == TMessageIcon::Error     ? "error"
                       : icon == TMessageIcon::Warning ? "warning"
                                                       : "note";
    std::fprintf(Stream, "lumatex-render: %s (%s): %s\n", kind, caption.c_str(),
                 MessageAsLines(text).c_str());
    std::fflush(Stream);
}

bool TCliMessageSink::AskYesNo(const std::string& text, const std::string& caption, TMessageIcon) {
    std::fprintf(Stream, "lumatex-render: question (%s): %s -> No\n", caption.c_str(),
                 MessageAsLines(text).c_str());
    std::fflush(Stream);
    return false;
}

} // namespace RenderCli
