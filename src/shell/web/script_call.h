#pragma once
// Script calls into the service's pages. Every value that goes into a page travels as a
// JavaScript string literal made by JsStringLiteral, and function names are only ever looked up
// as property paths of the page's window, never run as code: a command's values, an address-book
// name or a tool's result cannot inject script.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plb::shell {

// A single-quoted JavaScript string literal holding exactly text (UTF-8): backslash, quotes,
// line terminators (CR, LF, U+2028, U+2029), other control characters and "<" (so "</script>"
// and "<!--" never appear) are escaped.
std::string JsStringLiteral(std::string_view text);

// A name the page may have a function under: identifiers ([A-Za-z_$][A-Za-z0-9_$]*) joined by
// single dots, at most 200 characters.
bool IsScriptFunctionName(std::string_view name);

// The script of one round trip: answers whether an inline script element of the document
// mentions name (the page's way of declaring what it offers) and, when call is set and the name
// leads to a function, calls it with args and answers true. A function that throws answers the
// text "error: <message>". name must satisfy IsScriptFunctionName.
std::string ScriptCallText(std::string_view name, const std::vector<std::string>& args, bool call);

// A call written as text ("javascript:" addresses): the function's name and its arguments, each a
// JavaScript literal (a quoted string, a number, true, false or null) kept as written.
struct TScriptCallText {
  std::string name;
  std::vector<std::string> literals;
  bool has_call = false;  // "name(...)" rather than a bare name
};

// The function name as the script text gives it: the text before the first "(", the whole text
// when "(" is missing or first.
std::string ScriptFunctionNameOf(std::string_view text);

// Reads "name(literal, ...)" with an optional ";" (or a bare name); nothing for any other text,
// so an address cannot carry an expression that runs code.
std::optional<TScriptCallText> ParseScriptCallText(std::string_view text);

// The round-trip script of a parsed call, its literals passed as they were written.
std::string ScriptCallText(const TScriptCallText& call);

}  // namespace plb::shell
