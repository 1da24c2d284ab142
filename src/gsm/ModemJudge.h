#pragma once
// How a test reads the device's reply to its frame: a table of the modem's
// words in the order they are tried, first match wins; then the modem's
// unexpected text if the device answered at all; then "no answer".
#include <string>
#include <string_view>
#include <vector>

namespace ktx::gsm {

struct ReplyRule {
    const char* word;     // searched anywhere in the reply, case-sensitively
    const char* message;  // UTF-8 console line; nullptr writes none; a "%s"
                          // receives the reply after the word
    bool success;
};

struct ReplyTable {
    std::vector<ReplyRule> rules;
    // With "GSMCOMMAND=" in the reply and no rule matched: this format with the
    // modem's text; nullptr: go on to `otherwise`.
    const char* unknown = nullptr;
    // Nothing matched: this format with the whole reply; nullptr: the
    // no-answer line.
    const char* otherwise = nullptr;
};

struct Verdict {
    bool success = false;
    bool hasLine = false;
    std::string line;  // Windows-1251, ready for the console
};

Verdict judgeReply(const ReplyTable& table, std::string_view reply);

// The console texts shared by every modem test, Windows-1251.
const std::string& separatorLine();
const std::string& noAnswerLine();

// A UTF-8 format whose "%s" are filled in turn by bytes, as a Windows-1251
// line. The bytes are inserted, never read as a format.
std::string formatLine(const char* utf8Format, std::string_view bytes);
std::string formatLine(const char* utf8Format, std::string_view first, std::string_view second);

}  // namespace ktx::gsm
