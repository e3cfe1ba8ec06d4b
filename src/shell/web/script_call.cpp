#include "shell/web/script_call.h"

#include <cstdio>

namespace plb::shell {
namespace {

bool IsIdentifierStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

bool IsIdentifierPart(char c) { return IsIdentifierStart(c) || (c >= '0' && c <= '9'); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The literals inside the parentheses of a call, each kept as written; nothing when something
// other than literals and commas stands there.
std::optional<std::vector<std::string>> ScanLiterals(std::string_view text) {
  std::vector<std::string> literals;
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip_blanks();
  if (i == text.size()) return literals;
  for (;;) {
    skip_blanks();
    if (i == text.size()) return std::nullopt;
    const size_t start = i;
    const char c = text[i];
    if (c == '\'' || c == '"') {
      ++i;
      while (i < text.size() && text[i] != c) {
        if (text[i] == '\r' || text[i] == '\n') return std::nullopt;
        i += text[i] == '\\' ? 2 : 1;
      }
      if (i >= text.size()) return std::nullopt;
      ++i;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      if (c == '-') ++i;
      const size_t digits = i;
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
      if (i == digits) return std::nullopt;
      if (i < text.size() && text[i] == '.') {
        const size_t fraction = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i == fraction) return std::nullopt;
      }
    } else {
      while (i < text.size() && IsIdentifierPart(text[i])) ++i;
      const std::string_view word = text.substr(start, i - start);
      if (word != "true" && word != "false" && word != "null") return std::nullopt;
    }
    literals.emplace_back(text.substr(start, i - start));
    skip_blanks();
    if (i == text.size()) return literals;
    if (text[i] != ',') return std::nullopt;
    ++i;
  }
}

std::string RoundTrip(std::string_view name, const std::string& args_array, bool call) {
  // The name arrives as a string literal and is resolved as a property path of window, so even
  // a name that slipped past the check could not run as code.
  std::string script =
      "(function (name, args, call) {\n"
      "  var scripts = document.getElementsByTagName('script');\n"
      "  var mentioned = false;\n"
      "  for (var i = 0; i < scripts.length && !mentioned; i++)\n"
      "    mentioned = (scripts[i].text || '').indexOf(name) >= 0;\n"
      "  if (!mentioned) return false;\n"
      "  if (!call) return true;\n"
      "  var owner = window, f = window, path = name.split('.');\n"
      "  for (var j = 0; j < path.length; j++) {\n"
      "    owner = f;\n"
      "    f = (f === null || f === undefined) ? undefined : f[path[j]];\n"
      "  }\n"
      "  if (typeof f !== 'function') return false;\n"
      "  try { f.apply(owner, args); } catch (e) { return 'error: ' + e; }\n"
      "  return true;\n"
      "})(";
  script += JsStringLiteral(name);
  script += ", ";
  script += args_array;
  script += call ? ", true)" : ", false)";
  return script;
}

}  // namespace

std::string JsStringLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('\'');
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\'': out += "\\'"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '<': out += "\\x3C"; break;
      case '>': out += "\\x3E"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
          out += escaped;
        } else if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
          // U+2028 and U+2029 end a line in older script engines and in JSON-minded tools.
          out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
          i += 2;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('\'');
  return out;
}

bool IsScriptFunctionName(std::string_view name) {
  if (name.empty() || name.size() > 200) return false;
  bool at_start = true;
  for (char c : name) {
    if (c == '.') {
      if (at_start) return false;
      at_start = true;
    } else if (at_start ? IsIdentifierStart(c) : IsIdentifierPart(c)) {
      at_start = false;
    } else {
      return false;
    }
  }
  return !at_start;
}

std::string ScriptCallText(std::string_view name, const std::vector<std::string>& args, bool call) {
  std::string array = "[";
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) array += ", ";
    array += JsStringLiteral(args[i]);
  }
  array += "]";
  return RoundTrip(name, array, call);
}

std::string ScriptFunctionNameOf(std::string_view text) {
  const size_t paren = text.find('(');
  if (paren == std::string_view::npos || paren == 0) return std::string(text);
  return std::string(text.substr(0, paren));
}

std::optional<TScriptCallText> ParseScriptCallText(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.back() == ';') text = Trimmed(text.substr(0, text.size() - 1));
  TScriptCallText call;
  const size_t paren = text.find('(');
  if (paren == std::string_view::npos) {
    call.name = std::string(text);
    return IsScriptFunctionName(call.name) ? std::optional(call) : std::nullopt;
  }
  call.name = std::string(Trimmed(text.substr(0, paren)));
  if (!IsScriptFunctionName(call.name) || text.back() != ')') return std::nullopt;
  auto literals = ScanLiterals(text.substr(paren + 1, text.size() - paren - 2));
  if (!literals) return std::nullopt;
  call.literals = std::move(*literals);
  call.has_call = true;
  return call;
}

std::string ScriptCallText(const TScriptCallText& call) {
  std::string array = "[";
  for (size_t i = 0; i < call.literals.size(); ++i) {
    if (i > 0) array += ", ";
    array += call.literals[i];
  }
  array += "]";
  return RoundTrip(call.name, array, call.has_call);
}

}  // namespace plb::shell
