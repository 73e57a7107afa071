// CliMessages.h: the message sink of lumatex-render. Every message box the engine or a plugin would show is
// printed on stderr as one group of lines ("\n\r" breaks become plain line ends).
#pragma once

#include "platform/MessageSink.h"

#include <cstdio>
#include <string>
#include <vector>

namespace RenderCli {

// The text as lines for a terminal: "\n\r", "\r\n" and lone "\r" all become "\n"; no trailing line end.
std::string MessageAsLines(const std::string& text);

class TCliMessageSink : public IMessageSink {
public:
    explicit TCliMessageSink(std::FILE* stream) : Stream(stream) {}
    void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) override;
    // Nothing here asks; should anything ask, the answer is No, so nothing is overwritten unasked.
    bool AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) override;

private:
    std::FILE* Stream;
};

} // namespace RenderCli
