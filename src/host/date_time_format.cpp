// FormatDateTime: the date patterns of display texts, file names and log lines.
#include <cstddef>

#include "host/ascii_case.h"
#include "host/date_time.h"

namespace plb {
namespace {

class DateFormatter {
 public:
  DateFormatter(TDateTime value, const DateWords& words)
      : f_(DecodeDateTime(value)), day_of_week_(DayOfWeek(value)), words_(words) {}

  void Append(std::string_view pattern, int depth) {
    char last_letter = ' ';
    size_t i = 0;
    while (i < pattern.size()) {
      const char c = pattern[i];
      if (c == '"' || c == '\'') {
        const size_t end = pattern.find(c, i + 1);
        out_ += pattern.substr(i + 1, end == std::string_view::npos ? end : end - i - 1);
        i = end == std::string_view::npos ? pattern.size() : end + 1;
        continue;
      }
      char letter = AsciiLower(c);
      if (letter < 'a' || letter > 'z') {
        out_ += c;  // "/" and ":" are fixed separators, so every other character is literal too
        ++i;
        continue;
      }
      // "m" right after an hour field means minutes ("hh:mm").
      if (letter == 'm' && last_letter == 'h') letter = 'n';
      last_letter = letter;
      size_t count = 1;
      while (i + count < pattern.size() && AsciiLower(pattern[i + count]) == AsciiLower(c)) ++count;
      if (letter == 'a') {
        i += AppendAmPm(pattern, i);
        continue;
      }
      if (!AppendField(letter, count, pattern.substr(i + count), depth)) {
        out_ += c;
        count = 1;
      }
      i += count;
    }
  }

  std::string Take() { return std::move(out_); }

 private:
  void Number(int value, int digits) {
    std::string text = std::to_string(value);
    if (text.size() < static_cast<size_t>(digits)) out_.append(digits - text.size(), '0');
    out_ += text;
  }

  void Composite(std::string_view pattern, int depth) {
    if (depth < 4) Append(pattern, depth + 1);
  }

  // Appends the field of `count` times `letter`; false when the letter is no field.
  bool AppendField(char letter, size_t count, std::string_view rest, int depth) {
    switch (letter) {
      case 'y':
        if (count <= 2)
          Number(f_.year % 100, 2);
        else
          Number(f_.year, 4);
        return true;
      case 'm':
        if (count <= 2)
          Number(f_.month, static_cast<int>(count));
        else
          out_ += count == 3 ? words_.short_months[f_.month - 1] : words_.long_months[f_.month - 1];
        return true;
      case 'd':
        if (count <= 2)
          Number(f_.day, static_cast<int>(count));
        else if (count == 3)
          out_ += words_.short_days[day_of_week_ - 1];
        else if (count == 4)
          out_ += words_.long_days[day_of_week_ - 1];
        else
          Composite(count == 5 ? words_.short_date : words_.long_date, depth);
        return true;
      case 'h': {
        int hour = f_.hour;
        if (HasAmPmField(rest)) hour = hour % 12 == 0 ? 12 : hour % 12;
        Number(hour, count >= 2 ? 2 : 1);
        return true;
      }
      case 'n':
        Number(f_.minute, count >= 2 ? 2 : 1);
        return true;
      case 's':
        Number(f_.second, count >= 2 ? 2 : 1);
        return true;
      case 'z':
        Number(f_.millisecond, count >= 2 ? 3 : 1);
        return true;
      case 't':
        Composite(count == 1 ? words_.short_time : words_.long_time, depth);
        return true;
      case 'c':
        Composite(words_.short_date, depth);
        if (f_.hour != 0 || f_.minute != 0 || f_.second != 0) {
          out_ += ' ';
          Composite(words_.long_time, depth);
        }
        return true;
      default:
        return false;
    }
  }

  // "am/pm" and "a/p" repeat the pattern's own letters; "ampm" takes the words' texts. Answers
  // the pattern characters used.
  size_t AppendAmPm(std::string_view pattern, size_t at) {
    const bool pm = f_.hour >= 12;
    if (AsciiStartsWithNoCase(pattern.substr(at), "am/pm")) {
      out_ += pattern.substr(pm ? at + 3 : at, 2);
      return 5;
    }
    if (AsciiStartsWithNoCase(pattern.substr(at), "a/p")) {
      out_ += pattern[pm ? at + 2 : at];
      return 3;
    }
    if (AsciiStartsWithNoCase(pattern.substr(at), "ampm")) {
      out_ += pm ? words_.pm : words_.am;
      return 4;
    }
    out_ += pattern[at];
    return 1;
  }

  // Whether an am/pm field follows (outside quoted text), which makes hours count to 12.
  static bool HasAmPmField(std::string_view rest) {
    for (size_t i = 0; i < rest.size(); ++i) {
      if (rest[i] == '"' || rest[i] == '\'') {
        const size_t end = rest.find(rest[i], i + 1);
        if (end == std::string_view::npos) return false;
        i = end;
      } else if (AsciiStartsWithNoCase(rest.substr(i), "am/pm") || AsciiStartsWithNoCase(rest.substr(i), "a/p") ||
                 AsciiStartsWithNoCase(rest.substr(i), "ampm")) {
        return true;
      }
    }
    return false;
  }

  DateTimeFields f_;
  int day_of_week_;
  const DateWords& words_;
  std::string out_;
};

}  // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime value, const DateWords& words) {
  DateFormatter formatter(value, words);
  formatter.Append(pattern.empty() ? std::string_view("c") : pattern, 0);
  return formatter.Take();
}

}  // namespace plb
