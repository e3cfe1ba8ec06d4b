#pragma once
// The fixed texts in which a caught error is passed on. Every module that wraps an error it caught
// into its own exception class uses one of these forms, so the texts stay the same everywhere:
// each names the inner error's class and carries its message unchanged ("\r\n" is CR LF).
#include <exception>
#include <string>
#include <string_view>

namespace plb {

// "%s でエラーが発生しました。\r\n\r\n%s\r\n%s\r\n": operation, class name, message.
std::string ErrorOccurredText(std::string_view operation, std::string_view class_name, std::string_view message);
std::string ErrorOccurredText(std::string_view operation, const std::exception& e);

// "%s Raised in %s. ( %s )": class name, operation, message.
std::string RaisedInText(std::string_view operation, std::string_view class_name, std::string_view message);
std::string RaisedInText(std::string_view operation, const std::exception& e);

// "%s Raised in %s (%s)": class name, operation, message.
std::string RaisedInParenText(std::string_view operation, std::string_view class_name, std::string_view message);
std::string RaisedInParenText(std::string_view operation, const std::exception& e);

// "%s Raised in %s.%s ( %s )": class name, owner (a class or module), operation, message.
std::string RaisedInMemberText(std::string_view owner, std::string_view operation, std::string_view class_name,
                               std::string_view message);
std::string RaisedInMemberText(std::string_view owner, std::string_view operation, const std::exception& e);

// "%s.%s : %s Raised. (%s)": owner (a class or module), operation, class name, message.
std::string MemberRaisedText(std::string_view owner, std::string_view operation, std::string_view class_name,
                             std::string_view message);
std::string MemberRaisedText(std::string_view owner, std::string_view operation, const std::exception& e);

// The text of an error raised while an event was being delivered:
// "\r\n\r\n%s.DoEvent でエラーが発生しました。\r\n\r\n\tEventOwner\t:%s\r\n\tEventType\t:%s\r\n\r\n%s\r\n\r\n"
// with the event's class, its owner, the name of its type and the inner message.
std::string DoEventErrorText(std::string_view event_class, std::string_view event_owner, std::string_view event_type,
                             std::string_view message);

}  // namespace plb
