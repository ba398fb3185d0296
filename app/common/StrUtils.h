#pragma once
// Small text routines the forms share: fields of ";"-separated lines, zero padding,
// repetition, and numbers written with "." as the thousands separator.
#include <exception>
#include <string>
#include <utility>

namespace mv {

// Field := the trimmed text before the first ";" of Line; Line loses that text and the
// ";". A line without ";" gives an empty field and stays as it is.
void CutFirstField(std::string& line, std::string& field);
// The trimmed text left-padded with "0" to Width characters; a text whose trimmed form
// is at least Width long comes back untouched.
std::string ZeroPad(const std::string& text, int width);
// Text repeated Count times; empty when Count is 0 or less.
std::string RepeatStr(const std::string& text, int count);
// The text without its "." characters, trimmed, read as a decimal integer; Default
// when it does not read.
int StrToIntNoDots(const std::string& text, int defaultValue);
// The text without its "." characters read as a number ("," is the decimal comma);
// 0 when it does not read.
double StrToFloatNoDots(const std::string& text);
// Blanks and control characters removed from both ends.
std::string TrimText(const std::string& text);
// Reads a whole text as a decimal integer (leading blanks and a sign allowed); throws
// EConvertError when it does not read.
int StrToIntStrict(const std::string& text);

class EConvertError : public std::exception {
public:
    explicit EConvertError(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

} // namespace mv
