// MessageSink.h: where the program's message boxes go. The app installs a sink that shows Qt message
// boxes, tests install a recorder, and the default prints to stderr (the command-line renderer).
// Texts are passed on verbatim, "\n\r" line breaks included.
#pragma once

#include <string>
#include <vector>

enum class TMessageIcon { Error, Warning, Information, Question };

inline constexpr const char* kMessageCaption = "Lumatex";

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) = 0;
    // A modal yes/no question; true for "Yes".
    virtual bool AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) = 0;
};

// Prints "caption: text" to stderr; questions are answered "No" so that nothing is overwritten unasked.
class TStderrMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) override;
};

// Keeps every message and question; answers questions with NextAnswer.
class TRecordingMessageSink : public IMessageSink {
public:
    struct TEntry {
        std::string Text;
        std::string Caption;
        TMessageIcon Icon;
        bool Question;
    };
    std::vector<TEntry> Entries;
    bool NextAnswer = true;

    void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) override;
};

// The process-wide sink (GUI thread). Passing nullptr restores the stderr sink. The sink is not owned.
void SetMessageSink(IMessageSink* sink);
IMessageSink& MessageSink();

// Shorthands for the process-wide sink.
void ShowMessage(const std::string& text, const std::string& caption = kMessageCaption,
                 TMessageIcon icon = TMessageIcon::Error);
bool AskYesNo(const std::string& text, const std::string& caption = kMessageCaption,
              TMessageIcon icon = TMessageIcon::Question);

// Installs a sink for the lifetime of the guard and restores the previous one afterwards.
class TMessageSinkGuard {
public:
    explicit TMessageSinkGuard(IMessageSink& sink);
    ~TMessageSinkGuard();
    TMessageSinkGuard(const TMessageSinkGuard&) = delete;
    TMessageSinkGuard& operator=(const TMessageSinkGuard&) = delete;

private:
    IMessageSink* Previous;
};
